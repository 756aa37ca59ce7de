#include "app/core/settings/recent_file_list.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

namespace qd40::settings {
namespace {

TEST(RecentFileListTest, KeepsTheFourMostRecentAndRoundTripsThroughTheProfile) {
    const auto root =
        std::filesystem::temp_directory_path() / ("qd40-recent-" + std::to_string(::getpid()));
    std::filesystem::remove_all(root);
    UserProfileStore store{platform::RegistryStore(root)};

    RecentFileList list;
    for (const char* p : {"/d/a.dqx", "/d/b.dqx", "/d/c.dqx", "/d/d.dqx", "/d/e.dqx", "/d/c.dqx"})
        list.add(p);
    const std::vector<std::string> expected{"/d/c.dqx", "/d/e.dqx", "/d/d.dqx", "/d/b.dqx"};
    EXPECT_EQ(list.entries(), expected);
    ASSERT_TRUE(list.save(store));
    EXPECT_EQ(store.readString("Recent File List", "File1", ""), "/d/c.dqx");

    list.remove("/d/e.dqx");
    list.remove("/d/b.dqx");
    ASSERT_TRUE(list.save(store));
    RecentFileList again;
    again.load(store);
    EXPECT_EQ(again.entries(), (std::vector<std::string>{"/d/c.dqx", "/d/d.dqx"}));
    EXPECT_EQ(store.readString("Recent File List", "File3", "none"), "none");
    std::filesystem::remove_all(root);
}

}  // namespace
}  // namespace qd40::settings
