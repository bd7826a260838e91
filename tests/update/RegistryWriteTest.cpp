#include <gtest/gtest.h>

#include "Sandbox.h"
#include "update/RegistryWrite.h"

namespace zn {
namespace {

class RegistryWriteTest : public ::testing::Test {
protected:
    std::optional<RegistryKey> Key(RegistryRoot root, std::string_view path) const {
        return m_registry.OpenKey(root, path);
    }
    test::Sandbox m_sandbox;
    Registry m_registry{m_sandbox.RegistryFolder()};
};

TEST_F(RegistryWriteTest, RootedPathsWriteTextOrLeadingDigits) {
    EXPECT_EQ(
        WriteRegistryValue(m_registry, "HKEY_CURRENT_USER\\Software\\Zentrova", "Skin", "blue", ""),
        0);
    EXPECT_EQ(WriteRegistryValue(m_registry, "HKEY_CURRENT_USER\\Software\\Zentrova", "Size",
                                 "12abc", "REG_DWORD"),
              0);
    EXPECT_EQ(
        WriteRegistryValue(m_registry, "HKEY_USERS\\.DEFAULT\\Zentrova", "", "x", "reg_dword"), 0);
    const auto key = Key(RegistryRoot::CurrentUser, "Software\\Zentrova");
    ASSERT_TRUE(key);
    EXPECT_EQ(key->QueryString("Skin"), "blue");
    EXPECT_EQ(key->QueryDword("Size"), 12u);
    EXPECT_EQ(Key(RegistryRoot::Users, ".DEFAULT\\Zentrova")->QueryString(""), "x");
}

TEST_F(RegistryWriteTest, OtherPathsLandBelowTheVendorKeyOnlyWhenItExists) {
    EXPECT_EQ(WriteRegistryValue(m_registry, "SOFTWARE\\Other", "A", "1", "REG_DWORD"),
              kRegistryKeyMissing);
    EXPECT_FALSE(Key(RegistryRoot::LocalMachine, "SOFTWARE\\Other"));
    EXPECT_FALSE(Key(RegistryRoot::LocalMachine, "SOFTWARE\\Pexora\\SOFTWARE\\Other"));

    ASSERT_TRUE(m_registry.CreateKey(RegistryRoot::LocalMachine, "SOFTWARE\\Pexora"));
    EXPECT_EQ(WriteRegistryValue(m_registry, "SOFTWARE\\Other", "A", "1", "REG_DWORD"), 0);
    EXPECT_EQ(WriteRegistryValue(m_registry, "HKEY_CURRENT_USERX\\Y", "B", "b", ""), 0);
    EXPECT_EQ(Key(RegistryRoot::LocalMachine, "SOFTWARE\\Pexora\\SOFTWARE\\Other")->QueryDword("A"),
              1u);
    EXPECT_EQ(Key(RegistryRoot::LocalMachine, "SOFTWARE\\Pexora\\HKEY_CURRENT_USERX\\Y")
                  ->QueryString("B"),
              "b");
}

TEST_F(RegistryWriteTest, AValueTheFileCannotHoldIsRefused) {
    EXPECT_EQ(WriteRegistryValue(m_registry, "HKEY_CURRENT_USER\\Software\\Zentrova", "Bad",
                                 "line\nbreak", ""),
              kRegistryDenied);
}

}  // namespace
}  // namespace zn
