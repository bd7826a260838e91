#include "platform/Log.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include "Sandbox.h"

namespace {

class LogTest : public ::testing::Test {
protected:
    void TearDown() override { spdlog::set_default_logger(m_previous); }

    zn::test::Sandbox m_sandbox;
    std::shared_ptr<spdlog::logger> m_previous = spdlog::default_logger();
};

TEST_F(LogTest, ProgramLogReachesItsFileInTheStateFolder) {
    zn::log::StartProgramLog("unit");
    zn::log::Error("port {} cannot be opened", 8001);
    spdlog::default_logger()->flush();

    const auto text = zn::test::ReadFile(m_sandbox.DriveC() / "log" / "unit.log");
    ASSERT_TRUE(text) << "no log file";
    EXPECT_NE(text->find("error: port 8001 cannot be opened"), std::string::npos) << *text;
}

TEST_F(LogTest, AFolderThatCannotBeWrittenLeavesTheProgramLogging) {
    const auto blocker = m_sandbox.WriteFile("blocker", "a file where the folder should be");
    setenv("ZENTROVA_LOG_DIR", (blocker / "log").c_str(), 1);
    zn::log::StartProgramLog("unit");
    unsetenv("ZENTROVA_LOG_DIR");
    zn::log::Info("still logging");  // must not throw
    EXPECT_TRUE(std::filesystem::is_regular_file(blocker));
}

TEST(LogTextTest, NetworkTextCannotForgeLinesOrFloodTheFile) {
    EXPECT_EQ(zn::log::Printable("O123\n2026-12-07 error: forged\r\x7f"),
              "O123?2026-12-07 error: forged??");
    EXPECT_EQ(zn::log::Printable(std::string(1000, 'A'), 10), "AAAAAAAAAA...");
    EXPECT_EQ(zn::log::Printable("张三", 4), "张...") << "cut on a character boundary";
}

}  // namespace
