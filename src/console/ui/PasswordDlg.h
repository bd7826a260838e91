#pragma once

#include <QDialog>

#include <memory>
#include <optional>
#include <string>

namespace Ui {
class PasswordDlg;
}

namespace zn::console {

// The lock password prompt (template 139): one hidden field, OK and Cancel. In automation mode
// it is answered "ok:<password>" or "cancel".
class CPasswordDlg : public QDialog {
    Q_OBJECT

public:
    explicit CPasswordDlg(QWidget* parent = nullptr);
    ~CPasswordDlg() override;

    // Runs the prompt modally (or answers it in automation mode): the typed text on OK,
    // nullopt on Cancel. UI thread.
    static std::optional<std::string> Ask(QWidget* parent, const std::string& caption);

    std::string TypedText() const;

private:
    std::unique_ptr<Ui::PasswordDlg> m_ui;
};

}  // namespace zn::console
