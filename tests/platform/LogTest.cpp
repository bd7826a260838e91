#include "platform/Log.h"

#include <gtest/gtest.h>
#include <spdlog/sinks/systemd_sink.h>
#include <stdlib.h>

#include <memory>

#include "Sandbox.h"

namespace {

// The suite itself may run under systemd (a CI runner's service): each test says where it runs.
class LogTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* name : kSystemdVariables) {
            if (const char* value = getenv(name)) {
                m_saved.emplace_back(name, value);
            }
            unsetenv(name);
        }
    }
    void TearDown() override {
        spdlog::set_default_logger(m_previous);
        for (const char* name : kSystemdVariables) {
            unsetenv(name);
        }
        for (const auto& [name, value] : m_saved) {
            setenv(name.c_str(), value.c_str(), 1);
        }
    }

    bool LogsToTheJournalAlone() const {
        const auto& sinks = spdlog::default_logger()->sinks();
        return sinks.size() == 1 &&
               std::dynamic_pointer_cast<spdlog::sinks::systemd_sink_mt>(sinks.front()) != nullptr;
    }

    static constexpr const char* kSystemdVariables[] = {"JOURNAL_STREAM", "INVOCATION_ID"};
    zn::test::Sandbox m_sandbox;
    std::shared_ptr<spdlog::logger> m_previous = spdlog::default_logger();
    std::vector<std::pair<std::string, std::string>> m_saved;
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

TEST_F(LogTest, UnderSystemdTheLogGoesToTheJournalAndNoFileIsMade) {
    for (const char* name : kSystemdVariables) {
        setenv(name, "8:1234", 1);
        zn::log::StartProgramLog("unit");
        unsetenv(name);
        EXPECT_TRUE(LogsToTheJournalAlone()) << name;
    }
    EXPECT_FALSE(std::filesystem::exists(m_sandbox.DriveC() / "log" / "unit.log"));
}

TEST_F(LogTest, AnEmptySystemdVariableKeepsTheFile) {
    setenv("INVOCATION_ID", "", 1);
    zn::log::StartProgramLog("unit");
    EXPECT_FALSE(LogsToTheJournalAlone());
    EXPECT_TRUE(std::filesystem::exists(m_sandbox.DriveC() / "log" / "unit.log"));
}

}  // namespace
