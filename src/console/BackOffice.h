#pragma once

#include <chrono>
#include <string>
#include <string_view>

namespace zn {
class Registry;
}

namespace zn::console {

class IConsoleWindow;
class IPageValues;
class LoginState;

// Registry value (console key, text) naming the foreign domain whose appearance in the login
// page's markup raises the security warning; missing or empty: only "iframe" is looked for.
inline constexpr std::string_view kForeignDomainValueName = "ForeignDomain";

// While the login page cannot be loaded, the window tries it again this often, on this timer.
inline constexpr std::chrono::milliseconds kLoginPageRetryPeriod{30'000};
inline constexpr int kLoginPageRetryTimerId = 1172;

// "?wbar=2&saleusername=...&saleempname=...&salepsw=...&salemac=..." with each value through
// EncodeQueryValue.
std::string BuildLoginQuery(std::string_view userName, std::string_view employeeName,
                            std::string_view password, std::string_view macText);

// True when the lower-cased markup holds "iframe" or the foreign domain (ignoring ASCII case).
bool LooksInjected(std::string_view markup, std::string_view foreignDomain);

// The back-office actions of the main window: caption and network-card address for the pages,
// the login form, the login confirmation and the login page's integrity check. UI thread only.
class BackOffice {
public:
    BackOffice(const Registry& registry, IConsoleWindow& window, LoginState& login,
               std::chrono::milliseconds loginPageRetryPeriod)
        : m_registry(registry),
          m_window(window),
          m_login(login),
          m_loginPageRetryPeriod(loginPageRetryPeriod) {}

    // The address text afresh, the caption from "title", and the text written into "salemac_input".
    void OnInit(const IPageValues& values);
    void OnSubmitLogin(const IPageValues& values);
    void OnConfirmLogin(const IPageValues& values);
    void OnLogout();
    // After every completed page load: the address text written into "salemac_input", then the
    // integrity check when the address is exactly the login page's.
    void OnPageLoaded(const std::string& address);
    // A page that did not load is never examined. For the login page the window shows a local
    // page that says so, and tries the login page again every retry period until it loads.
    void OnPageLoadFailed(const std::string& address);
    void OnLoginPageRetryTimer();

    const std::string& MacText() const { return m_macText; }

private:
    std::string ForeignDomain() const;

    const Registry& m_registry;
    IConsoleWindow& m_window;
    LoginState& m_login;
    std::string m_userName;
    std::string m_employeeName;
    std::string m_password;
    std::string m_macText;
    std::chrono::milliseconds m_loginPageRetryPeriod;
    bool m_loginPageDown = false;
};

}  // namespace zn::console
