#include "platform/Log.h"

#include <gtest/gtest.h>

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
    const auto blocker = m_sandbox.WriteFile("c", "a file where the folder should be");
    zn::log::StartProgramLog("unit");
    zn::log::Info("still logging");  // must not throw
    EXPECT_FALSE(std::filesystem::exists(blocker / "log"));
}

}  // namespace
