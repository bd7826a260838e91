#include "ProxyIPConfigDlg.h"

#include <QApplication>
#include <QCloseEvent>
#include <QEventLoop>
#include <QKeyEvent>

#include <thread>

#include "ConfigMessage.h"
#include "TemplateSize.h"
#include "gui/FixedDialog.h"
#include "gui/MessageBox.h"
#include "platform/Registry.h"
#include "ui_ProxyIPConfigDlg.h"

namespace zn::config {

ProxyIPConfigDlg::ProxyIPConfigDlg(QWidget* parent)
    : ConfirmingTaskPage(parent), m_ui(std::make_unique<Ui::ProxyIPConfigDlg>()) {
    m_ui->setupUi(this);
    setWindowFlags(gui::kFixedDialogFlags);
    KeepTemplateSize(*this);
    m_ui->counter->setText(QString::fromStdString(LocalHostName()));
    connect(m_ui->back, &QPushButton::clicked, this, &ProxyIPConfigDlg::GoBack);
    connect(m_ui->finish, &QPushButton::clicked, this, &ProxyIPConfigDlg::Configure);
    connect(m_ui->cancel, &QPushButton::clicked, this, &ProxyIPConfigDlg::ConfirmExit);
}

ProxyIPConfigDlg::~ProxyIPConfigDlg() = default;

void ProxyIPConfigDlg::keyPressEvent(QKeyEvent* event) {
    if (m_busy) {
        event->ignore();
        return;
    }
    ConfirmingTaskPage::keyPressEvent(event);
}

void ProxyIPConfigDlg::closeEvent(QCloseEvent* event) {
    if (m_busy) {
        event->ignore();
        return;
    }
    ConfirmingTaskPage::closeEvent(event);
}

void ProxyIPConfigDlg::Configure() {
    const CounterAddressResult result = SendWhileResponsive(m_ui->server->text().toStdString(),
                                                            m_ui->counter->text().toStdString());
    switch (result) {
        case CounterAddressResult::Sent:
            gui::MessageBox(this, QStringLiteral("成功完成IP地址配置！"), QStringLiteral("完成"));
            accept();
            return;
        case CounterAddressResult::ServerNotFound:
            ShowMessage(this, QStringLiteral("错误：无法定位所输入的启岚广告服务端IP地址"));
            return;
        case CounterAddressResult::CounterNotFound:
            ShowMessage(this, QStringLiteral("错误：无法定位所输入的点卡帐台端IP地址"));
            return;
        case CounterAddressResult::CounterHasNoLanAddress:
            ShowMessage(this, QStringLiteral("错误：点卡帐台端没有局域网IP地址，无法进行远程配置"));
            return;
        case CounterAddressResult::NotDelivered:
            ShowMessage(this, QStringLiteral("错误：无法连接到启岚广告服务端进行远程配置"));
            return;
    }
}

CounterAddressResult ProxyIPConfigDlg::SendWhileResponsive(const std::string& server,
                                                           const std::string& counter) {
    SetBusy(true);
    QEventLoop waiting;
    CounterAddressResult result = CounterAddressResult::NotDelivered;
    std::thread worker([&] {
        result = SendCounterAddress(server, counter, Registry(Registry::DefaultFolder()));
        // Queued: it runs once the loop below runs, even when the worker is done before that.
        QMetaObject::invokeMethod(&waiting, &QEventLoop::quit, Qt::QueuedConnection);
    });
    waiting.exec();
    worker.join();
    SetBusy(false);
    return result;
}

void ProxyIPConfigDlg::SetBusy(bool busy) {
    m_busy = busy;
    for (QWidget* control :
         std::initializer_list<QWidget*>{m_ui->addresses, m_ui->back, m_ui->finish, m_ui->cancel}) {
        control->setEnabled(!busy);
    }
    if (busy) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
    } else {
        QApplication::restoreOverrideCursor();
    }
}

}  // namespace zn::config
