#include "SeatConfigDlg.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

#include "ConfigSeat3Dlg.h"
#include "ConfigUiTest.h"
#include "Ipv4AddressEdit.h"
#include "ModalDriver.h"
#include "SeatConfig2Dlg.h"
#include "console/SeatList.h"

namespace zn::config {
namespace {

using test::Click;
using test::WhenShown;

// Types into the fields of an address control as a person would, "" leaving a field blank.
void TypeAddress(QWidget& dialog, const char* control, const std::array<const char*, 4>& fields) {
    auto* edit = dialog.findChild<Ipv4AddressEdit*>(QString::fromLatin1(control));
    ASSERT_NE(edit, nullptr) << control;
    for (int i = 0; i < 4; ++i) {
        auto* field = edit->findChild<QLineEdit*>(QStringLiteral("field%1").arg(i));
        field->clear();
        QTest::keyClicks(field, QString::fromLatin1(fields[static_cast<std::size_t>(i)]));
    }
}

Ipv4Octets AddressOf(QWidget& dialog, const char* control) {
    return dialog.findChild<Ipv4AddressEdit*>(QString::fromLatin1(control))->Address();
}

void Type(QWidget& dialog, const char* field, const QString& text) {
    auto* edit = dialog.findChild<QLineEdit*>(QString::fromLatin1(field));
    edit->clear();
    // Key by key, as typed; keyClicks takes Latin-1 only.
    for (const QChar character : text) {
        QTest::sendKeyEvent(QTest::Click, edit, Qt::Key_unknown, QString(character),
                            Qt::NoModifier);
    }
}

QString TextOf(QWidget& dialog, const char* field) {
    return dialog.findChild<QLineEdit*>(QString::fromLatin1(field))->text();
}

class SeatConfigDlgTest : public test::ConfigUiTest {
protected:
    std::filesystem::path File() const { return m_sandbox.Path() / "SeatList.xml"; }
    std::unique_ptr<SeatConfigDlg> Open() {
        return std::make_unique<SeatConfigDlg>(nullptr, File());
    }

    static void Select(SeatConfigDlg& page, std::initializer_list<int> rows) {
        auto* list = page.findChild<QTreeWidget*>(QStringLiteral("seats"));
        list->clearSelection();
        for (const int row : rows) {
            list->topLevelItem(row)->setSelected(true);
        }
    }

    std::unique_ptr<SeatConfigDlg> OpenWithFiveRows() {
        m_sandbox.WriteFile("SeatList.xml",
                            "<SeatList><Seat IP=\"10.0.0.0\">0</Seat><Seat IP=\"10.0.0.1\">1</Seat>"
                            "<Seat IP=\"10.0.0.2\">2</Seat><Seat IP=\"10.0.0.3\">3</Seat>"
                            "<Seat IP=\"10.0.0.4\">4</Seat></SeatList>");
        return Open();
    }
};

TEST_F(SeatConfigDlgTest, ListShowsTheFileInTwoColumnsAndASeatWithoutAddressAsEmpty) {
    m_sandbox.WriteFile("SeatList.xml",
                        "<SeatList><Seat IP=\"10.0.0.2\">B</Seat><Seat>C</Seat></SeatList>");
    const auto page = Open();
    auto* list = page->findChild<QTreeWidget*>(QStringLiteral("seats"));
    EXPECT_EQ(list->headerItem()->text(0), QStringLiteral("客户机IP"));
    EXPECT_EQ(list->headerItem()->text(1), QStringLiteral("客户机座位号"));
    EXPECT_EQ(list->columnWidth(0), 150);
    EXPECT_EQ(list->columnWidth(1), 200);
    EXPECT_EQ(page->Rows(), (std::vector<SeatRow>{{"10.0.0.2", "B"}, {"", "C"}}));

    m_sandbox.WriteFile("SeatList.xml", "<SeatList><Seat IP=\"10.0.0.2\">B</Seat>");
    EXPECT_TRUE(Open()->Rows().empty()) << "a malformed file opens an empty list";
}

TEST_F(SeatConfigDlgTest, DeletingRowsOneThreeAndFourOfFiveLeavesZeroAndTwo) {
    const auto page = OpenWithFiveRows();
    Select(*page, {4, 1, 3});
    Click(*page, "deleteRows");
    EXPECT_EQ(page->Rows(), (std::vector<SeatRow>{{"10.0.0.0", "0"}, {"10.0.0.2", "2"}}));
    Select(*page, {});
    Click(*page, "deleteRows");
    EXPECT_EQ(page->Rows().size(), 2u) << "nothing selected, nothing deleted";
    EXPECT_TRUE(Dialogs().empty()) << "no confirmation";
}

TEST_F(SeatConfigDlgTest, EditNeedsExactlyOneSelectedRowAndReplacesIt) {
    const auto page = OpenWithFiveRows();
    Select(*page, {});
    Click(*page, "editRow");
    Select(*page, {1, 2});
    Click(*page, "editRow");
    EXPECT_EQ(Times("请选定并且只选定一个客户机配置进行修改"), 2) << Dialogs();

    Select(*page, {2});
    WhenShown<SeatConfig2Dlg>([](SeatConfig2Dlg& dialog) {
        EXPECT_EQ(TextOf(dialog, "seat"), QStringLiteral("2"));
        EXPECT_EQ(AddressOf(dialog, "address"), (Ipv4Octets{10, 0, 0, 2}));
        Type(dialog, "seat", QStringLiteral("二号"));
        TypeAddress(dialog, "address", {"192", "168", "", "300"});
        Click(dialog, "finish");
    });
    Click(*page, "editRow");
    EXPECT_EQ(page->Rows()[2], (SeatRow{"192.168.0.30", "二号"}))
        << "a blank field reads 0, and 300 cannot be typed into a field";
}

TEST_F(SeatConfigDlgTest, AddAppendsAndCancelChangesNothing) {
    const auto page = Open();
    WhenShown<SeatConfig2Dlg>([](SeatConfig2Dlg& dialog) {
        EXPECT_EQ(AddressOf(dialog, "address"), (Ipv4Octets{0, 0, 0, 0}));
        Type(dialog, "seat", QStringLiteral("A1"));
        TypeAddress(dialog, "address", {"10", "1", "2", "3"});
        Click(dialog, "finish");
    });
    Click(*page, "addRow");
    WhenShown<SeatConfig2Dlg>([](SeatConfig2Dlg& dialog) {
        Type(dialog, "seat", QStringLiteral("A2"));
        Click(dialog, "cancel");
    });
    Click(*page, "addRow");
    EXPECT_EQ(page->Rows(), (std::vector<SeatRow>{{"10.1.2.3", "A1"}}));
}

TEST_F(SeatConfigDlgTest, BatchAddressesStayInOneBlockAndTheCountFollows) {
    ConfigSeat3Dlg dialog(nullptr);
    EXPECT_EQ(TextOf(dialog, "count"), QStringLiteral("0"));
    EXPECT_EQ(TextOf(dialog, "firstSeat"), QStringLiteral("0"));

    TypeAddress(dialog, "endAddress", {"192", "168", "1", "9"});
    EXPECT_EQ(AddressOf(dialog, "startAddress"), (Ipv4Octets{192, 168, 1, 0}));
    TypeAddress(dialog, "startAddress", {"10", "0", "0", "5"});
    EXPECT_EQ(AddressOf(dialog, "endAddress"), (Ipv4Octets{10, 0, 0, 9}));
    EXPECT_EQ(TextOf(dialog, "count"), QStringLiteral("5"));

    TypeAddress(dialog, "endAddress", {"10", "0", "0", "4"});
    EXPECT_EQ(TextOf(dialog, "count"), QStringLiteral("0")) << "an end below the start";
    dialog.accept();
    EXPECT_TRUE(Showed("错误：批量添加的客户端数量不能为0"));
    EXPECT_NE(dialog.result(), QDialog::Accepted);

    TypeAddress(dialog, "endAddress", {"10", "0", "0", "7"});
    Type(dialog, "firstSeat", QStringLiteral("5号"));
    dialog.accept();
    EXPECT_TRUE(
        Showed("\"caption\":\"ZentrovaNubraConfig\",\"text\":\"Please enter an integer.\""));
    EXPECT_NE(dialog.result(), QDialog::Accepted);

    Type(dialog, "firstSeat", QStringLiteral("5"));
    Type(dialog, "prefix", QStringLiteral("A"));
    dialog.accept();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(BatchRows(dialog.Batch()),
              (std::vector<SeatRow>{{"10.0.0.5", "A5"}, {"10.0.0.6", "A6"}, {"10.0.0.7", "A7"}}));
}

TEST_F(SeatConfigDlgTest, BatchRowsComeAfterTheRowsThere) {
    const auto page = OpenWithFiveRows();
    WhenShown<ConfigSeat3Dlg>([](ConfigSeat3Dlg& dialog) {
        TypeAddress(dialog, "startAddress", {"192", "168", "1", "10"});
        TypeAddress(dialog, "endAddress", {"192", "168", "1", "11"});
        Type(dialog, "firstSeat", QStringLiteral("7"));
        Type(dialog, "suffix", QStringLiteral("号"));
        Click(dialog, "finish");
    });
    Click(*page, "batchAdd");
    const auto rows = page->Rows();
    ASSERT_EQ(rows.size(), 7u);
    EXPECT_EQ(rows[4], (SeatRow{"10.0.0.4", "4"}));
    EXPECT_EQ(rows[5], (SeatRow{"192.168.1.10", "7号"}));
    EXPECT_EQ(rows[6], (SeatRow{"192.168.1.11", "8号"}));
}

TEST_F(SeatConfigDlgTest, SavedChineseSeatNumbersComeBackAndTheConsoleFindsThem) {
    const auto page = Open();
    const std::pair<const char*, const char*> seats[] = {{"1", "一号"}, {"2", "贵宾室 二号"}};
    for (const auto& [last, seat] : seats) {
        WhenShown<SeatConfig2Dlg>([last, seat](SeatConfig2Dlg& dialog) {
            Type(dialog, "seat", QString::fromUtf8(seat));
            TypeAddress(dialog, "address", {"192", "168", "0", last});
            Click(dialog, "finish");
        });
        Click(*page, "addRow");
    }
    Answer("no,yes");
    Click(*page, "finish");
    EXPECT_FALSE(std::filesystem::exists(File())) << "No writes nothing";
    EXPECT_NE(page->result(), QDialog::Accepted);
    Click(*page, "finish");
    EXPECT_EQ(page->result(), QDialog::Accepted);
    EXPECT_TRUE(
        Showed("\"caption\":\"确认保存\",\"text\":"
               "\"您是否确认要保存修改到本地的客户机座位号和IP配置文件?\""));
    EXPECT_TRUE(Showed("\"caption\":\"完成\",\"text\":\"成功完成客户机座位号与IP配置！\""));
    EXPECT_EQ(test::ReadFile(File()),
              "<SeatList><Seat IP=\"192.168.0.1\">一号</Seat>"
              "<Seat IP=\"192.168.0.2\">贵宾室 二号</Seat></SeatList>");

    EXPECT_EQ(Open()->Rows(),
              (std::vector<SeatRow>{{"192.168.0.1", "一号"}, {"192.168.0.2", "贵宾室 二号"}}));
    EXPECT_EQ(console::LookUpSeat(m_sandbox.Path(), "192.168.0.2"), "贵宾室 二号");
}

// Keys as a desktop delivers them: to the widget that has the focus.
void Press(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    ASSERT_NE(QApplication::focusWidget(), nullptr);
    QTest::keyClick(QApplication::focusWidget(), static_cast<Qt::Key>(key), modifiers);
}

TEST_F(SeatConfigDlgTest, TheAddressControlIsOneTabStopWhoseFieldsTheArrowsAndBackspaceCross) {
    SeatConfig2Dlg dialog(nullptr);
    dialog.show();
    dialog.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
    auto* seat = dialog.findChild<QLineEdit*>(QStringLiteral("seat"));
    std::array<QLineEdit*, 4> fields{};
    for (int i = 0; i < 4; ++i) {
        fields[static_cast<std::size_t>(i)] =
            dialog.findChild<QLineEdit*>(QStringLiteral("field%1").arg(i));
    }
    const auto focusIsAt = [&](QWidget* widget, int cursor) {
        return QApplication::focusWidget() == widget &&
               (cursor < 0 || static_cast<QLineEdit*>(widget)->cursorPosition() == cursor);
    };

    seat->setFocus();
    Press(Qt::Key_Tab);
    EXPECT_TRUE(focusIsAt(fields[0], -1));
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("192"));
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("168"));
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("1"));
    Press(Qt::Key_Period);
    EXPECT_TRUE(focusIsAt(fields[3], 0)) << "\".\" moves on";
    Press(Qt::Key_Backspace);
    EXPECT_TRUE(focusIsAt(fields[2], 1))
        << "Backspace in an empty field: the end of the one before";
    Press(Qt::Key_Left);
    Press(Qt::Key_Left);
    EXPECT_TRUE(focusIsAt(fields[1], 3)) << "Left at a field's start: the end of the one before";
    Press(Qt::Key_Right);
    EXPECT_TRUE(focusIsAt(fields[2], 0)) << "Right at a field's end: the start of the next";

    Press(Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), dialog.findChild<QPushButton*>(QStringLiteral("finish")))
        << "the fields after the first are no tab stops";
    Press(Qt::Key_Backtab);
    EXPECT_TRUE(focusIsAt(fields[0], -1));
    QTest::mouseClick(fields[2], Qt::LeftButton);
    Press(Qt::Key_Backtab);
    EXPECT_EQ(QApplication::focusWidget(), seat) << "Shift+Tab leaves the control from any field";
    EXPECT_EQ(dialog.Row().address, "192.168.1.0");
}

TEST_F(SeatConfigDlgTest, AFailedSaveIsToldWithTheFileAndWhyAndThePageStays) {
    const auto file = m_sandbox.Path() / "gone" / "SeatList.xml";
    auto page = std::make_unique<SeatConfigDlg>(nullptr, file);
    Answer("yes");
    Click(*page, "finish");
    EXPECT_NE(page->result(), QDialog::Accepted);
    EXPECT_FALSE(Showed("成功完成"));
    EXPECT_TRUE(Showed("\"caption\":\"ZentrovaNubraConfig\",\"text\":\"错误：无法保存文件"))
        << Dialogs();
    EXPECT_TRUE(Showed(file.string())) << Dialogs();
}

}  // namespace
}  // namespace zn::config
