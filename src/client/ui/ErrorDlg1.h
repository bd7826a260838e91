#pragma once

#include <QDialog>

#include <memory>
#include <string>

#include "client/ClientUi.h"
#include "client/ConnectionErrorForm.h"

namespace Ui {
class ErrorDlg1;
}

namespace zn::client {

// The console connection error dialog (template 129): retry, retry with a corrected address, or
// give up. In automation mode it is answered "ok:<choice>:<address>" or "cancel".
class CErrorDlg1 : public QDialog {
    Q_OBJECT

public:
    // `address`: the current "ServerAddress", shown in the (disabled) address field.
    CErrorDlg1(const std::string& address, QWidget* parent = nullptr);
    ~CErrorDlg1() override;

    // Runs the dialog modally (or answers it in automation mode). UI thread.
    static ConnectionErrorAnswer Ask(QWidget* parent, const std::string& address);

    // The result once the dialog has ended.
    ConnectionErrorAnswer Answer() const;

    void Choose(int choice);
    void SetAddressText(const QString& text);
    bool IsAddressFieldEnabled() const;

    void accept() override;

private:
    std::unique_ptr<Ui::ErrorDlg1> m_ui;
    ConnectionErrorForm m_form;
};

}  // namespace zn::client
