#include <gtest/gtest.h>

#include <regex>

#include "ChildPrograms.h"
#include "FakeServices.h"
#include "LogCapture.h"
#include "Sandbox.h"
#include "WaitFor.h"
#include "platform/ProcessesByName.h"
#include "update/DeploymentScript.h"

namespace zn {
namespace {

using Strings = std::vector<std::string>;

class DeploymentScriptTest : public ::testing::Test {
protected:
    void SetUp() override {
        test::InstallChild(Program() / "Content", "tool");
        m_services.services["ad"] = {ServiceState::Running, 1};
        m_context.limits.initializePause = std::chrono::milliseconds(1);
        m_context.limits.serviceWait = {std::chrono::milliseconds(1), std::chrono::seconds(1)};
        m_context.limits.programWait = std::chrono::seconds(20);
        m_context.limits.processCloseWait = std::chrono::milliseconds(300);
    }

    std::filesystem::path Program() const { return m_sandbox.Path() / "program"; }
    std::filesystem::path Record() const { return m_sandbox.Path() / "record.txt"; }

    void Run(const std::string& script) {
        RunDeploymentScript(m_sandbox.WriteFile("program/ContentUpdate.xml", script), m_context);
    }

    std::optional<std::string> Value(std::string_view name) const {
        const auto key = m_registry.OpenKey(RegistryRoot::CurrentUser, "Software\\Zentrova");
        return key ? key->QueryString(name) : std::nullopt;
    }

    test::Sandbox m_sandbox;
    test::ScopedEnv m_record{"ZN_CHILD_RECORD", (m_sandbox.Path() / "record.txt").string()};
    Registry m_registry{m_sandbox.RegistryFolder()};
    test::FakeServices m_services;
    DeploymentContext m_context{m_sandbox.Path() / "program",
                                m_registry,
                                m_services,
                                m_sandbox.DriveC() / "update.txt",
                                {}};
};

TEST_F(DeploymentScriptTest, WalksInitializeThenModulesThenFinalize) {
    m_sandbox.WriteFile("program/Content/a/file.txt", "module A");
    m_sandbox.WriteFile("program/Content/empty.txt", "");
    Run(R"(<Script>
      <Finalize Action="StartService" Target="ad"/>
      <Finalize Action="Misc"><Execute Command="tool" Mode="3"><Param>final</Param></Execute>
      </Finalize>
      <Version_File Update="2024-01-01"/>
      <Initialize Action="StopService" Target="ad"/>
      <Initialize Action="startservice" Target="ad"/>
      <Initialize Action="Misc">
        <Registry Path="HKEY_CURRENT_USER\Software\Zentrova" Name="Step" Value="init"/>
        <Execute Command="tool" Mode="3"><Param>init</Param></Execute>
      </Initialize>
      <Module ModuleName="A" ModulePath="a\file.txt" CopyTo="Deployed\deep\file.txt">
        <Registry Path="HKEY_CURRENT_USER\Software\Zentrova" Name="Module" Value="A"/>
        <Execute Command="tool" Mode="3" ModuleIsParam="1"><Param>one</Param><Param>two</Param>
        </Execute>
      </Module>
      <Module ModuleName="Empty" ModulePath="empty.txt" CopyTo="empty.txt">
        <Execute Command="tool" Mode="3"><Param>entries-still-run</Param></Execute>
      </Module>
    </Script>)");

    EXPECT_EQ(m_services.requests, (Strings{"stop ad", "start ad"}));
    EXPECT_EQ(Value("Step"), "init");
    EXPECT_EQ(Value("Module"), "A");
    EXPECT_EQ(test::ReadFile(Program() / "Deployed/deep/file.txt"), "module A");
    EXPECT_FALSE(std::filesystem::exists(Program() / "empty.txt"));
    const std::string deployed = (Program() / "Deployed/deep/file.txt").string();
    EXPECT_EQ(test::RecordedRuns(Record()),
              (Strings{"init", "one|two|" + deployed, "entries-still-run", "final"}));
}

TEST_F(DeploymentScriptTest, StopsAndStartsProgramsByName) {
    test::ScopedEnv stay("ZN_CHILD_STAY", "sleep");
    const std::string name = test::UniqueProgramName("zndeploy");
    test::InstallChild(Program(), name);
    Run("<s><Finalize Action=\"StartApp\" Target=\"" + name + "\"/></s>");
    ASSERT_TRUE(test::WaitFor([&] { return FindProcessByName(name).has_value(); }));
    Run("<s><Initialize Action=\"StopApp\" Target=\"" + name + "\"/></s>");
    EXPECT_TRUE(test::WaitFor([&] { return !FindProcessByName(name); }));
}

TEST_F(DeploymentScriptTest, AFailedCopyIsRecordedAndTheWalkGoesOn) {
    m_sandbox.WriteFile("program/Content/a.txt", "A");
    std::filesystem::create_directories(Program() / "Taken" / "a.txt");
    Run(R"(<s><Module ModulePath="a.txt" CopyTo="Taken\a.txt"/>
           <Module ModulePath="a.txt" CopyTo="b.txt"/></s>)");
    EXPECT_EQ(test::ReadFile(Program() / "b.txt"), "A");
    const auto log = test::ReadFile(m_sandbox.DriveC() / "update.txt");
    ASSERT_TRUE(log);
    const std::string source = (Program() / "Content/a.txt").string();
    const std::string destination = (Program() / "Taken/a.txt").string();
    EXPECT_TRUE(std::regex_match(
        *log, std::regex("[A-Z][a-z]{2} \\d\\d \\d\\d:\\d\\d:\\d\\d: !CopyFile\\(" + source + ", " +
                         destination + ", FALSE\\):\\d+\n")))
        << *log;
}

TEST_F(DeploymentScriptTest, AModuleWhosePathsLeaveTheirFoldersIsSkippedWhole) {
    m_sandbox.WriteFile("program/Content/a.txt", "A");
    m_sandbox.WriteFile("secret.txt", "secret");
    test::LogCapture log;
    Run(R"(<s>
      <Module ModuleName="Out" ModulePath="a.txt" CopyTo="..\evil.txt">
        <Execute Command="tool" Mode="3"><Param>out</Param></Execute></Module>
      <Module ModuleName="In" ModulePath="..\..\secret.txt" CopyTo="stolen.txt">
        <Execute Command="tool" Mode="3"><Param>in</Param></Execute></Module>
      <Module ModuleName="Fine" ModulePath="a.txt" CopyTo="fine.txt"/>
    </s>)");
    EXPECT_FALSE(std::filesystem::exists(m_sandbox.Path() / "evil.txt"));
    EXPECT_FALSE(std::filesystem::exists(Program() / "stolen.txt"));
    EXPECT_EQ(test::ReadFile(Program() / "fine.txt"), "A");
    EXPECT_TRUE(test::RecordedRuns(Record()).empty());
    EXPECT_TRUE(log.Contains({"Skipped the module \"Out\""}));
    EXPECT_TRUE(log.Contains({"Skipped the module \"In\""}));
}

TEST_F(DeploymentScriptTest, AScriptThatDoesNotLoadDoesNothing) {
    test::LogCapture log;
    Run("<s><Initialize Action=\"StopService\" Target=\"ad\"/>");
    EXPECT_TRUE(m_services.requests.empty());
    EXPECT_TRUE(log.Contains({"does not load"}));
}

}  // namespace
}  // namespace zn
