#include "platform/ProgramFolder.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <optional>
#include <string>

#include "Sandbox.h"

namespace {

// Sets or clears one environment variable for a scope.
class ScopedEnvironment {
public:
    ScopedEnvironment(const char* name, const char* value) : m_name(name) {
        if (const char* previous = getenv(name)) {
            m_previous = previous;
        }
        value ? setenv(name, value, 1) : unsetenv(name);
    }
    ~ScopedEnvironment() { m_previous ? setenv(m_name, m_previous->c_str(), 1) : unsetenv(m_name); }

private:
    const char* m_name;
    std::optional<std::string> m_previous;
};

TEST(ProgramFolderTest, IsTheFolderOfTheRunningProgram) {
    const zn::test::Sandbox sandbox;
    const zn::test::ScopedCurrentDirectory elsewhere(sandbox.Path());

    const auto folder = zn::ProgramFolder();

    EXPECT_TRUE(folder.is_absolute()) << folder;
    EXPECT_TRUE(std::filesystem::is_regular_file(folder / "platform_misc_tests")) << folder;
    EXPECT_EQ(zn::ContentFolder(), folder / "Content");
}

TEST(ProgramFolderTest, DriveCFollowsTheEnvironmentAndCreatesNothing) {
    const zn::test::Sandbox sandbox;
    const auto state = sandbox.Path() / "state";
    const auto home = sandbox.Path() / "home";
    const ScopedEnvironment homeVariable("HOME", home.c_str());
    {
        const ScopedEnvironment drive("ZENTROVA_DRIVE_C", "/srv/cafe/c");
        const ScopedEnvironment xdg("XDG_STATE_HOME", state.c_str());
        EXPECT_EQ(zn::DriveC(), "/srv/cafe/c");
    }
    {
        const ScopedEnvironment drive("ZENTROVA_DRIVE_C", "");
        const ScopedEnvironment xdg("XDG_STATE_HOME", state.c_str());
        EXPECT_EQ(zn::DriveC(), state / "zentrova");
    }
    {
        const ScopedEnvironment drive("ZENTROVA_DRIVE_C", nullptr);
        const ScopedEnvironment xdg("XDG_STATE_HOME", nullptr);
        EXPECT_EQ(zn::DriveC(), home / ".local/state/zentrova");
    }
    {
        // A relative state folder is not a valid one and is ignored.
        const ScopedEnvironment drive("ZENTROVA_DRIVE_C", nullptr);
        const ScopedEnvironment xdg("XDG_STATE_HOME", "relative/state");
        EXPECT_EQ(zn::DriveC(), home / ".local/state/zentrova");
    }
    EXPECT_FALSE(std::filesystem::exists(state));
    EXPECT_FALSE(std::filesystem::exists(home));
}

}  // namespace
