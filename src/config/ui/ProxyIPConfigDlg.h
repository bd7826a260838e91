#pragma once

#include <memory>

#include "ConfirmingTaskPage.h"
#include "config/CounterAddress.h"

namespace Ui {
class ProxyIPConfigDlg;
}

namespace zn::config {

// Tells the advertising server the counter's address. The look-ups, the connection and the send
// run off the UI thread under a busy cursor, the page's controls disabled until they end (the
// connection and the send within kConfigureLimit).
class ProxyIPConfigDlg : public ConfirmingTaskPage {
    Q_OBJECT

public:
    explicit ProxyIPConfigDlg(QWidget* parent);
    ~ProxyIPConfigDlg() override;

    bool IsBusy() const { return m_busy; }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void Configure();
    CounterAddressResult SendWhileResponsive(const std::string& server, const std::string& counter);
    // Controls off and a busy cursor while the worker runs.
    void SetBusy(bool busy);

    std::unique_ptr<Ui::ProxyIPConfigDlg> m_ui;
    bool m_busy = false;
};

}  // namespace zn::config
