#pragma once

#include <QDialog>

#include <filesystem>
#include <memory>

class QWebEngineView;

namespace Ui {
class TransViewDlg;
}

namespace zn::console {

// The transaction view (template 137): the kept result page in a browser of its own, with a
// print button that stays disabled and "关闭窗口". In automation mode it logs the text of the
// page it shows once the page has loaded, and closes.
class CTransViewDlg : public QDialog {
    Q_OBJECT

public:
    explicit CTransViewDlg(std::filesystem::path pageFile, QWidget* parent = nullptr);
    ~CTransViewDlg() override;

    // Shows the page file modally and returns once the view has closed. UI thread.
    void Run();

private:
    void AnswerAutomatically();

    std::unique_ptr<Ui::TransViewDlg> m_ui;
    std::filesystem::path m_pageFile;
    QWebEngineView* m_browser;
};

}  // namespace zn::console
