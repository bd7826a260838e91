#include "gui/ProgressController.h"

namespace zn::gui {

ProgressController::ProgressController(QSize dialogUnits) : m_dialogUnits(dialogUnits) {}

ProgressController::~ProgressController() = default;

ProgressController::Ticket ProgressController::Open(const QString& text) {
    Ticket ticket = 0;
    m_handOver.Run([&] {
        auto window = std::make_unique<ProgressWindow>(text, m_dialogUnits);
        window->show();
        ticket = ++m_lastTicket;
        m_windows.emplace(ticket, std::move(window));
    });
    return ticket;
}

void ProgressController::Close(Ticket ticket) {
    if (ticket == 0) {
        return;
    }
    m_handOver.Run([&] { m_windows.erase(ticket); });
}

const ProgressWindow* ProgressController::Window(Ticket ticket) const {
    const auto found = m_windows.find(ticket);
    return found == m_windows.end() ? nullptr : found->second.get();
}

}  // namespace zn::gui
