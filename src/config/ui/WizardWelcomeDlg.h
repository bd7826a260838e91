#pragma once

#include <QDialog>

#include <memory>

namespace Ui {
class WizardWelcomeDlg;
}

namespace zn::config {

// The tasks of the wizard, as the welcome page numbers them.
enum class WizardChoice {
    None = 0,
    ServerAddress = 1,
    SeatMapping = 2,
    NoticePage = 3,
    AlertSound = 4
};

// The welcome page: one task is picked, "下一步" closes it with OK; cancelling (the button, Esc,
// the window manager) asks "您是否确认要退出配置程序?" first.
class WizardWelcomeDlg : public QDialog {
    Q_OBJECT

public:
    explicit WizardWelcomeDlg(QWidget* parent = nullptr);
    ~WizardWelcomeDlg() override;

    WizardChoice Choice() const { return m_choice; }

public slots:
    void reject() override;

private:
    std::unique_ptr<Ui::WizardWelcomeDlg> m_ui;
    WizardChoice m_choice = WizardChoice::None;
};

}  // namespace zn::config
