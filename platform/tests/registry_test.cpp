#include "platform/registry.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace qd40::platform {
namespace {

class RegistryTest : public ::testing::Test {
protected:
    void SetUp() override {
        root_ = std::filesystem::temp_directory_path() /
                ("qd40-reg-" + std::to_string(::getpid()) + "-" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(root_);
    }
    void TearDown() override { std::filesystem::remove_all(root_); }
    std::filesystem::path root_;
};

TEST_F(RegistryTest, TypedValuesRoundTripAndKeepTheirType) {
    RegistryStore reg(root_);
    const std::string key = "Software\\Ovix Servers\\OvixQd40Svr\\Communication";
    EXPECT_FALSE(reg.getDword(Hive::LocalMachine, key, "BaudRate1"));
    ASSERT_TRUE(reg.setDword(Hive::LocalMachine, key, "BaudRate1", 19200));
    ASSERT_TRUE(reg.setString(Hive::LocalMachine, key, "Device1", "/dev/ttyUSB0"));
    ASSERT_TRUE(reg.setString(Hive::LocalMachine, key, "", "default value"));

    RegistryStore again(root_);  // nothing cached: a second store sees the values
    EXPECT_EQ(again.getDword(Hive::LocalMachine, key, "BaudRate1"), 19200u);
    EXPECT_EQ(again.getString(Hive::LocalMachine, key, "Device1"), "/dev/ttyUSB0");
    EXPECT_EQ(again.getString(Hive::LocalMachine, key, ""), "default value");
    EXPECT_FALSE(again.getString(Hive::LocalMachine, key, "BaudRate1"))
        << "a DWORD is not a string";
    EXPECT_FALSE(again.getDword(Hive::CurrentUser, key, "BaudRate1")) << "hives are separate";
}

TEST_F(RegistryTest, KeysAndValuesAreListedAndDeleted) {
    RegistryStore reg(root_);
    ASSERT_TRUE(reg.setDword(Hive::ClassesRoot, "CLSID\\{A}\\LocalServer32", "", 0));
    ASSERT_TRUE(reg.createKey(Hive::ClassesRoot, "CLSID\\{A}\\Programmable"));
    ASSERT_TRUE(reg.setString(Hive::ClassesRoot, "CLSID\\{A}", "Name", "x"));
    EXPECT_TRUE(reg.keyExists(Hive::ClassesRoot, "CLSID\\{A}\\Programmable"));
    EXPECT_EQ(reg.subKeys(Hive::ClassesRoot, "CLSID\\{A}"),
              (std::vector<std::string>{"LocalServer32", "Programmable"}));
    EXPECT_EQ(reg.valueNames(Hive::ClassesRoot, "CLSID\\{A}"), std::vector<std::string>{"Name"});

    EXPECT_TRUE(reg.deleteValue(Hive::ClassesRoot, "CLSID\\{A}", "Name"));
    EXPECT_FALSE(reg.deleteValue(Hive::ClassesRoot, "CLSID\\{A}", "Name"));
    EXPECT_TRUE(reg.deleteKey(Hive::ClassesRoot, "CLSID\\{A}"));
    EXPECT_FALSE(reg.keyExists(Hive::ClassesRoot, "CLSID\\{A}\\Programmable"));
    EXPECT_FALSE(reg.deleteKey(Hive::ClassesRoot, "CLSID\\{A}"));
}

TEST_F(RegistryTest, TheHiveItselfIsNeverDeleted) {
    RegistryStore reg(root_);
    ASSERT_TRUE(reg.setDword(Hive::CurrentUser, "Software\\Ovix Applications", "Kept", 1));
    for (const char* root : {"", "\\", "/"})
        EXPECT_FALSE(reg.deleteKey(Hive::CurrentUser, root));
    EXPECT_EQ(reg.getDword(Hive::CurrentUser, "Software\\Ovix Applications", "Kept"), 1u);
}

TEST_F(RegistryTest, RootComesFromTheEnvironment) {
    ::setenv("OVIX_REGISTRY", root_.c_str(), 1);
    EXPECT_EQ(RegistryStore::defaultRoot(), root_);
    EXPECT_EQ(RegistryStore().root(), root_);
}

}  // namespace
}  // namespace qd40::platform
