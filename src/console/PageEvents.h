#pragma once

#include <array>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "common/PageEvents.h"

namespace zn::console {

// The values of a page's elements by id, as taken when a bound element was clicked.
class IPageValues {
public:
    virtual ~IPageValues() = default;
    // The empty text for an element the page does not have.
    virtual std::string Value(std::string_view id) const = 0;
    // The body's outer HTML (UTF-8, with the live values of its form fields) at that same moment,
    // for the actions that CapturesBody; nullopt when the page had none or it was over the cap.
    virtual std::optional<std::string> Body() const = 0;
    // True when the body was not taken because it was over the cap (4 Mi characters).
    virtual bool BodyTooLarge() const = 0;
};

class PageValueMap final : public IPageValues {
public:
    PageValueMap() = default;
    PageValueMap(std::initializer_list<std::pair<const std::string, std::string>> values,
                 std::optional<std::string> body = std::nullopt)
        : m_values(values), m_body(std::move(body)) {}
    std::string Value(std::string_view id) const override;
    std::optional<std::string> Body() const override { return m_body; }
    bool BodyTooLarge() const override { return m_bodyTooLarge; }
    void MarkBodyTooLarge() { m_bodyTooLarge = true; }

private:
    std::map<std::string, std::string, std::less<>> m_values;
    std::optional<std::string> m_body;
    bool m_bodyTooLarge = false;
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
    TodayOrders,
};

// Clicks on elements with these ids in the main window's pages call console actions.
inline constexpr std::array<PageEvent<PageAction>, 17> kPageEventTable = {{
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
    // Our own addition: a back-office page may offer the day's orders.
    {"ButtonTodayOrders", PageAction::TodayOrders},
}};

// The action bound to an element id; None for ids outside the table (compared exactly).
PageAction FindPageAction(std::string_view id);
// Whether a click for this action carries the page's body, read at the click: a page that moves
// on right after the click must not change what the action sends.
bool CapturesBody(PageAction action);

}  // namespace zn::console
