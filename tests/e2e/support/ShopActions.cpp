#include "ShopActions.h"

#include <vector>

namespace zn::e2e {
namespace {

// The text as a JavaScript string literal, whatever it holds.
std::string ScriptString(std::string_view text) {
    std::string literal = "'";
    for (const char c : text) {
        if (c == '\'' || c == '\\') {
            literal += '\\';
            literal += c;
        } else if (c == '\n') {
            literal += "\\n";
        } else {
            literal += c;
        }
    }
    return literal + "'";
}

}  // namespace

std::string OrderInTheShop(BackOfficeFront& front, std::size_t count,
                           std::chrono::milliseconds limit) {
    front.Queue(std::string(kShopPath), std::string(kClickFirstOrder));
    const std::string prefix = std::string(kTransactionPath) + "?transid=";
    if (!front.WaitForPage(prefix, limit, count)) {
        return {};
    }
    std::size_t seen = 0;
    for (const std::string& page : front.ServedPages()) {
        if (page.starts_with(prefix) && ++seen == count) {
            return page.substr(prefix.size());
        }
    }
    return {};
}

void LeaveMessage(BackOfficeFront& front, std::string_view text) {
    front.Queue(std::string(kShopPath),
                "document.getElementById('textSubmit').value = " + ScriptString(text) +
                    ";document.getElementById('ButtonOnTextSubmit').click();");
}

void CompleteOrder(BackOfficeFront& front, std::string_view before) {
    front.Queue(std::string(kTransactionPath),
                std::string(before) + "document.getElementById('ButtonOnCommitSuccess').click();");
}

}  // namespace zn::e2e
