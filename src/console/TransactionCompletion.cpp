#include "console/TransactionCompletion.h"

#include <sys/socket.h>
#include <sys/time.h>

#include <fstream>
#include <system_error>
#include <utility>

#include "console/ConsoleLock.h"
#include "console/ConsoleSettings.h"
#include "console/ConsoleTexts.h"
#include "console/ConsoleUi.h"
#include "console/LoginState.h"
#include "console/NavigationHandOver.h"
#include "console/PageEvents.h"
#include "console/QueryValue.h"
#include "console/RequestWorker.h"
#include "console/SeatFeedback.h"
#include "console/SeatList.h"
#include "net/TcpSocket.h"
#include "platform/Log.h"
#include "platform/TextCodec.h"

namespace zn::console {

namespace {

constexpr std::string_view kPlatformMurvel = "murvel";

// Opens a connection to the seat and closes it again, as a reject without its page does.
void TouchSeat(const SeatTarget& seat) {
    if (!seat.address) {
        return;
    }
    CSocketAddress target = *seat.address;
    target.SetPort(seat.port);
    CTcpSocket socket;
    if (!socket.Create(0)) {
        return;
    }
    // A vanished seat must not hold the sender for the system's connect timeout.
    timeval timeout{};
    timeout.tv_sec = static_cast<time_t>(kSeatConnectTimeout.count());
    setsockopt(socket.Handle(), SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
    socket.Connect(&target);
    socket.Close();
}

// The wait cursor while a send is set off, as the cashier sees it in the original.
class WaitCursor {
public:
    explicit WaitCursor(IWindowFrame& frame) : m_frame(frame) { m_frame.BeginWaitCursor(); }
    ~WaitCursor() { m_frame.EndWaitCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;

private:
    IWindowFrame& m_frame;
};

bool SendPage(const SeatTarget& seat, std::span<const std::byte> page) {
    return seat.address && SendPageToSeat(*seat.address, seat.port, page);
}

}  // namespace

std::vector<std::byte> ResultPageBytes(std::string_view utf8Page) {
    const std::string converted = TextCodec::Utf8ToGb2312(utf8Page);
    const auto bytes = std::as_bytes(std::span(converted));
    return {bytes.begin(), bytes.end()};
}

std::vector<std::byte> OldPageFileBytes(std::string_view utf8Page) {
    std::string content = TextCodec::Utf8ToGb2312(utf8Page);
    content.push_back('\0');
    std::vector<std::byte> bytes;
    bytes.reserve(content.size());
    for (const char c : content) {
        if (c == '\n') {
            bytes.push_back(std::byte{'\r'});
        }
        bytes.push_back(static_cast<std::byte>(c));
    }
    return bytes;
}

bool SendWithProgress(IProgressUi& progress, const SeatTarget& seat,
                      std::span<const std::byte> page) {
    // The window is shown before the connection starts and closed only after it has opened.
    const IProgressUi::Ticket ticket = progress.Open(std::string(texts::kProgressText));
    const bool sent = SendPage(seat, page);
    progress.Close(ticket);
    return sent;
}

bool SendRejectPage(const SeatTarget& seat, const std::filesystem::path& programFolder) {
    const auto page = ReadPageFile(programFolder / kRejectPageFileName);
    if (!page) {
        TouchSeat(seat);
        return false;
    }
    return SendPage(seat, *page);
}

SeatTarget TransactionCompletion::TargetOf(const std::string& clientIp) const {
    const std::uint16_t port = ConsoleSettings(m_context.registry).RemotePort();
    return {CSocketAddress::FromDotted(clientIp, port), port};
}

void TransactionCompletion::OnCommitSuccess(const IPageValues& values) {
    const std::string clientIp = values.Value("ClientIP");
    std::string transactionId = values.Value("TransId");
    const bool reporting = values.Value("PlatformId") == kPlatformMurvel;
    m_lastTransactionId = transactionId;
    if (values.BodyTooLarge()) {
        ReportTooLarge(transactionId, reporting);
        return;
    }
    std::optional<std::string> body = values.Body();
    if (!body) {
        log::Warn("completion of transaction {} without a page body: nothing is sent",
                  log::Printable(transactionId));
        return;
    }
    auto page = ResultPageBytes(*body);
    m_pages.Keep(transactionId, std::move(*body));
    const WaitCursor waiting(m_context.frame);
    const SeatTarget seat = TargetOf(clientIp);
    if (reporting) {
        SendAndReport(seat, std::move(page), std::move(transactionId));
    } else {
        m_senders.Start([&progress = m_context.progress, outcomes = m_outcomes, seat,
                         page = std::move(page), transactionId = std::move(transactionId)] {
            const bool sent = SendWithProgress(progress, seat, page);
            if (outcomes != nullptr) {
                outcomes->OnCompleted(transactionId, sent);
            }
        });
    }
}

void TransactionCompletion::SendAndReport(SeatTarget seat, std::vector<std::byte> page,
                                          std::string transactionId) {
    m_senders.Start([&progress = m_context.progress, &registry = m_context.registry,
                     &navigation = m_context.navigation, outcomes = m_outcomes, seat,
                     page = std::move(page), transactionId = std::move(transactionId)] {
        const bool sent = SendWithProgress(progress, seat, page);
        if (outcomes != nullptr) {
            outcomes->OnCompleted(transactionId, sent);
        }
        const ConsoleSettings settings(registry);
        const std::string done =
            sent ? settings.TransactionDone1Murvel() : settings.TransactionDone2Murvel();
        navigation.RequestNavigation(done + "?transid=" + EncodeQueryValue(transactionId));
    });
}

// The page cannot be sent whole, and a part of it would tell the customer a wrong result: it
// fails like a send to an unreachable seat.
void TransactionCompletion::ReportTooLarge(const std::string& transactionId, bool reporting) {
    log::Warn("the result page of transaction {} is over the page cap: it is not sent",
              log::Printable(transactionId));
    m_pages.Keep(transactionId, std::nullopt);
    if (m_outcomes != nullptr) {
        m_outcomes->OnCompleted(transactionId, false);
    }
    if (reporting) {
        m_context.page.Navigate(ConsoleSettings(m_context.registry).TransactionDone2Murvel() +
                                "?transid=" + EncodeQueryValue(transactionId));
    }
}

const std::string* TransactionCompletion::ResultPageOf(const IPageValues& values) {
    const std::string transactionId = values.Value("TransId");
    const ResultPage* page = transactionId.empty() ? &m_pages.Last() : m_pages.Find(transactionId);
    if (page != nullptr && *page) {
        return &**page;
    }
    const bool tooLarge = page != nullptr;
    log::Warn("{} for transaction {}: nothing is sent or shown",
              tooLarge ? "the result page was over the page cap" : "no result page is kept",
              log::Printable(transactionId));
    m_context.dialogs.MessageBox(
        std::string(tooLarge ? texts::kResultPageTooLargeText : texts::kNoResultPageText),
        std::string(texts::kApplicationCaption), MessageIcon::Warning, MessageButtons::Ok);
    return nullptr;
}

void TransactionCompletion::OnReSend(const IPageValues& values) {
    const std::string* page = ResultPageOf(values);
    if (page == nullptr) {
        return;
    }
    const SeatTarget seat = TargetOf(values.Value("ClientIP"));
    const std::string transactionId = values.Value("TransId");
    m_senders.Start([&progress = m_context.progress, outcomes = m_outcomes, seat,
                     bytes = ResultPageBytes(*page),
                     transactionId = transactionId.empty() ? m_lastTransactionId : transactionId] {
        const bool sent = SendWithProgress(progress, seat, bytes);
        if (outcomes != nullptr) {
            outcomes->OnResent(transactionId, sent);
        }
    });
}

void TransactionCompletion::OnCancel(const IPageValues& values) {
    if (m_context.lock.IsLocked()) {
        m_context.dialogs.MessageBox(std::string(texts::kUnlockBeforeCancelText),
                                     std::string(texts::kLockedCaption), MessageIcon::Error,
                                     MessageButtons::Ok);
        return;
    }
    if (!m_context.login.IsLoggedIn()) {
        m_context.dialogs.MessageBox(std::string(texts::kNotLoggedInText),
                                     std::string(texts::kApplicationCaption), MessageIcon::None,
                                     MessageButtons::Ok);
        m_context.page.Navigate(ConsoleSettings(m_context.registry).LoginPage());
        return;
    }
    const WaitCursor waiting(m_context.frame);
    const bool reporting = values.Value("PlatformId") == kPlatformMurvel;
    if (m_outcomes != nullptr) {
        m_outcomes->OnCancelled(values.Value("TransId"));
    }
    m_senders.Start([&registry = m_context.registry, &navigation = m_context.navigation,
                     seat = TargetOf(values.Value("ClientIP")), folder = m_context.programFolder,
                     reporting, transactionId = values.Value("TransId")] {
        const bool sent = SendRejectPage(seat, folder);
        // The page cannot learn otherwise that the console did not refuse the reject (locked,
        // logged out): its back office records the cancellation when this page opens.
        const std::string cancelPage = ConsoleSettings(registry).TransactionCancelMurvel();
        if (reporting && !cancelPage.empty()) {
            navigation.RequestNavigation(cancelPage +
                                         "?transid=" + EncodeQueryValue(transactionId) +
                                         "&sent=" + (sent ? "1" : "0"));
        }
    });
}

void TransactionCompletion::OnDisplay(const IPageValues& values) {
    const std::string* page = ResultPageOf(values);
    if (page == nullptr) {
        return;
    }
    const std::filesystem::path file = m_context.programFolder / kOldPageFileName;
    {
        std::ofstream stream(file, std::ios::binary | std::ios::trunc);
        if (stream) {
            const auto bytes = OldPageFileBytes(*page);
            stream.write(reinterpret_cast<const char*>(bytes.data()),
                         static_cast<std::streamsize>(bytes.size()));
        }
    }
    m_context.dialogs.ShowTransactionView(file);
    // The page file lives only while the view is open.
    std::error_code ignored;
    std::filesystem::remove(file, ignored);
}

void TransactionCompletion::OnViewSeat(const IPageValues& values) {
    const std::string clientIp = values.Value("ClientIP");
    if (clientIp.empty()) {
        m_context.dialogs.MessageBox(std::string(texts::kNoClientIpText),
                                     std::string(texts::kApplicationCaption), MessageIcon::None,
                                     MessageButtons::Ok);
        return;
    }
    m_context.dialogs.ShowSeatViewer(
        clientIp, [folder = m_context.programFolder](const std::string& address) {
            std::string seat = LookUpSeat(folder, address);
            return seat.empty() ? std::string(kUnknownSeat) : seat;
        });
}

}  // namespace zn::console
