#include "platform/ReplacementFile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <thread>
#include <vector>

#include "Sandbox.h"

namespace zn {
namespace {

using test::ReadFile;
using test::Sandbox;

constexpr uid_t kNobody = 65534;

std::vector<std::string> HiddenFilesIn(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
        if (entry.path().filename().string().starts_with('.')) {
            names.push_back(entry.path().filename().string());
        }
    }
    return names;
}

TEST(ReplacementFileTest, KilledWritersLeaveNothingThatPilesUpAndLiveOnesAreKept) {
    Sandbox sandbox;
    const auto file = sandbox.WriteFile("Content/skin/a.css", "old");
    // What a killed writer of this and of an earlier release left.
    sandbox.WriteFile("Content/skin/.a.css.part", "half");
    sandbox.WriteFile("Content/skin/.b.css.part-Xy12Zq", "half");
    sandbox.WriteFile("Content/.c.dll.part", "half");

    ASSERT_TRUE(ReplaceFileSafely(file, "new"));
    EXPECT_EQ(ReadFile(file), "new");
    EXPECT_EQ(HiddenFilesIn(sandbox.Path() / "Content/skin"),
              std::vector<std::string>{".b.css.part-Xy12Zq"});

    auto live = ReplacementFile::Create(sandbox.Path() / "Content/d.dll");
    ASSERT_TRUE(live);
    RemoveStalePartialFiles(sandbox.Path() / "Content");
    EXPECT_EQ(HiddenFilesIn(sandbox.Path() / "Content"), std::vector<std::string>{".d.dll.part"});
    ASSERT_TRUE(live->Write("whole"));
    EXPECT_EQ(live->Commit(0644), 0);
    EXPECT_EQ(ReadFile(sandbox.Path() / "Content/d.dll"), "whole");
}

TEST(ReplacementFileTest, APlantedPartialFileIsNeverWrittenThrough) {
    Sandbox sandbox;
    const auto victim = sandbox.WriteFile("victim", "keep");
    const auto file = sandbox.WriteFile("seat/Main.exe", "old");
    std::filesystem::create_symlink(victim, PartialFileOf(file));
    ASSERT_TRUE(ReplaceFileSafely(file, "new"));
    EXPECT_EQ(ReadFile(victim), "keep");
    EXPECT_EQ(ReadFile(file), "new");

    // A file others may write could be changed by them after our write.
    const auto planted = sandbox.WriteFile("seat/.Main.exe.part", "");
    ASSERT_EQ(::chmod(planted.c_str(), 0666), 0);
    auto replacement = ReplacementFile::Create(file);
    ASSERT_TRUE(replacement);
    struct stat info {};
    ASSERT_EQ(::fstat(replacement->Descriptor(), &info), 0);
    EXPECT_EQ(info.st_uid, ::geteuid());
    EXPECT_EQ(info.st_mode & 077, 0u);
}

TEST(ReplacementFileTest, WritersOfOneFileNeverMixTheirContent) {
    Sandbox sandbox;
    const auto file = sandbox.WriteFile("Registry.reg", "old");
    const std::string first(300000, 'a');
    const std::string second(200000, 'b');
    std::vector<std::thread> writers;
    // Four writers: each often finds that another one took the partial file's name on.
    for (const std::string* content : {&first, &second, &first, &second}) {
        writers.emplace_back([&file, content] {
            for (int i = 0; i < 40; ++i) {
                EXPECT_TRUE(ReplaceFileSafely(file, *content));
            }
        });
    }
    for (int i = 0; i < 200; ++i) {
        const auto seen = ReadFile(file);
        ASSERT_TRUE(seen);
        EXPECT_TRUE(*seen == "old" || *seen == first || *seen == second) << seen->size();
    }
    for (auto& writer : writers) {
        writer.join();
    }
    EXPECT_TRUE(HiddenFilesIn(sandbox.Path()).empty());
}

// 0 when the file was written in place and a new file was refused with its name.
int WriteWhereTheFolderRefusesNewFiles(const std::filesystem::path& file,
                                       const std::filesystem::path& missing) {
    const auto inPlace = ReplaceFileSafely(file, "[PROFILE_QZ]\r\nnew=2\r\n");
    const auto refused = ReplaceFileSafely(missing, "x");
    if (inPlace.outcome != FileReplaceResult::Outcome::WrittenInPlace) {
        return 11;
    }
    return refused || refused.failure.find(missing.string()) == std::string::npos ? 12 : 0;
}

TEST(ReplacementFileTest, AFolderThatRefusesNewFilesIsWrittenInPlace) {
    Sandbox sandbox;
    const auto folder = sandbox.Path() / "shut";
    const auto file = sandbox.WriteFile("shut/gameclient.dat", "[PROFILE_QZ]\r\nold=1\r\n");
    const auto missing = folder / "new.dat";
    ASSERT_EQ(::chmod(folder.c_str(), 0555), 0);
    if (::geteuid() != 0) {
        EXPECT_EQ(WriteWhereTheFolderRefusesNewFiles(file, missing), 0);
    } else {
        // Root may create files anywhere: the folder refuses only another account.
        std::filesystem::permissions(sandbox.Path(), std::filesystem::perms::all);
        ASSERT_EQ(::chown(file.c_str(), kNobody, kNobody), 0);
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            if (::setgid(kNobody) != 0 || ::setuid(kNobody) != 0) {
                _exit(10);
            }
            _exit(WriteWhereTheFolderRefusesNewFiles(file, missing));
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 0)
            << "10: cannot change user, 11: not in place, 12: no failure named";
    }
    EXPECT_EQ(ReadFile(file), "[PROFILE_QZ]\r\nnew=2\r\n");
    EXPECT_FALSE(std::filesystem::exists(missing));
}

}  // namespace
}  // namespace zn
