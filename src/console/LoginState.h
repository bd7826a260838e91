#pragma once

#include <mutex>
#include <string>

namespace zn::console {

struct LoginSnapshot {
    bool loggedIn = false;
    std::string customerId;
};

// The console's login as the back office confirmed it. Written on the UI thread, read by the
// request workers; every read is a consistent copy.
class LoginState {
public:
    // A confirmed login: the flag is set and the customer id replaced.
    void RecordLogin(std::string customerId);
    // Leaving the console: the flag is cleared; the customer id stays.
    void ClearLoggedIn();

    bool IsLoggedIn() const;
    LoginSnapshot Snapshot() const;

private:
    mutable std::mutex m_mutex;
    bool m_loggedIn = false;
    std::string m_customerId;
};

}  // namespace zn::console
