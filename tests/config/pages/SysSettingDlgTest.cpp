#include "SysSettingDlg.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QMessageBox>
#include <QPointer>
#include <QTest>
#include <QTimer>

#include <memory>
#include <string>

#include "LogCapture.h"
#include "PageTestSupport.h"
#include "PartnerHost.h"
#include "PartnerSounds.h"
#include "RawHttpServer.h"
#include "gui/PageHost.h"

namespace zn::config {
namespace {

using test::DialogLog;
using test::HoldingPartner;
using test::PartnerHost;
using test::RunScript;
using test::SiteAt;

// The real page, offscreen, against the local web host as the partner site.
class SysSettingDlgTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_partner.Started()) << "the partner host did not start"; }

    std::unique_ptr<SysSettingDlg> Open(const PartnerSite& site) {
        auto dialog = std::make_unique<SysSettingDlg>(site, m_sound, nullptr);
        dialog->show();
        return dialog;
    }
    static QWebEngineView& View(SysSettingDlg& dialog) {
        return *dialog.findChild<gui::PageHost*>()->View();
    }
    // True once the sound page of the site shows in the dialog.
    static bool ShowsSoundPage(SysSettingDlg& dialog, const PartnerSite& site) {
        const QString address = QString::fromStdString(SoundPageAddress(site));
        return zn::test::WaitWithEvents([&] {
            return RunScript(View(dialog),
                             QStringLiteral("document.getElementById('ButtonSetSound') ? "
                                            "location.href : ''"))
                       .toString() == address;
        });
    }
    std::unique_ptr<SysSettingDlg> OpenSoundPage() {
        auto dialog = Open(m_partner.Site());
        EXPECT_TRUE(ShowsSoundPage(*dialog, m_partner.Site()))
            << "the partner's sound page did not show";
        return dialog;
    }
    // Puts the path into "SoundPath" and clicks the set button, as the page's user would.
    static void SetSound(SysSettingDlg& dialog, const QString& path) {
        RunScript(View(dialog), QStringLiteral("document.getElementById('SoundPath').value = '%1';"
                                               "document.getElementById('ButtonSetSound').click();")
                                    .arg(path));
    }
    std::string Sound() const { return zn::test::ReadFile(m_sound).value_or("<none>"); }

    zn::test::Sandbox m_sandbox;
    const std::string m_oldSound = *webhost::PartnerSoundWav("beeps.wav");
    std::filesystem::path m_sound = m_sandbox.WriteFile("program/NewRequestAlert.wav", m_oldSound);
    PartnerHost m_partner;
};

TEST_F(SysSettingDlgTest, ThePlaceholderShowsUntilThePartnerPageArrives) {
    zn::test::RawHttpServer silent("");  // accepts and never answers
    auto dialog = Open(SiteAt(silent.Port()));
    ASSERT_TRUE(zn::test::WaitWithEvents([&] { return silent.Connections() > 0; }))
        << "the partner's page was never asked for";
    const QVariantList shown = RunScript(View(*dialog), QStringLiteral(R"(
            var text = document.querySelector('b');
            var style = getComputedStyle(text);
            [document.body.id, document.body.innerText, style.color, style.fontWeight,
             getComputedStyle(text.parentElement.parentElement).textAlign])"))
                                   .toList();
    ASSERT_EQ(shown.size(), 5);
    EXPECT_EQ(shown[0].toString(), QStringLiteral("CSysSettingDlg"));
    EXPECT_EQ(shown[1].toString(), QStringLiteral("正在下载配置页面...\n请稍候"));
    EXPECT_EQ(shown[2].toString(), QStringLiteral("rgb(255, 0, 0)"));
    EXPECT_EQ(shown[3].toString(), QStringLiteral("700"));
    EXPECT_TRUE(shown[4].toString().endsWith(QStringLiteral("center"))) << "not centred";
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("配置顾客选购商品后提示声音"));
}

TEST_F(SysSettingDlgTest, TheChosenSoundReplacesTheAlertSound) {
    DialogLog log(m_sandbox);
    auto dialog = OpenSoundPage();
    RunScript(View(*dialog), QStringLiteral(R"(
        document.querySelector('input[value$="dingdong.wav"]').click();
        document.getElementById('ButtonSetSound').click();)"));

    ASSERT_TRUE(log.WaitForLines(1)) << "no message after the download";
    EXPECT_EQ(log.Lines()[0]["text"].toString(), QStringLiteral("提示声音更新成功！"));
    EXPECT_EQ(log.Lines()[0]["caption"].toString(), QStringLiteral("ZentrovaNubraConfig"));
    EXPECT_EQ(log.Lines()[0]["buttons"].toArray(), QJsonArray{QStringLiteral("ok")});
    EXPECT_EQ(Sound(), *webhost::PartnerSoundWav("dingdong.wav"));
    EXPECT_TRUE(dialog->isVisible()) << "the page closed after a download";
}

TEST_F(SysSettingDlgTest, EveryFailedDownloadKeepsTheOldSound) {
    DialogLog log(m_sandbox);
    auto dialog = OpenSoundPage();
    const QString failing[] = {
        QStringLiteral("9tqa/sounds/none.wav"),    // 404
        QStringLiteral("wb/notice.html"),          // no sound
        QStringLiteral("http://evil.test/x.wav"),  // another host
    };
    for (const QString& path : failing) {
        SetSound(*dialog, path);
    }
    ASSERT_TRUE(log.WaitForLines(3));
    m_partner.Stop();
    SetSound(*dialog, QStringLiteral("9tqa/sounds/rising.wav"));
    ASSERT_TRUE(log.WaitForLines(4)) << "no message with the partner host down";

    for (const QJsonObject& line : log.Lines()) {
        EXPECT_EQ(line["text"].toString(), QStringLiteral("提示声音下载失败！"));
    }
    EXPECT_EQ(Sound(), m_oldSound);
}

// With a real message box on screen, a second click queued meanwhile must not start a download
// inside it (and a box on top of the box).
TEST_F(SysSettingDlgTest, ClicksQueuedDuringADownloadAreDropped) {
    zn::test::LogCapture log;
    auto dialog = OpenSoundPage();
    // The administrator reads each box for a while before answering it.
    QStringList shown;
    QPointer<QMessageBox> reading;
    QElapsedTimer readFor;
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box != nullptr && box != reading) {
            reading = box;
            readFor.start();
        } else if (box != nullptr && readFor.elapsed() >= 2000) {
            shown.append(box->text());
            box->done(0);
        }
    });
    closer.start(50);
    RunScript(View(*dialog), QStringLiteral(R"(
        document.getElementById('SoundPath').value = '9tqa/sounds/dingdong.wav';
        document.getElementById('ButtonSetSound').click();
        document.getElementById('ButtonSetSound').click();)"));

    ASSERT_TRUE(zn::test::WaitWithEvents([&] { return log.Contains({"ignored"}); }))
        << "the second click was not dropped";
    ASSERT_TRUE(zn::test::WaitWithEvents([&] { return !shown.isEmpty(); }));
    EXPECT_EQ(shown, QStringList{QStringLiteral("提示声音更新成功！")});
}

TEST_F(SysSettingDlgTest, TheDownloadRunsWhileThePageRespondsAndDropsItsClicks) {
    HoldingPartner partner;
    DialogLog dialogs(m_sandbox);
    zn::test::LogCapture log;
    auto dialog = Open(partner.Site());
    ASSERT_TRUE(ShowsSoundPage(*dialog, partner.Site()));
    RunScript(View(*dialog), QStringLiteral("document.getElementById('ButtonSetSound').click();"));
    ASSERT_TRUE(zn::test::WaitWithEvents([&] { return partner.Asked() > 0; }));

    // While the partner holds the sound, the page answers and shows that it is busy.
    EXPECT_EQ(RunScript(View(*dialog), QStringLiteral("document.getElementById('SoundPath').value"))
                  .toString(),
              QStringLiteral("9tqa/held.wav"));
    EXPECT_TRUE(dialogs.Lines().empty()) << "the page answered only after the download";
    const QCursor* cursor = QApplication::overrideCursor();
    EXPECT_TRUE(cursor != nullptr && cursor->shape() == Qt::WaitCursor);
    RunScript(View(*dialog), QStringLiteral("document.getElementById('ButtonSetSound').click();"
                                            "document.getElementById('ButtonCancel').click();"));
    dialog->close();
    EXPECT_TRUE(zn::test::WaitWithEvents([&] { return log.Contains({"ignored"}); }));
    EXPECT_TRUE(dialog->isVisible()) << "closed during the download";

    partner.Release();
    ASSERT_TRUE(dialogs.WaitForLines(1));
    EXPECT_EQ(dialogs.Lines()[0]["text"].toString(), QStringLiteral("提示声音更新成功！"));
    EXPECT_EQ(Sound(), *webhost::PartnerSoundWav("dingdong.wav"));
    EXPECT_EQ(partner.Asked(), 1) << "a dropped click started a download";
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_TRUE(dialog->isVisible());
}

// Keys as a desktop delivers them, to the widget that has the focus: here the browser, which
// takes every key it is given.
TEST_F(SysSettingDlgTest, EscapeEndsThePageWhereverTheFocusIs) {
    auto dialog = OpenSoundPage();
    dialog->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(dialog.get()));
    View(*dialog).setFocus();
    RunScript(View(*dialog), QStringLiteral("document.getElementById('SoundPath').focus();"));
    QWidget* focused = QApplication::focusWidget();
    ASSERT_TRUE(focused == &View(*dialog) || View(*dialog).isAncestorOf(focused));
    QTest::keyClick(focused, Qt::Key_Escape);
    ASSERT_TRUE(zn::test::WaitWithEvents([&] { return !dialog->isVisible(); }));
    EXPECT_EQ(dialog->result(), QDialog::Rejected);
    EXPECT_FALSE(dialog->WentBack());
}

TEST_F(SysSettingDlgTest, ButtonCancelEndsThePageWithoutAWayBack) {
    auto dialog = OpenSoundPage();
    RunScript(View(*dialog), QStringLiteral("document.getElementById('ButtonCancel').click();"));
    ASSERT_TRUE(zn::test::WaitWithEvents([&] { return !dialog->isVisible(); }));
    EXPECT_EQ(dialog->result(), QDialog::Rejected);
    EXPECT_FALSE(dialog->WentBack());
}

TEST_F(SysSettingDlgTest, PagesOfOtherOriginsCannotDownload) {
    PartnerHost foreign;
    ASSERT_TRUE(foreign.Started());
    DialogLog dialogs(m_sandbox);
    zn::test::LogCapture log;
    auto dialog = OpenSoundPage();
    dialog->findChild<gui::PageHost*>()->Navigate(SoundPageAddress(foreign.Site()));
    ASSERT_TRUE(ShowsSoundPage(*dialog, foreign.Site()));
    SetSound(*dialog, QStringLiteral("9tqa/sounds/dingdong.wav"));

    ASSERT_TRUE(zn::test::WaitWithEvents([&] { return log.Contains({"refused"}); }))
        << "the foreign click was not refused";
    EXPECT_TRUE(dialogs.Lines().empty());
    EXPECT_EQ(Sound(), m_oldSound);
}

}  // namespace
}  // namespace zn::config
