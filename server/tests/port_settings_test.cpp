#include "server/port_settings.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

namespace qd40::server {
namespace {

using platform::Hive;

class PortSettingsTest : public ::testing::Test {
protected:
    void SetUp() override {
        root = std::filesystem::temp_directory_path() /
               ("qd40-ports-" + std::to_string(::getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(root);
    }
    void TearDown() override { std::filesystem::remove_all(root); }
    std::filesystem::path root;
};

TEST_F(PortSettingsTest, FreshStoreGetsEveryDefaultWritten) {
    platform::RegistryStore store(root);
    PortSettingsTable t;
    ASSERT_TRUE(t.load(store));
    EXPECT_EQ(store.getDword(Hive::LocalMachine, kCommunicationKey, "Retries"), 5u);
    EXPECT_EQ(store.getDword(Hive::LocalMachine, kCommunicationKey, "RsTimeOut"), 1000u);
    EXPECT_EQ(store.getDword(Hive::LocalMachine, kCommunicationKey, "IpTimeOut"), 60000u);
    for (int n = 1; n <= kPortCount; ++n) {
        const std::string num = std::to_string(n);
        EXPECT_EQ(store.getDword(Hive::LocalMachine, kCommunicationKey, "Com" + num), 0u);
        EXPECT_EQ(store.getDword(Hive::LocalMachine, kCommunicationKey, "Rate" + num), 9600u);
        EXPECT_EQ(store.getDword(Hive::LocalMachine, kCommunicationKey, "HalfDuplex" + num), 2u);
        EXPECT_EQ(store.getDword(Hive::LocalMachine, kCommunicationKey, "HalfDuplexPause" + num),
                  0u);
        EXPECT_EQ(store.getDword(Hive::LocalMachine, kCommunicationKey, "EofCharQty" + num), 4u);
        EXPECT_EQ(t.port(n).available, 0);
        EXPECT_EQ(t.port(n).device, "/dev/ttyS" + std::to_string(n - 1));
    }
    EXPECT_EQ(store.valueNames(Hive::LocalMachine, kCommunicationKey).size(), 3u + 5 * 8);
}

TEST_F(PortSettingsTest, StoredValuesAreLoadedAsTheWindowShowsThem) {
    platform::RegistryStore store(root);
    store.setDword(Hive::LocalMachine, kCommunicationKey, "Rate3", 4800);
    store.setDword(Hive::LocalMachine, kCommunicationKey, "Rate4", 57600);
    store.setDword(Hive::LocalMachine, kCommunicationKey, "Com5", 7);
    store.setDword(Hive::LocalMachine, kCommunicationKey, "Retries", 0x102);
    store.setDword(Hive::LocalMachine, kCommunicationKey, "HalfDuplexPause2", 0x10005);
    store.setDword(Hive::LocalMachine, kCommunicationKey, "EofCharQty2", 300);
    ASSERT_TRUE(storeDevice(store, 6, "/dev/ttyUSB0"));
    EXPECT_FALSE(storeDevice(store, 9, "/dev/ttyUSB0"));
    PortSettingsTable t;
    ASSERT_TRUE(t.load(store));
    EXPECT_EQ(t.port(3).baudRate, 9600u);
    EXPECT_EQ(store.getDword(Hive::LocalMachine, kCommunicationKey, "Rate3"), 4800u)
        << "the store keeps its value";
    EXPECT_EQ(t.port(4).baudRate, 57600u);
    EXPECT_EQ(t.port(5).available, 1);
    EXPECT_EQ(t.retries, 2);
    EXPECT_EQ(t.port(2).halfDuplexPause, 5);
    EXPECT_EQ(t.port(2).eofCharQty, 44);
    EXPECT_EQ(t.port(6).device, "/dev/ttyUSB0");
}

}  // namespace
}  // namespace qd40::server
