#include <gtest/gtest.h>

#include "ChildPrograms.h"
#include "FakeServices.h"
#include "LogCapture.h"
#include "Sandbox.h"
#include "update/ServiceControl.h"
#include "update/SystemdServices.h"

namespace zn {
namespace {

using test::FakeServices;

constexpr ServiceWait kQuickWait{std::chrono::milliseconds(1), std::chrono::milliseconds(200)};

TEST(ServiceControlTest, AsksAgainUntilTheServiceReachesTheState) {
    FakeServices fake;
    fake.services["ad"] = {ServiceState::Stopped, 3};
    EXPECT_TRUE(StartServiceAndWait(fake, "ad", kQuickWait));
    EXPECT_EQ(fake.requests, (std::vector<std::string>(3, "start ad")));
    fake.services["ad"].requestsPerChange = 1;
    EXPECT_TRUE(StopServiceAndWait(fake, "ad", kQuickWait));
    EXPECT_EQ(fake.services["ad"].state, ServiceState::Stopped);
}

TEST(ServiceControlTest, AStoppedServiceStopsAtOnce) {
    FakeServices fake;
    fake.services["ad"] = {ServiceState::Stopped, 0};
    EXPECT_TRUE(StopServiceAndWait(fake, "ad", kQuickWait));
    EXPECT_EQ(fake.requests.size(), 1u);
}

TEST(ServiceControlTest, UnknownUnreadableOrStuckServicesGiveFalseWithinTheBound) {
    FakeServices fake;
    fake.services["stuck"] = {ServiceState::Stopped, 0};
    fake.services["mute"] = {ServiceState::Stopped, 1, 0, false};
    test::LogCapture log;
    EXPECT_FALSE(StartServiceAndWait(fake, "missing", kQuickWait));
    EXPECT_FALSE(StartServiceAndWait(fake, "mute", kQuickWait));
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(StartServiceAndWait(fake, "stuck", kQuickWait));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
    EXPECT_TRUE(log.Contains({"stuck", "did not start within 200 ms"}));
    EXPECT_TRUE(log.Contains({"missing", "does not exist"}));
}

TEST(SystemdServicesTest, PassesTheUnitAfterTheOptionsEnd) {
    test::Sandbox sandbox;
    const auto systemctl = test::InstallChild(sandbox.Path(), "systemctl");
    const auto record = sandbox.Path() / "record.txt";
    test::ScopedEnv recording("ZN_CHILD_RECORD", record.string());
    SystemdServices services(systemctl.string());
    {
        test::ScopedEnv answer("ZN_CHILD_PRINT", "loaded\n");
        EXPECT_TRUE(services.Exists("--host=evil"));
    }
    {
        test::ScopedEnv answer("ZN_CHILD_PRINT", "activating\n");
        test::ScopedEnv exitCode("ZN_CHILD_EXIT", "3");
        EXPECT_EQ(services.QueryState("ad.service"), ServiceState::Changing);
    }
    services.RequestStart("ad.service");
    EXPECT_EQ(test::RecordedRuns(record),
              (std::vector<std::string>{
                  "--no-ask-password|show|--property=LoadState|--value|--|--host=evil",
                  "--no-ask-password|is-active|--|ad.service",
                  "--no-ask-password|--no-block|start|--|ad.service"}));
}

TEST(SystemdServicesTest, ReadsTheStatesOfIsActive) {
    EXPECT_EQ(ServiceStateFromActiveText("active"), ServiceState::Running);
    EXPECT_EQ(ServiceStateFromActiveText("inactive"), ServiceState::Stopped);
    EXPECT_EQ(ServiceStateFromActiveText("failed"), ServiceState::Stopped);
    EXPECT_EQ(ServiceStateFromActiveText("deactivating"), ServiceState::Changing);
    EXPECT_EQ(ServiceStateFromActiveText("unknown"), std::nullopt);
}

}  // namespace
}  // namespace zn
