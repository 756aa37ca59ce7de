// A descriptor has one owner: moving hands it over, and it is closed exactly
// once, by whoever holds it last.
#include "common/unique_fd.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <type_traits>
#include <vector>

namespace qd40 {
namespace {

bool isOpen(int fd) {
    return ::fcntl(fd, F_GETFD) != -1;
}

TEST(UniqueFd, MovingHandsTheDescriptorOverAndTheLastOwnerClosesIt) {
    static_assert(!std::is_copy_constructible_v<UniqueFd> && !std::is_copy_assignable_v<UniqueFd>);
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    ::close(fds[1]);
    const int raw = fds[0];
    {
        UniqueFd a(raw);
        UniqueFd b(std::move(a));
        EXPECT_FALSE(a.valid());
        EXPECT_EQ(b.get(), raw);
        std::vector<UniqueFd> owners;
        owners.push_back(std::move(b));
        owners.reserve(16);  // moves the element again
        EXPECT_TRUE(isOpen(raw));
    }
    EXPECT_FALSE(isOpen(raw));
}

TEST(UniqueFd, ResetAndAssignmentCloseTheOldDescriptorReleaseDoesNot) {
    int p[2], q[2];
    ASSERT_EQ(::pipe(p), 0);
    ASSERT_EQ(::pipe(q), 0);
    UniqueFd a(p[0]), b(q[0]);
    a = std::move(b);  // p[0] closed, q[0] now a's
    EXPECT_FALSE(isOpen(p[0]));
    EXPECT_EQ(a.get(), q[0]);
    a.reset(p[1]);  // q[0] closed
    EXPECT_FALSE(isOpen(q[0]));
    const int kept = a.release();
    EXPECT_EQ(kept, p[1]);
    EXPECT_TRUE(isOpen(kept));
    ::close(kept);
    ::close(q[1]);
}

}  // namespace
}  // namespace qd40
