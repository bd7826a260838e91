#include "console/LoginState.h"

#include <utility>

namespace zn::console {

void LoginState::RecordLogin(std::string customerId) {
    std::lock_guard lock(m_mutex);
    m_loggedIn = true;
    m_customerId = std::move(customerId);
}

void LoginState::ClearLoggedIn() {
    std::lock_guard lock(m_mutex);
    m_loggedIn = false;
}

bool LoginState::IsLoggedIn() const {
    std::lock_guard lock(m_mutex);
    return m_loggedIn;
}

LoginSnapshot LoginState::Snapshot() const {
    std::lock_guard lock(m_mutex);
    return {m_loggedIn, m_customerId};
}

}  // namespace zn::console
