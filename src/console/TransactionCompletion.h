#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "console/ResultPages.h"
#include "console/SenderGroup.h"
#include "net/SocketAddress.h"

namespace zn {
class Registry;
}

namespace zn::console {

class ConsoleLock;
class IDialogs;
class IWindowFrame;
class IPageView;
class IPageValues;
class IProgressUi;
class LoginState;
class NavigationHandOver;

inline constexpr std::string_view kRejectPageFileName = "RejectTrans.html";
inline constexpr std::string_view kOldPageFileName = "OldPage.html";

// A result page as it goes to the seat and into OldPage.html: GB2312 (a character outside it
// becomes '?'), without the terminator that the frame adds.
std::vector<std::byte> ResultPageBytes(std::string_view utf8Page);
// OldPage.html's content: the page bytes and their NUL, each line feed written as CR LF.
std::vector<std::byte> OldPageFileBytes(std::string_view utf8Page);

// Where a result goes: the seat's address (nullopt when ClientIP was no dotted address, which
// fails like an unreachable seat) and its feedback port.
struct SeatTarget {
    std::optional<CSocketAddress> address;
    std::uint16_t port = 0;
};

// The senders, each run on a thread of its own. True when the whole frame was sent.
bool SendWithProgress(IProgressUi& progress, const SeatTarget& seat,
                      std::span<const std::byte> page);
// RejectTrans.html from the folder; a missing file sends nothing (the connection is only opened
// and closed).
bool SendRejectPage(const SeatTarget& seat, const std::filesystem::path& programFolder);

struct CompletionContext {
    const Registry& registry;
    IWindowFrame& frame;
    IPageView& page;
    IDialogs& dialogs;
    IProgressUi& progress;
    NavigationHandOver& navigation;
    const LoginState& login;
    const ConsoleLock& lock;
    std::filesystem::path programFolder;  // RejectTrans.html, OldPage.html, SeatList.xml
};

// What the back office's actions did to a transaction, for the day's orders. Any thread.
class IOrderOutcomes {
public:
    virtual ~IOrderOutcomes() = default;
    // A completion (or a re-send) carried out: whether the seat took the result page.
    virtual void OnCompleted(const std::string& transactionId, bool delivered) = 0;
    virtual void OnResent(const std::string& transactionId, bool delivered) = 0;
    virtual void OnCancelled(const std::string& transactionId) = 0;
};

// The back-office actions on transactions: the result to the seat, again, the reject page, the
// kept page in the transaction view and the seat viewer. A completion, and a reject that the
// console carried out where a cancel page is set, open a page of the back office that reports it.
// A re-send and a display act on the result of the open page's transaction. Actions run on the UI
// thread; each send runs on its own thread and the action returns at once. Destruction waits for
// the senders.
class TransactionCompletion {
public:
    explicit TransactionCompletion(CompletionContext context) : m_context(std::move(context)) {}
    // Where the outcomes go from now; it must outlive this object.
    void ReportOutcomesTo(IOrderOutcomes& outcomes) { m_outcomes = &outcomes; }

    void OnCommitSuccess(const IPageValues& values);
    void OnReSend(const IPageValues& values);
    void OnCancel(const IPageValues& values);
    void OnDisplay(const IPageValues& values);
    void OnViewSeat(const IPageValues& values);

    const ResultPage& LastResultPage() const { return m_pages.Last(); }
    const std::string& LastTransactionId() const { return m_lastTransactionId; }
    std::size_t RunningSenders() const { return m_senders.Running(); }
    // Waits for the senders started so far.
    void WaitForSenders() { m_senders.WaitUntilIdle(); }

private:
    SeatTarget TargetOf(const std::string& clientIp) const;
    // The kept page of the open page's transaction (the last one when the page names none); null,
    // with the cashier told, when that transaction has no completed result or its page was over
    // the cap.
    const std::string* ResultPageOf(const IPageValues& values);
    void SendAndReport(SeatTarget seat, std::vector<std::byte> page, std::string transactionId);
    void ReportTooLarge(const std::string& transactionId, bool reporting);

    CompletionContext m_context;
    ResultPages m_pages;  // UTF-8
    std::string m_lastTransactionId;
    IOrderOutcomes* m_outcomes = nullptr;
    SenderGroup m_senders;  // last: ends before the rest
};

}  // namespace zn::console
