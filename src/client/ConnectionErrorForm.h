#pragma once

#include <string>
#include <string_view>

#include "client/ClientUi.h"

namespace zn::client {

// Texts of the connection error dialog (template 129).
namespace ErrorDialogTexts {
inline constexpr std::string_view kCaption = "与收银台通信错误！";
inline constexpr std::string_view kRetry = "重试，再次连接收银台";
inline constexpr std::string_view kCorrectAddress = "收银台IP地址有误，正确的地址应该是：";
inline constexpr std::string_view kCheckWithStaff = "（*请和管理员确认）";
inline constexpr std::string_view kGiveUp = "算了，下次再使用";
inline constexpr std::string_view kOk = "确定";
inline constexpr std::string_view kCancel = "取消";
// Refusal of an empty corrected address (stop icon, caption ClientTexts::kClientCaption).
inline constexpr std::string_view kEmptyAddress = "错误：请输入帐台服务端地址！";
}  // namespace ErrorDialogTexts

inline constexpr int kChoiceRetry = 1;
inline constexpr int kChoiceCorrectAddress = 2;
inline constexpr int kChoiceGiveUp = 3;

// Trailing, then leading blanks (space, tab, line breaks, vertical tab, form feed) removed.
std::string TrimBlanks(std::string_view text);

// What the connection error dialog decides, free of its widgets. The dialog starts with choice 1
// and the address field disabled; only choice 2 enables the field and takes its text.
class ConnectionErrorForm {
public:
    explicit ConnectionErrorForm(std::string address);

    // 1, 2 or 3; anything else leaves the choice as it is.
    void Choose(int choice);
    int Choice() const { return m_choice; }
    bool AddressFieldEnabled() const { return m_choice == kChoiceCorrectAddress; }
    // The address shown in the field when the dialog opens.
    const std::string& Address() const { return m_address; }

    // OK with the field's text. False when the dialog must stay open (choice 2 with an address
    // that is empty once trimmed; the caller shows ErrorDialogTexts::kEmptyAddress).
    bool ConfirmOk(std::string_view fieldText);

    // The dialog's result: after a successful ConfirmOk, or Cancel (the close box too).
    ConnectionErrorAnswer OkAnswer() const;
    ConnectionErrorAnswer CancelAnswer() const;

private:
    int m_choice = kChoiceRetry;
    std::string m_address;
};

}  // namespace zn::client
