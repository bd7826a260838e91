#pragma once

#include <array>
#include <map>
#include <string>
#include <string_view>

namespace zn::console {

// The values of a page's elements by id, as taken when a bound element was clicked.
class IPageValues {
public:
    virtual ~IPageValues() = default;
    // The empty text for an element the page does not have.
    virtual std::string Value(std::string_view id) const = 0;
};

class PageValueMap final : public IPageValues {
public:
    PageValueMap() = default;
    PageValueMap(std::initializer_list<std::pair<const std::string, std::string>> values)
        : m_values(values) {}
    std::string Value(std::string_view id) const override;

private:
    std::map<std::string, std::string, std::less<>> m_values;
};

enum class PageAction {
    None,
    Init,
    SubmitLogin,
    CommitSuccess,
    ConfirmLogin,
    Logout,
    ViewSeat,
    CancelTransaction,
    ReSend,
    Display,
    LaunchClient,
};

struct PageEvent {
    std::string_view id;
    PageAction action;
};

// Clicks on elements with these ids in the main window's pages call console actions.
inline constexpr std::array<PageEvent, 16> kPageEventTable = {{
    {"Init", PageAction::Init},
    {"ButtonOK", PageAction::SubmitLogin},
    {"ButtonOnCommitSuccess", PageAction::CommitSuccess},
    {"ButtonLogin", PageAction::ConfirmLogin},
    {"ButtonLogout", PageAction::Logout},
    {"ButtonViewSeat", PageAction::ViewSeat},
    {"ButtonMakeIt", PageAction::None},
    {"ButtonCancelIt", PageAction::None},
    {"ButtonCancelIt_Murvel", PageAction::CancelTransaction},
    {"ButtonReSend", PageAction::ReSend},
    {"ButtonViewHistory", PageAction::None},
    {"ButtonViewHistoryExt", PageAction::None},
    {"ButtonDisplay", PageAction::Display},
    {"LaunchClient", PageAction::LaunchClient},
    {"ButtonPrint", PageAction::None},
    {"ButtonMain_9tqa", PageAction::None},
}};

// The action bound to an element id; None for ids outside the table (compared exactly).
PageAction FindPageAction(std::string_view id);

}  // namespace zn::console
