#include "platform/Registry.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <random>
#include <thread>
#include <vector>

#include "Sandbox.h"
#include "WaitFor.h"
#include "platform/RegFormat.h"

namespace zn {
namespace {

using test::ReadFile;
using test::Sandbox;

constexpr std::string_view kConsoleKey = "SOFTWARE\\Pexora\\ZentrovaConsole";
constexpr std::string_view kConsoleFile =
    "Windows Registry Editor Version 5.00\r\n"
    "\r\n"
    "; written by the installer\r\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Pexora\\ZentrovaConsole]\r\n"
    "\"LocalPort\"=dword:00001f41\r\n"
    "\"LoginPage\"=\"http://127.0.0.1:8280/wb/loginsyt.jsp\"\r\n"
    "@=\"默认\"\r\n"
    "\r\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Pexora\\ZentrovaConsole\\Listener]\r\n";

class RegistryTest : public ::testing::Test {
protected:
    std::filesystem::path MachineFile() const {
        return registry.FileOf(RegistryRoot::LocalMachine);
    }
    void WriteMachineFile(std::string_view text) const {
        sandbox.WriteFile(MachineFile().lexically_relative(sandbox.Path()), text);
    }
    std::optional<RegistryKey> ConsoleKey() const {
        return registry.OpenKey(RegistryRoot::LocalMachine, kConsoleKey);
    }
    std::optional<RegistryKey> CreateConsoleKey() const {
        return registry.CreateKey(RegistryRoot::LocalMachine, kConsoleKey);
    }

    Sandbox sandbox;
    Registry registry{sandbox.RegistryFolder()};
};

TEST_F(RegistryTest, ReadsAnExportFileWithAnyCaseOfNames) {
    WriteMachineFile(kConsoleFile);
    const auto key =
        registry.OpenKey(RegistryRoot::LocalMachine, "software\\PEXORA\\zentrovaconsole");
    ASSERT_TRUE(key);
    EXPECT_EQ(key->QueryDword("localport"), 8001u);
    EXPECT_EQ(key->QueryString("LOGINPAGE"), "http://127.0.0.1:8280/wb/loginsyt.jsp");
    EXPECT_EQ(key->QueryString(""), "默认");
    EXPECT_EQ(key->QueryDword("RemotePort"), std::nullopt);
    // No conversion between types: the callers' defaults apply.
    EXPECT_EQ(key->QueryDword("LoginPage"), std::nullopt);
    EXPECT_EQ(key->QueryString("LocalPort"), std::nullopt);

    const auto first = key->EnumValue(0);
    ASSERT_TRUE(first);
    EXPECT_EQ(first->name, "LocalPort");
    EXPECT_EQ(key->EnumValue(2)->name, "");
    EXPECT_FALSE(key->EnumValue(3));

    EXPECT_TRUE(
        registry.OpenKey(RegistryRoot::LocalMachine, std::string(kConsoleKey) + "\\Listener"))
        << "a key without values exists";
    EXPECT_TRUE(registry.OpenKey(RegistryRoot::LocalMachine, "SOFTWARE\\Pexora"))
        << "parents of a stored key exist";
    EXPECT_FALSE(registry.OpenKey(RegistryRoot::LocalMachine, "SOFTWARE\\Pexora\\Zentrova"));
    EXPECT_FALSE(registry.OpenKey(RegistryRoot::CurrentUser, kConsoleKey));
    EXPECT_FALSE(registry.OpenKey(RegistryRoot::LocalMachine, "\\SOFTWARE\\Pexora"));
    EXPECT_FALSE(registry.OpenKey(RegistryRoot::LocalMachine, "SOFTWARE\\\\Pexora"));
}

TEST_F(RegistryTest, QueriesFollowTheConsoleBuffers) {
    const auto key = CreateConsoleKey();
    ASSERT_TRUE(key);
    ASSERT_TRUE(key->SetDword("LocalPort", 0));
    EXPECT_EQ(key->QueryDword("LocalPort"), 0u) << "a stored 0 is the caller's to replace";

    ASSERT_TRUE(key->SetString("Fits", std::string(259, 'a')));
    ASSERT_TRUE(key->SetString("OneTooMany", std::string(260, 'a')));
    ASSERT_TRUE(key->SetString("LoginPage", "http://" + std::string(293, 'x')));
    ASSERT_TRUE(key->SetString("Empty", ""));
    EXPECT_EQ(key->QueryString("Fits"), std::string(259, 'a'));
    EXPECT_EQ(key->QueryString("OneTooMany"), std::nullopt);
    EXPECT_EQ(key->QueryString("LoginPage"), std::nullopt);
    EXPECT_EQ(key->QueryString("Empty"), "");
    EXPECT_EQ(key->EnumValue(2)->data, RegistryData(std::string(260, 'a')))
        << "the value itself is kept whole";
}

TEST_F(RegistryTest, WritesTheExportFormatAndRoundTripsEscapesAndChinese) {
    const auto key = CreateConsoleKey();
    ASSERT_TRUE(key);
    ASSERT_TRUE(key->SetDword("LocalPort", 8001));
    ASSERT_TRUE(key->SetString("Launch", "C:\\Program Files\\\"启动\"\\网吧收银台"));
    ASSERT_TRUE(key->SetString("", "默认"));
    ASSERT_TRUE(key->SetDword("localport", 8002)) << "same value, other case";

    const auto text = ReadFile(MachineFile());
    ASSERT_TRUE(text);
    EXPECT_EQ(*text,
              "Windows Registry Editor Version 5.00\n"
              "\n"
              "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Pexora\\ZentrovaConsole]\n"
              "\"LocalPort\"=dword:00001f42\n"
              "\"Launch\"=\"C:\\\\Program Files\\\\\\\"启动\\\"\\\\网吧收银台\"\n"
              "@=\"默认\"\n");

    const Registry other(sandbox.RegistryFolder());
    const auto again = other.OpenKey(RegistryRoot::LocalMachine, kConsoleKey);
    ASSERT_TRUE(again);
    EXPECT_EQ(again->QueryString("Launch"), "C:\\Program Files\\\"启动\"\\网吧收银台");
    EXPECT_EQ(again->QueryString(""), "默认");
    EXPECT_EQ(again->QueryDword("LocalPort"), 8002u);

    EXPECT_TRUE(again->DeleteValue("LAUNCH"));
    EXPECT_FALSE(again->DeleteValue("Launch")) << "already gone";
    EXPECT_EQ(key->QueryString("Launch"), std::nullopt);
}

TEST_F(RegistryTest, CreatesTheFolderFileAndMissingParents) {
    std::filesystem::remove_all(sandbox.RegistryFolder());
    const std::string zone =
        "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\ZoneMap\\Domains\\"
        "example.com\\shop";
    const auto key = registry.CreateKey(RegistryRoot::CurrentUser, zone);
    ASSERT_TRUE(key);
    ASSERT_TRUE(key->SetDword("*", 2));
    EXPECT_TRUE(std::filesystem::exists(sandbox.RegistryFolder() / "HKEY_CURRENT_USER.reg"));
    EXPECT_TRUE(registry.OpenKey(RegistryRoot::CurrentUser, "Software\\Microsoft"));
    EXPECT_EQ(registry.OpenKey(RegistryRoot::CurrentUser, zone)->QueryDword("*"), 2u);

    // Creating it again changes nothing.
    const auto before = ReadFile(sandbox.RegistryFolder() / "HKEY_CURRENT_USER.reg");
    ASSERT_TRUE(registry.CreateKey(RegistryRoot::CurrentUser, zone));
    EXPECT_EQ(ReadFile(sandbox.RegistryFolder() / "HKEY_CURRENT_USER.reg"), before);
    EXPECT_FALSE(registry.CreateKey(RegistryRoot::CurrentUser, "a\\\\b"));
    EXPECT_FALSE(registry.CreateKey(RegistryRoot::CurrentUser, std::string(256, 'k')))
        << "key names are at most 255 characters";
}

TEST_F(RegistryTest, UnknownValueTypesSurviveARewrite) {
    const std::string stored =
        "Windows Registry Editor Version 5.00\n"
        "\n"
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Pexora\\ZentrovaConsole]\n"
        "\"Blob\"=hex:01,02,03,\\\n"
        "  04,05\n"
        "\"Path\"=hex(2):25,00,50,00,00,00\n"
        "\"Big\"=hex(b):01,00,00,00,00,00,00,00\n";
    WriteMachineFile(stored);
    const auto key = ConsoleKey();
    ASSERT_TRUE(key);
    EXPECT_EQ(key->EnumValue(0)->data, RegistryData(RegistryRawValue{"hex:01,02,03,\\\n  04,05"}));
    EXPECT_EQ(key->QueryString("Path"), std::nullopt);
    EXPECT_EQ(key->QueryDword("Big"), std::nullopt);

    ASSERT_TRUE(key->SetDword("LocalPort", 8001));
    EXPECT_EQ(ReadFile(MachineFile()), stored + "\"LocalPort\"=dword:00001f41\n");
}

TEST_F(RegistryTest, DefaultFolderFollowsTheEnvironment) {
    struct SavedEnv {
        std::string name;
        std::optional<std::string> value;
    };
    std::vector<SavedEnv> saved;
    for (const char* name : {"ZENTROVA_REGISTRY", "XDG_CONFIG_HOME", "HOME"}) {
        const char* value = getenv(name);
        saved.push_back({name, value ? std::optional<std::string>(value) : std::nullopt});
    }
    setenv("ZENTROVA_REGISTRY", "/srv/reg", 1);
    setenv("XDG_CONFIG_HOME", "/xdg", 1);
    setenv("HOME", "/home/cafe", 1);
    EXPECT_EQ(Registry::DefaultFolder(), "/srv/reg");
    unsetenv("ZENTROVA_REGISTRY");
    EXPECT_EQ(Registry::DefaultFolder(), "/xdg/zentrova/registry");
    setenv("XDG_CONFIG_HOME", "", 1);
    EXPECT_EQ(Registry::DefaultFolder(), "/home/cafe/.config/zentrova/registry");
    for (const auto& [name, value] : saved) {
        value ? setenv(name.c_str(), value->c_str(), 1) : unsetenv(name.c_str());
    }
}

// Files the registry did not write: values it understands are read, and the file is never
// rewritten, since that would lose what it did not understand.
class RegistryHostileFileTest : public RegistryTest {
protected:
    void ExpectLeftAlone(std::string_view stored) const {
        const auto key = registry.OpenKey(RegistryRoot::LocalMachine, "SOFTWARE");
        if (key) {
            EXPECT_FALSE(key->SetDword("Other", 1));
        }
        EXPECT_FALSE(registry.CreateKey(RegistryRoot::LocalMachine, "SOFTWARE\\New"));
        EXPECT_EQ(ReadFile(MachineFile()), std::string(stored));
    }
};

TEST_F(RegistryHostileFileTest, MalformedLinesAreSkipped) {
    const std::vector<std::string> brokenLines = {
        "garbage",
        "\"Unclosed\"=\"text",
        "\"BadEscape\"=\"a\\nb\"",
        "\"TooWide\"=dword:123456789",
        "\"NotHex\"=dword:12g4",
        "\"Trailing\"=\"x\" y",
        "\"NoType\"=12",
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\\\Empty]",
        "\"Long\"=\"" + std::string(kRegMaxLineBytes, 'x') + "\"",
    };
    for (const auto& broken : brokenLines) {
        SCOPED_TRACE(broken.substr(0, 40));
        const std::string stored = std::string(kConsoleFile) + broken +
                                   "\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\After]\n\"Good\"=dword:1\n";
        WriteMachineFile(stored);
        EXPECT_EQ(ConsoleKey()->QueryDword("LocalPort"), 8001u);
        EXPECT_EQ(
            registry.OpenKey(RegistryRoot::LocalMachine, "SOFTWARE\\After")->QueryDword("Good"),
            1u);
        ExpectLeftAlone(stored);
    }
}

TEST_F(RegistryHostileFileTest, ValuesAfterABrokenKeyLineStayOutOfThePreviousKey) {
    const std::string stored = std::string(kConsoleFile) +
                               "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Pexora\\ZentrovaConsole\n"
                               "\"RemotePort\"=dword:00001f44\n";
    WriteMachineFile(stored);
    EXPECT_EQ(ConsoleKey()->QueryDword("RemotePort"), std::nullopt);
    ExpectLeftAlone(stored);
}

TEST_F(RegistryHostileFileTest, AContinuationRunningOffTheEndIsNotRewritten) {
    // A rewrite would append the next key to the continued value.
    const std::string stored = std::string(kConsoleFile) + "\"Blob\"=hex:01,\\\n";
    WriteMachineFile(stored);
    EXPECT_EQ(ConsoleKey()->QueryDword("LocalPort"), 8001u);
    ExpectLeftAlone(stored);
}

TEST_F(RegistryHostileFileTest, BinaryFileReadsAsEmpty) {
    std::string stored(kConsoleFile);
    stored += std::string("\0\x01\xff\xfe", 4);
    WriteMachineFile(stored);
    EXPECT_FALSE(ConsoleKey());
    ExpectLeftAlone(stored);
}

TEST_F(RegistryHostileFileTest, HugeFileReadsAsEmpty) {
    std::string stored(kConsoleFile);
    stored += "; " + std::string(5 * 1024 * 1024, 'x') + "\n";
    WriteMachineFile(stored);
    EXPECT_FALSE(ConsoleKey());
    ExpectLeftAlone(stored);
}

TEST_F(RegistryHostileFileTest, UnreadableFileReadsAsEmpty) {
    std::filesystem::create_directories(MachineFile());
    EXPECT_FALSE(ConsoleKey());
    EXPECT_FALSE(CreateConsoleKey());
    EXPECT_TRUE(std::filesystem::is_directory(MachineFile()));
}

TEST_F(RegistryHostileFileTest, WritesThatCannotBeStoredAreRefused) {
    const auto key = CreateConsoleKey();
    ASSERT_TRUE(key);
    ASSERT_TRUE(key->SetDword("LocalPort", 8001));
    const auto before = ReadFile(MachineFile());
    EXPECT_FALSE(key->SetString("Injected", "x\"\n[HKEY_LOCAL_MACHINE\\Evil]\n\"A\"=\"b"));
    EXPECT_FALSE(key->SetString("Cr", "a\rb"));
    EXPECT_FALSE(key->SetString(std::string("Nul\0", 4), "a"));
    EXPECT_FALSE(key->SetString("Name\nBreak", "a"));
    EXPECT_FALSE(key->SetString("Long", std::string(kRegMaxLineBytes, 'x')));
    EXPECT_FALSE(key->SetDword(std::string(kRegMaxValueNameBytes + 1, 'n'), 1));
    EXPECT_EQ(ReadFile(MachineFile()), before);
}

TEST_F(RegistryHostileFileTest, AWriteThatWouldPassTheSizeCapIsRefused) {
    // 69 values of 60000 bytes stay under 4 MiB; a 70th would pass it and make the file unreadable.
    std::string stored(kConsoleFile);
    for (int i = 0; i < 69; ++i) {
        stored += "\"V" + std::to_string(i) + "\"=\"" + std::string(60000, 'v') + "\"\n";
    }
    ASSERT_LT(stored.size(), 4u * 1024 * 1024);
    WriteMachineFile(stored);
    const auto key = ConsoleKey();
    ASSERT_TRUE(key);
    EXPECT_FALSE(key->SetString("V69", std::string(60000, 'v')));
    EXPECT_EQ(ReadFile(MachineFile()), stored);
    EXPECT_TRUE(key->SetDword("RemotePort", 8004));
    EXPECT_EQ(key->QueryDword("LocalPort"), 8001u);
}

TEST_F(RegistryTest, FullAccessNeedsAWritableFile) {
    WriteMachineFile(kConsoleFile);
    // The folder is open to everyone, the file is not: only its owner may write it.
    std::filesystem::permissions(sandbox.Path(), std::filesystem::perms::all);
    std::filesystem::permissions(sandbox.RegistryFolder(), std::filesystem::perms::all);
    std::filesystem::permissions(MachineFile(), std::filesystem::perms::owner_read |
                                                    std::filesystem::perms::group_read |
                                                    std::filesystem::perms::others_read);
    if (geteuid() != 0) {
        EXPECT_FALSE(ConsoleKey());
        EXPECT_FALSE(CreateConsoleKey());
        return;
    }
    // Root writes any file, as an administrator opens any machine key: check as another user.
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (setgid(65534) != 0 || setuid(65534) != 0) {
            _exit(10);
        }
        if (!ReadFile(MachineFile())) {
            _exit(11);  // the file must be readable, so only writability decides
        }
        _exit(!ConsoleKey() && !CreateConsoleKey() ? 0 : 12);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "10: cannot change user, 11: file unreadable, 12: opened";
}

TEST_F(RegistryTest, AFolderThatIsAFileCannotBeWritten) {
    std::filesystem::remove_all(sandbox.RegistryFolder());
    sandbox.WriteFile("registry", "not a folder");
    EXPECT_FALSE(CreateConsoleKey());
    EXPECT_FALSE(ConsoleKey());
    EXPECT_EQ(ReadFile(sandbox.RegistryFolder()), "not a folder");
}

// Several writers at once, in threads and in processes: every value arrives, and a reader
// never sees a part of a file.
class RegistryConcurrencyTest : public RegistryTest {
protected:
    static constexpr int kWriters = 4;
    static constexpr int kValuesEach = 25;

    static bool WriteValues(const RegistryKey& key, int writer) {
        for (int i = 0; i < kValuesEach; ++i) {
            if (!key.SetDword("W" + std::to_string(writer) + "_" + std::to_string(i),
                              static_cast<std::uint32_t>(writer * 1000 + i))) {
                return false;
            }
        }
        return true;
    }

    void ExpectAllValues(const RegistryKey& key) const {
        const auto document = RegDocument::Parse(ReadFile(MachineFile()).value_or(""));
        EXPECT_TRUE(document.Faithful());
        for (int writer = 0; writer < kWriters; ++writer) {
            for (int i = 0; i < kValuesEach; ++i) {
                EXPECT_EQ(key.QueryDword("W" + std::to_string(writer) + "_" + std::to_string(i)),
                          static_cast<std::uint32_t>(writer * 1000 + i));
            }
        }
    }

    bool FileParsesWhole() const {
        const auto text = ReadFile(MachineFile());
        return text && RegDocument::Parse(*text).Faithful() &&
               RegDocument::Parse(*text).FindKey("HKEY_LOCAL_MACHINE\\" +
                                                 std::string(kConsoleKey)) != nullptr;
    }

    // Waits a bounded time for a child; kills it when the time is up.
    static int WaitForChild(pid_t child) {
        int status = -1;
        const bool ended = test::WaitFor([&] { return waitpid(child, &status, WNOHANG) == child; },
                                         std::chrono::seconds(8));
        if (!ended) {
            kill(child, SIGKILL);
            waitpid(child, &status, 0);
            ADD_FAILURE() << "a writer process did not end in time";
        }
        return status;
    }
};

TEST_F(RegistryConcurrencyTest, ThreadsWritingAtOnceLoseNothing) {
    const auto key = CreateConsoleKey();
    ASSERT_TRUE(key);
    std::vector<std::thread> writers;
    std::atomic<int> failures = 0;
    for (int writer = 0; writer < kWriters; ++writer) {
        writers.emplace_back([&, writer] { failures += WriteValues(*key, writer) ? 0 : 1; });
    }
    int halfFiles = 0;
    for (int read = 0; read < 50; ++read) {
        halfFiles += FileParsesWhole() ? 0 : 1;
    }
    for (auto& writer : writers) {
        writer.join();
    }
    EXPECT_EQ(failures, 0);
    EXPECT_EQ(halfFiles, 0);
    ExpectAllValues(*key);
}

TEST_F(RegistryConcurrencyTest, ProcessesWritingAtOnceLoseNothing) {
    const auto key = CreateConsoleKey();
    ASSERT_TRUE(key);
    std::vector<pid_t> children;
    for (int writer = 0; writer < kWriters; ++writer) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            _exit(WriteValues(*key, writer) ? 0 : 1);
        }
        children.push_back(child);
    }
    int halfFiles = 0;
    for (int read = 0; read < 50; ++read) {
        halfFiles += FileParsesWhole() ? 0 : 1;
    }
    for (const pid_t child : children) {
        const int status = WaitForChild(child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "a writer failed";
    }
    EXPECT_EQ(halfFiles, 0);
    ExpectAllValues(*key);
}

TEST_F(RegistryConcurrencyTest, AWriterKilledMidWriteNeverLeavesHalfAFile) {
    // A file of some size, so that a kill often lands inside a write.
    const std::string earlier(200, 'e');
    std::string stored = "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Pexora\\ZentrovaConsole]\n";
    for (int i = 0; i < 100; ++i) {
        stored += "\"Earlier" + std::to_string(i) + "\"=\"" + earlier + "\"\n";
    }
    WriteMachineFile(stored);
    const auto key = ConsoleKey();
    ASSERT_TRUE(key);
    std::mt19937 random(12345);
    std::uniform_int_distribution<int> delayMicroseconds(0, 20000);
    for (int round = 0; round < 20; ++round) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            for (std::uint32_t i = 0;; ++i) {
                key->SetDword("Counter", i);
                key->SetString("Churn", std::string(1000 + i % 500, 'c'));
            }
        }
        std::this_thread::sleep_for(std::chrono::microseconds(delayMicroseconds(random)));
        kill(child, SIGKILL);
        waitpid(child, nullptr, 0);

        const auto document = RegDocument::Parse(ReadFile(MachineFile()).value_or(""));
        ASSERT_TRUE(document.Faithful()) << "round " << round;
        const auto full = "HKEY_LOCAL_MACHINE\\" + std::string(kConsoleKey);
        for (int i = 0; i < 100; ++i) {
            const auto* value = document.FindValue(full, "Earlier" + std::to_string(i));
            ASSERT_TRUE(value && value->data == RegistryData(earlier)) << "round " << round;
        }
    }
    // The next writer clears what killed writers left behind.
    ASSERT_TRUE(key->SetDword("After", 1));
    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(sandbox.RegistryFolder())) {
        files.push_back(entry.path().filename().string());
    }
    std::sort(files.begin(), files.end());
    EXPECT_EQ(files,
              (std::vector<std::string>{"HKEY_LOCAL_MACHINE.reg", "HKEY_LOCAL_MACHINE.reg.lock"}));
}

}  // namespace
}  // namespace zn
