#pragma once

#include <QDialog>

#include <memory>

#include "console/SelfUpdate.h"

namespace Ui {
class UpdateDlg;
}

namespace zn::console {

// The upgrade prompt (template 132): a borderless, topmost window at the desktop's bottom-right
// corner with the offer and one default button. The button or Enter accepts (the dialog's
// accepted signal); Esc or closing only hides it. It is modeless: the console goes on meanwhile.
// In automation mode it is logged and answered "ok", "cancel", or "open" (it stays open).
class CUpdateDlg final : public QDialog, public IUpgradePrompt {
    Q_OBJECT

public:
    CUpdateDlg();
    ~CUpdateDlg() override;

    bool IsPromptShown() const override;
    void ShowPrompt() override;
    void EndProgram(int code) override;

private:
    void PlaceAtCorner();

    std::unique_ptr<Ui::UpdateDlg> m_ui;
    bool m_leftOpen = false;  // automation answered "open"
};

}  // namespace zn::console
