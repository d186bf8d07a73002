#include "lib/posix/UniqueFileDescriptor.hpp"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

namespace zd {
namespace {

bool IsOpen(int fd)
{
    return ::fcntl(fd, F_GETFD) != -1;
}

int NewDescriptor()
{
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0)
        return -1;
    ::close(ends[1]);
    return ends[0];
}

TEST(UniqueFileDescriptor, ClosesOnceWhateverPathItsOwnershipTakes)
{
    const int fd = NewDescriptor();
    ASSERT_GE(fd, 0);
    {
        UniqueFileDescriptor first(fd);
        UniqueFileDescriptor second(std::move(first));
        EXPECT_FALSE(first.IsDefined());
        EXPECT_EQ(second.Get(), fd);
        UniqueFileDescriptor third;
        third = std::move(second);
        EXPECT_EQ(third.Get(), fd);
        EXPECT_TRUE(IsOpen(fd));
    }
    EXPECT_FALSE(IsOpen(fd));

    const int released = NewDescriptor();
    {
        UniqueFileDescriptor owner(released);
        EXPECT_EQ(owner.Release(), released);
    }
    EXPECT_TRUE(IsOpen(released));

    UniqueFileDescriptor replaced(released);
    const int other = NewDescriptor();
    replaced.Reset(other);
    EXPECT_FALSE(IsOpen(released));
    EXPECT_TRUE(replaced.Close());
    EXPECT_FALSE(IsOpen(other));
    EXPECT_TRUE(replaced.Close()); // none held: nothing to report
}

} // namespace
} // namespace zd
