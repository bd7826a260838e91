#include "client/ClientWindowController.h"

#include <algorithm>
#include <utility>

#include "client/ClientSettings.h"
#include "client/ClientStartup.h"
#include "client/TrustedSites.h"
#include "platform/Log.h"

namespace zn::client {

ClientAction FindClientAction(std::string_view id) {
    return FindPageEvent(kClientPageEvents, id, ClientAction::None);
}

ClientWindowController::ClientWindowController(ClientEnvironment environment, IClientWindow& window,
                                               ILinkUi& linkUi)
    : m_environment(std::move(environment)),
      m_window(window),
      m_screen(window),
      m_feedback(m_screen, m_console, m_environment.programFolder),
      m_request(linkUi, m_environment.settings, m_console, m_environment.launchParameter,
                m_environment.link) {}

ClientWindowController::~ClientWindowController() {
    m_feedback.Stop();
}

void ClientWindowController::TrustShopDomain() {
    RegisterTrustedDomain(m_environment.registry, m_environment.settings.ShopDomain());
}

PageOrigins ClientWindowController::ClickOrigins() const {
    const ClientSettings& settings = m_environment.settings;
    PageOrigins origins{{settings.MainPage()}, m_trustedHosts, {m_environment.programFolder}};
    origins.domains.push_back(settings.ShopDomain());
    return origins;
}

bool ClientWindowController::Start() {
    const std::uint16_t port =
        m_environment.feedbackPort.value_or(m_environment.settings.LocalPort());
    if (!m_feedback.Create(port) || !m_feedback.Start()) {
        return false;
    }
    PostLinkJob([this] {
        m_request.ConnectAndOpen();
        m_window.PostToUiThread([this] {
            if (!m_ending) {
                m_window.ShowMaximizedAndRaise();
            }
        });
    });
    return true;
}

void ClientWindowController::OnPageClick(const std::string& id, const PageValueReader& value) {
    switch (FindClientAction(id)) {
        case ClientAction::Init:
            m_window.SetCaption(value("title"));
            break;
        case ClientAction::Refresh:
        case ClientAction::Main:
            PostLinkJob([this] { m_request.ConnectAndOpen(); });
            break;
        case ClientAction::Submit:
            PostLinkJob([this, serial = value("serial"), platformId = value("PlatformId")] {
                m_request.SendOrder(serial, platformId);
            });
            break;
        case ClientAction::TextSubmit:
            PostLinkJob([this, text = value("textSubmit")] { m_request.SendMessage(text); });
            break;
        case ClientAction::Cancel:
            End();
            break;
        case ClientAction::SetTrust:
            for (const TrustedSite& site :
                 RegisterTrustSites(m_environment.registry, value("TrustSites"))) {
                RememberTrustedHost(site.Host());
            }
            break;
        case ClientAction::Ok:
        case ClientAction::None:
            break;
    }
}

void ClientWindowController::OnCommand(int command) {
    if (command == kCommandCancel) {
        End();
    }
}

bool ClientWindowController::OnCloseRequested() {
    if (m_ending) {
        return true;
    }
    if (!m_window.AskYesNo(kCloseQuestion, kCloseQuestionCaption)) {
        return false;
    }
    m_feedback.Stop();
    m_ending = true;
    return true;
}

bool ClientWindowController::Shutdown(std::chrono::milliseconds limit) {
    m_ending = true;
    m_feedback.Stop();
    return m_link.Stop(limit);
}

void ClientWindowController::RememberTrustedHost(std::string host) {
    if (std::ranges::find(m_trustedHosts, host) != m_trustedHosts.end()) {
        return;
    }
    if (m_trustedHosts.size() >= kMaxTrustedHosts) {
        log::Warn("trusted site {} not taken for clicks: {} are already", log::Printable(host),
                  kMaxTrustedHosts);
        return;
    }
    m_trustedHosts.push_back(std::move(host));
}

void ClientWindowController::PostLinkJob(std::function<void()> job) {
    if (!m_ending) {
        m_link.Post(std::move(job));
    }
}

void ClientWindowController::End() {
    m_ending = true;
    m_window.EndWindow();
}

}  // namespace zn::client
