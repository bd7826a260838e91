#pragma once

#include <filesystem>
#include <memory>
#include <vector>

#include "ConfirmingTaskPage.h"
#include "config/ConfigFiles.h"
#include "config/SeatListFile.h"

namespace Ui {
class SeatConfigDlg;
}

namespace zn::config {

// The seat mapping editor: the rows of the seat list file, edited in place and written anew on
// "完成" after a confirmation. Nothing is written before that.
class SeatConfigDlg : public ConfirmingTaskPage {
    Q_OBJECT

public:
    explicit SeatConfigDlg(QWidget* parent, std::filesystem::path file = SeatListPath());
    ~SeatConfigDlg() override;

    // The rows as shown, top to bottom.
    std::vector<SeatRow> Rows() const;

private:
    void AppendRow(const SeatRow& row);
    void Add();
    void Edit();
    void Delete();
    void BatchAdd();
    void Save();

    std::unique_ptr<Ui::SeatConfigDlg> m_ui;
    std::filesystem::path m_file;
};

}  // namespace zn::config
