#include "app/core/settings/settings_store.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

namespace qd40::settings {
namespace {

using platform::Hive;
using platform::RegistryStore;

class SettingsStoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        root_ = std::filesystem::temp_directory_path() /
                ("qd40-settings-" + std::to_string(::getpid()) + "-" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(root_);
    }
    void TearDown() override { std::filesystem::remove_all(root_); }
    std::filesystem::path root_;
};

constexpr const char* kMachineKey = "Software\\Ovix Applications\\Tavik\\Settings";

TEST_F(SettingsStoreTest, ReadingAMissingSectionCreatesItAndGivesTheDefaults) {
    CLocalMachineReg machine{RegistryStore(root_)};
    RegistryStore reg(root_);
    EXPECT_FALSE(reg.keyExists(Hive::LocalMachine, kMachineKey));
    EXPECT_EQ(machine.readInt("Settings", "PwdDaysValid", 30), 30);
    EXPECT_TRUE(reg.keyExists(Hive::LocalMachine, kMachineKey));
    EXPECT_EQ(machine.readString("Settings", "Name", "none"), "none");
    EXPECT_FALSE(reg.keyExists(Hive::CurrentUser, kMachineKey))
        << "the machine store stays in HKLM";
}

TEST_F(SettingsStoreTest, ValuesRoundTripWithoutCachingInTheirOwnHive) {
    CLocalMachineReg machine{RegistryStore(root_)};
    UserProfileStore user{RegistryStore(root_)};
    ASSERT_TRUE(machine.writeInt("Groups1", "Rights", -1));
    ASSERT_TRUE(machine.writeString("Users", "User1", "a,b c"));
    ASSERT_TRUE(user.writeInt("Options", "EasyProg", 0));

    // A second store over the same root sees the values at once.
    CLocalMachineReg other{RegistryStore(root_)};
    EXPECT_EQ(other.readInt("Groups1", "Rights", 5), -1);
    EXPECT_EQ(other.readString("Users", "User1", ""), "a,b c");
    EXPECT_EQ(RegistryStore(root_).getDword(
                  Hive::LocalMachine, "Software\\Ovix Applications\\Tavik\\Groups1", "Rights"),
              0xFFFFFFFFu);
    EXPECT_EQ(UserProfileStore(RegistryStore(root_)).readInt("Options", "EasyProg", 1), 0);
    EXPECT_EQ(other.readInt("Options", "EasyProg", 1), 1) << "per-user values are not machine-wide";
    EXPECT_EQ(other.readInt("Users", "User1", 7), 7) << "a string is not an integer";
    EXPECT_EQ(other.readString("Groups1", "Rights", "x"), "x") << "an integer is not a string";
}

TEST_F(SettingsStoreTest, NoValueDeletesTheEntryAndNoEntryDeletesTheSection) {
    CLocalMachineReg machine{RegistryStore(root_)};
    ASSERT_TRUE(machine.writeString("Users", "User1", "one"));
    ASSERT_TRUE(machine.writeString("Users", "User2", "two"));
    ASSERT_TRUE(machine.writeInt("Users", "Qty", 2));
    ASSERT_TRUE(machine.writeInt("Settings", "Retries", 5));

    EXPECT_TRUE(machine.writeString("Users", "User2", std::nullopt));
    EXPECT_EQ(machine.readString("Users", "User2", "gone"), "gone");
    EXPECT_EQ(machine.readString("Users", "User1", ""), "one");

    EXPECT_FALSE(machine.writeString("", std::nullopt, std::nullopt));
    EXPECT_EQ(machine.readString("Users", "User1", ""), "one");

    EXPECT_TRUE(machine.writeString("Users", std::nullopt, std::nullopt));
    EXPECT_EQ(machine.readString("Users", "User1", "gone"), "gone");
    EXPECT_EQ(machine.readInt("Users", "Qty", -3), -3);
    EXPECT_EQ(machine.readInt("Settings", "Retries", 3), 5) << "other sections are kept";
}

TEST_F(SettingsStoreTest, AStoreThatCannotBeOpenedGivesDefaultsAndFailsWrites) {
    std::filesystem::create_directories(root_);
    std::ofstream(root_ / "file") << "not a folder";
    CLocalMachineReg machine{RegistryStore(root_ / "file" / "registry")};
    EXPECT_FALSE(machine.writeInt("Settings", "Retries", 5));
    EXPECT_EQ(machine.readInt("Settings", "Retries", 3), 3);
    EXPECT_EQ(machine.readString("Settings", "X", "d"), "d");

    CLocalMachineReg unnamed{RegistryStore(root_), "", ""};
    EXPECT_FALSE(unnamed.writeInt("Settings", "Retries", 5));
    EXPECT_EQ(unnamed.readInt("Settings", "Retries", 3), 3);
}

}  // namespace
}  // namespace qd40::settings
