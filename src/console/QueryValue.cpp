#include "console/QueryValue.h"

#include "common/PercentEncoding.h"

namespace zn::console {

std::string EncodeQueryValue(std::string_view value) {
    return PercentEncodeGbk(value, "%&#+ ");
}

}  // namespace zn::console
