#include "client/ConnectionErrorForm.h"

#include <utility>

namespace zn::client {
namespace {

constexpr std::string_view kBlanks = " \t\n\v\f\r";

}  // namespace

std::string TrimBlanks(std::string_view text) {
    const std::size_t last = text.find_last_not_of(kBlanks);
    if (last == std::string_view::npos) {
        return {};
    }
    text = text.substr(0, last + 1);
    return std::string(text.substr(text.find_first_not_of(kBlanks)));
}

ConnectionErrorForm::ConnectionErrorForm(std::string address) : m_address(std::move(address)) {}

void ConnectionErrorForm::Choose(int choice) {
    if (choice >= kChoiceRetry && choice <= kChoiceGiveUp) {
        m_choice = choice;
    }
}

bool ConnectionErrorForm::ConfirmOk(std::string_view fieldText) {
    if (m_choice != kChoiceCorrectAddress) {
        return true;
    }
    std::string corrected = TrimBlanks(fieldText);
    if (corrected.empty()) {
        return false;
    }
    m_address = std::move(corrected);
    return true;
}

ConnectionErrorAnswer ConnectionErrorForm::OkAnswer() const {
    return {true, m_choice, m_address};
}

ConnectionErrorAnswer ConnectionErrorForm::CancelAnswer() const {
    return {false, m_choice, m_address};
}

}  // namespace zn::client
