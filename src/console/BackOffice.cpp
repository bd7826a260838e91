#include "console/BackOffice.h"

#include <optional>

#include "common/PercentEncoding.h"
#include "console/ConsoleSettings.h"
#include "console/ConsoleTexts.h"
#include "console/ConsoleUi.h"
#include "console/LoginState.h"
#include "console/PageEvents.h"
#include "console/QueryValue.h"
#include "platform/AsciiCase.h"
#include "platform/Log.h"
#include "platform/NetworkInfo.h"
#include "platform/Registry.h"

namespace zn::console {

namespace {

constexpr std::string_view kPlatformMurvel = "murvel";

std::string CurrentMacText() {
    return NetworkInfo::HardwareAddress().value_or(std::string());
}

constexpr std::string_view kLocalPageScheme = "data:";

// The window's own page while the login page cannot be loaded, as an address of its own.
std::string LoginPageDownAddress() {
    const std::string page =
        "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>" +
        std::string(texts::kLoginPageDownTitle) +
        "</title></head><body style=\"font-family:sans-serif;text-align:center;margin-top:15%\">"
        "<h2>" +
        std::string(texts::kLoginPageDownTitle) + "</h2><p>" +
        std::string(texts::kLoginPageDownText) + "</p></body></html>";
    return std::string(kLocalPageScheme) + "text/html;charset=utf-8," +
           PercentEncode(page, [](unsigned char byte) {
               return !(byte >= '0' && byte <= '9') && !(byte >= 'A' && byte <= 'Z') &&
                      !(byte >= 'a' && byte <= 'z');
           });
}

}  // namespace

std::string BuildLoginQuery(std::string_view userName, std::string_view employeeName,
                            std::string_view password, std::string_view macText) {
    return "?wbar=2&saleusername=" + EncodeQueryValue(userName) +
           "&saleempname=" + EncodeQueryValue(employeeName) +
           "&salepsw=" + EncodeQueryValue(password) + "&salemac=" + EncodeQueryValue(macText);
}

bool LooksInjected(std::string_view markup, std::string_view foreignDomain) {
    const std::string lower = LowercaseAscii(markup);
    if (lower.find("iframe") != std::string::npos) {
        return true;
    }
    return !foreignDomain.empty() && lower.find(LowercaseAscii(foreignDomain)) != std::string::npos;
}

void BackOffice::OnInit(const IPageValues& values) {
    m_macText = CurrentMacText();
    m_window.SetCaption(values.Value("title"));
    // A page may click "Init" while it loads, after the load's write went out with no address.
    m_window.SetElementValue("salemac_input", m_macText);
}

void BackOffice::OnSubmitLogin(const IPageValues& values) {
    if (values.Value("PlatformId") != kPlatformMurvel) {
        return;
    }
    m_employeeName = values.Value("personnel_input");
    m_userName = values.Value("username_input");
    m_password = values.Value("password_input");
    if (m_userName.empty()) {
        m_window.MessageBox(std::string(texts::kEmptyUserNameText),
                            std::string(texts::kApplicationCaption), MessageIcon::None,
                            MessageButtons::Ok);
        return;
    }
    if (m_password.empty()) {
        m_window.MessageBox(std::string(texts::kEmptyPasswordText),
                            std::string(texts::kApplicationCaption), MessageIcon::None,
                            MessageButtons::Ok);
        return;
    }
    m_macText = CurrentMacText();
    m_window.Navigate(ConsoleSettings(m_registry).MainPageMurvel() +
                      BuildLoginQuery(m_userName, m_employeeName, m_password, m_macText));
}

void BackOffice::OnConfirmLogin(const IPageValues& values) {
    if (values.Value("PlatformId") == kPlatformMurvel) {
        m_login.RecordLogin(values.Value("CustomerId"));
    }
    m_window.ShowMaximized();
}

void BackOffice::OnLogout() {
    m_window.ShowNormal();
}

void BackOffice::OnPageLoaded(const std::string& address) {
    m_window.SetElementValue("salemac_input", m_macText);
    if (!address.starts_with(kLocalPageScheme)) {
        m_loginPageDown = false;
    }
    if (address != ConsoleSettings(m_registry).LoginPage()) {
        return;
    }
    m_window.ReadDocumentOuterHtml([this](std::optional<std::string> html) {
        if (html && LooksInjected(*html, ForeignDomain())) {
            m_window.MessageBox(std::string(texts::kSecurityWarningText),
                                std::string(texts::kSecurityWarningCaption), MessageIcon::None,
                                MessageButtons::Ok);
        }
    });
}

void BackOffice::OnPageLoadFailed(const std::string& address) {
    if (address != ConsoleSettings(m_registry).LoginPage()) {
        return;
    }
    log::Warn("the login page {} cannot be loaded; trying again every {} s", address,
              std::chrono::duration_cast<std::chrono::seconds>(m_loginPageRetryPeriod).count());
    m_loginPageDown = true;
    m_window.Navigate(LoginPageDownAddress());
    m_window.StartTimer(kLoginPageRetryTimerId, m_loginPageRetryPeriod);
}

void BackOffice::OnLoginPageRetryTimer() {
    if (m_loginPageDown) {
        m_window.Navigate(ConsoleSettings(m_registry).LoginPage());
    }
}

std::string BackOffice::ForeignDomain() const {
    const auto key = m_registry.OpenKey(RegistryRoot::LocalMachine, kConsoleKeyPath);
    if (!key) {
        return {};
    }
    return key->QueryString(kForeignDomainValueName).value_or(std::string());
}

}  // namespace zn::console
