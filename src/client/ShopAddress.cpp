#include "client/ShopAddress.h"

#include <arpa/inet.h>

#include "common/PercentEncoding.h"

namespace zn::client {

std::string BuildShopAddress(std::string_view mainPage, std::string_view greeting,
                             std::string_view ip, std::string_view launchParameter) {
    std::string address(mainPage);
    address += '?';
    // "&" and "=" carry the greeting's own structure.
    address += PercentEncodeGbk(greeting, "%#+ ");
    address += "&ip=";
    address += ip;
    if (!launchParameter.empty()) {
        address += '&';
        address += launchParameter;
    }
    address += "&first=1";
    return address;
}

bool IsUsableOwnAddress(std::string_view dotted) {
    in_addr address{};
    if (inet_pton(AF_INET, std::string(dotted).c_str(), &address) != 1) {
        return false;
    }
    const std::uint32_t value = ntohl(address.s_addr);
    return value != 0 && (value >> 24) != 127;
}

}  // namespace zn::client
