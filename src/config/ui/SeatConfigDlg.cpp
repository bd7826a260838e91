#include "SeatConfigDlg.h"

#include <QHeaderView>

#include <algorithm>
#include <utility>

#include "ConfigMessage.h"
#include "ConfigSeat3Dlg.h"
#include "SeatConfig2Dlg.h"
#include "TemplateSize.h"
#include "gui/FixedDialog.h"
#include "gui/MessageBox.h"
#include "gui/QtText.h"
#include "ui_SeatConfigDlg.h"

namespace zn::config {
namespace {

using gui::Q;

constexpr int kAddressColumn = 0;
constexpr int kSeatColumn = 1;

}  // namespace

SeatConfigDlg::SeatConfigDlg(QWidget* parent, std::filesystem::path file)
    : ConfirmingTaskPage(parent),
      m_ui(std::make_unique<Ui::SeatConfigDlg>()),
      m_file(std::move(file)) {
    m_ui->setupUi(this);
    setWindowFlags(gui::kFixedDialogFlags);
    KeepTemplateSize(*this);
    m_ui->seats->header()->setSectionsMovable(false);
    m_ui->seats->header()->resizeSection(kAddressColumn, 150);
    m_ui->seats->header()->resizeSection(kSeatColumn, 200);
    connect(m_ui->deleteRows, &QPushButton::clicked, this, &SeatConfigDlg::Delete);
    connect(m_ui->editRow, &QPushButton::clicked, this, &SeatConfigDlg::Edit);
    connect(m_ui->addRow, &QPushButton::clicked, this, &SeatConfigDlg::Add);
    connect(m_ui->batchAdd, &QPushButton::clicked, this, &SeatConfigDlg::BatchAdd);
    connect(m_ui->back, &QPushButton::clicked, this, &SeatConfigDlg::GoBack);
    connect(m_ui->finish, &QPushButton::clicked, this, &SeatConfigDlg::Save);
    connect(m_ui->cancel, &QPushButton::clicked, this, &SeatConfigDlg::ConfirmExit);
    for (const SeatRow& row : ReadSeatList(m_file)) {
        AppendRow(row);
    }
}

SeatConfigDlg::~SeatConfigDlg() = default;

std::vector<SeatRow> SeatConfigDlg::Rows() const {
    std::vector<SeatRow> rows;
    for (int i = 0; i < m_ui->seats->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* item = m_ui->seats->topLevelItem(i);
        rows.push_back(
            {item->text(kAddressColumn).toStdString(), item->text(kSeatColumn).toStdString()});
    }
    return rows;
}

void SeatConfigDlg::AppendRow(const SeatRow& row) {
    auto* item = new QTreeWidgetItem(m_ui->seats);
    item->setText(kAddressColumn, Q(row.address));
    item->setText(kSeatColumn, Q(row.seat));
}

void SeatConfigDlg::Add() {
    SeatConfig2Dlg dialog(this);
    if (dialog.exec() == QDialog::Accepted) {
        AppendRow(dialog.Row());
    }
}

void SeatConfigDlg::Edit() {
    const QList<QTreeWidgetItem*> selected = m_ui->seats->selectedItems();
    if (selected.size() != 1) {
        ShowMessage(this, QStringLiteral("请选定并且只选定一个客户机配置进行修改"));
        return;
    }
    QTreeWidgetItem* item = selected.front();
    SeatConfig2Dlg dialog(this);
    dialog.SetRow(
        {item->text(kAddressColumn).toStdString(), item->text(kSeatColumn).toStdString()});
    if (dialog.exec() == QDialog::Accepted) {
        const SeatRow row = dialog.Row();
        item->setText(kAddressColumn, Q(row.address));
        item->setText(kSeatColumn, Q(row.seat));
    }
}

void SeatConfigDlg::Delete() {
    std::vector<int> selected;
    for (QTreeWidgetItem* item : m_ui->seats->selectedItems()) {
        selected.push_back(m_ui->seats->indexOfTopLevelItem(item));
    }
    std::ranges::sort(selected);
    // Each deletion moves the later rows up by one.
    for (std::size_t k = 0; k < selected.size(); ++k) {
        delete m_ui->seats->takeTopLevelItem(selected[k] - static_cast<int>(k));
    }
}

void SeatConfigDlg::BatchAdd() {
    ConfigSeat3Dlg dialog(this);
    if (dialog.exec() == QDialog::Accepted) {
        for (const SeatRow& row : BatchRows(dialog.Batch())) {
            AppendRow(row);
        }
    }
}

void SeatConfigDlg::Save() {
    if (gui::MessageBox(this,
                        QStringLiteral("您是否确认要保存修改到本地的客户机座位号和IP配置文件?"),
                        QStringLiteral("确认保存"), gui::DialogIcon::None,
                        gui::DialogButtons::YesNo) != gui::DialogAnswer::Yes) {
        return;
    }
    std::string failure;
    switch (WriteSeatList(m_file, Rows(), &failure)) {
        case SeatListWrite::Written:
            gui::MessageBox(this, QStringLiteral("成功完成客户机座位号与IP配置！"),
                            QStringLiteral("完成"));
            accept();
            return;
        case SeatListWrite::XmlUnusable:
            ShowMessage(this, QStringLiteral("错误：无法初始化XML组件"));
            return;
        case SeatListWrite::OutOfMemory:
            ShowMessage(this, QStringLiteral("错误：内存不足"));
            return;
        case SeatListWrite::WriteFailed:
            ShowMessage(this, Q(WriteFailedMessage(failure)));
            return;
    }
}

}  // namespace zn::config
