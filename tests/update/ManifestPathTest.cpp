#include <gtest/gtest.h>

#include "LogCapture.h"
#include "Sandbox.h"
#include "update/ManifestPath.h"

namespace zn {
namespace {

class ManifestPathTest : public ::testing::Test {
protected:
    std::filesystem::path Folder() const { return m_sandbox.Path() / "Content"; }
    test::Sandbox m_sandbox;
};

TEST_F(ManifestPathTest, WindowsSeparatorsNameFilesInsideTheFolder) {
    EXPECT_EQ(ResolveInsideFolder(Folder(), "skin\\banner.txt"), Folder() / "skin/banner.txt");
    EXPECT_EQ(ResolveInsideFolder(Folder(), "a/./b..c"), Folder() / "a/./b..c");
    // A Windows seat joins "Content\\" and the path, so a leading separator stays inside.
    EXPECT_EQ(ResolveInsideFolder(Folder(), "\\skin\\a.css"), Folder() / "skin/a.css");
    EXPECT_EQ(ResolveInsideFolder(Folder(), "//etc/passwd"), Folder() / "etc/passwd");
}

TEST_F(ManifestPathTest, DrivesAndClimbingPathsAreRefused) {
    test::LogCapture log;
    for (const char* path : {"C:\\Windows\\x.dll", "c:x", "\\..\\x", "..\\..\\etc\\passwd",
                             "a/../../x", "a\\..\\..\\x", "..", "skin/../../Content2/x"}) {
        EXPECT_FALSE(ResolveInsideFolder(Folder(), path)) << path;
    }
    EXPECT_TRUE(log.Contains({"Refused the manifest path", "..\\..\\etc\\passwd"}));
}

TEST_F(ManifestPathTest, SymbolicLinksLeadingOutAreRefused) {
    m_sandbox.WriteFile("outside/secret.txt", "secret");
    std::filesystem::create_directories(Folder());
    std::filesystem::create_directory_symlink(m_sandbox.Path() / "outside", Folder() / "skin");
    std::filesystem::create_symlink(m_sandbox.Path() / "outside/secret.txt", Folder() / "link.txt");
    std::filesystem::create_symlink(Folder() / "real.txt", Folder() / "inner.txt");
    EXPECT_FALSE(ResolveInsideFolder(Folder(), "skin\\banner.txt"));
    EXPECT_FALSE(ResolveInsideFolder(Folder(), "skin\\new\\deeper.txt"));
    EXPECT_FALSE(ResolveInsideFolder(Folder(), "link.txt"));
    EXPECT_TRUE(ResolveInsideFolder(Folder(), "inner.txt"));
}

}  // namespace
}  // namespace zn
