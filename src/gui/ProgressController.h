#pragma once

#include <QSize>
#include <QString>

#include <cstdint>
#include <map>
#include <memory>

#include "gui/ProgressWindow.h"
#include "gui/UiHandOver.h"

namespace zn::gui {

// Progress windows for threads that work while one is shown; several may be open at once.
// Open and Close may be called from any thread (on the UI thread they act directly). Construct
// and destroy on the UI thread, after the last call.
class ProgressController {
public:
    using Ticket = std::uint64_t;

    explicit ProgressController(QSize dialogUnits = ProgressWindow::kConsoleSize);
    ~ProgressController();
    ProgressController(const ProgressController&) = delete;
    ProgressController& operator=(const ProgressController&) = delete;

    // Shows a new window with the text and returns once it is shown. 0 when it was not shown
    // because the event loop is ending.
    Ticket Open(const QString& text);
    // Closes the window and returns once it is closed; 0 and unknown tickets are ignored.
    void Close(Ticket ticket);

    // Number of open windows. UI thread.
    std::size_t OpenCount() const { return m_windows.size(); }
    // The window of a ticket, or null. UI thread.
    const ProgressWindow* Window(Ticket ticket) const;

private:
    QSize m_dialogUnits;
    std::map<Ticket, std::unique_ptr<ProgressWindow>> m_windows;  // UI thread only
    Ticket m_lastTicket = 0;                                      // UI thread only
    UiHandOver m_handOver;  // last, so it is cancelled before the windows go
};

}  // namespace zn::gui
