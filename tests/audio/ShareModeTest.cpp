#include "TempInstallation.hpp"

#include "audio/TVRNFileStream.hpp"
#include "common/Error.hpp"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <optional>

namespace zd {
namespace {

using testing::TempInstallation;

constexpr const char* kName = "C:\\Cadmora\\Playlists\\0101.plg";

struct ShareCase {
    const char* label;
    std::uint16_t held;
    std::uint16_t requested;
    bool opens;
};

const ShareCase kCases[] = {
    {"no sharing refuses a writer", kOpenReadWrite | kShareExclusive, kOpenReadWrite | kShareDenyNone, false},
    {"no sharing refuses a reader", kOpenReadWrite | kShareExclusive, kOpenRead | kShareDenyNone, false},
    {"no sharing refuses a second locker", kOpenReadWrite | kShareExclusive, kOpenReadWrite | kShareExclusive, false},
    {"compat read shares nothing", kOpenRead | kShareCompat, kOpenRead | kShareDenyNone, false},
    {"deny readers shares nothing", kOpenReadWrite | kShareDenyRead, kOpenRead | kShareDenyNone, false},
    {"create shares nothing", kModeCreate, kOpenRead | kShareDenyNone, false},
    {"deny writers admits a reader", kOpenRead | kShareDenyWrite, kOpenRead | kShareDenyNone, true},
    {"deny writers admits a reader denying writers", kOpenRead | kShareDenyWrite, kOpenRead | kShareDenyWrite, true},
    {"deny writers refuses a writer", kOpenRead | kShareDenyWrite, kOpenWrite | kShareDenyNone, false},
    {"deny writers refuses a reader-writer", kOpenRead | kShareDenyWrite, kOpenReadWrite | kShareDenyNone, false},
    {"deny writers refuses one sharing nothing", kOpenRead | kShareDenyWrite, kOpenRead | kShareExclusive, false},
    {"deny writers refuses create", kOpenRead | kShareDenyWrite, kModeCreate, false},
    {"deny nothing: writers coexist", kOpenReadWrite | kShareDenyNone, kOpenReadWrite | kShareDenyNone, true},
    {"deny nothing: reader and writer", kOpenRead | kShareDenyNone, kOpenReadWrite | kShareDenyNone, true},
    {"deny nothing: readers coexist", kOpenRead | kShareDenyNone, kOpenRead | kShareDenyNone, true},
};

// Tries the open; on refusal checks the message names the share conflict.
bool Opens(std::uint16_t mode, const char* label)
{
    try {
        TVRNFileStream s(kName, mode);
        return true;
    } catch (const FileError& error) {
        EXPECT_NE(std::string(error.what()).find(kFileInUseText), std::string::npos) << label << ": " << error.what();
        return false;
    }
}

class ShareModes : public ::testing::Test {
protected:
    void SetUp() override { path_ = inst_.Put("Cadmora/Playlists/0101.plg", "B,a\r\nline\r\n"); }
    TempInstallation inst_;
    std::filesystem::path path_;
};

TEST_F(ShareModes, BetweenHandlesOfThisProcess)
{
    for (const auto& c : kCases) {
        std::optional<TVRNFileStream> held;
        held.emplace(kName, c.held);
        EXPECT_EQ(Opens(c.requested, c.label), c.opens) << c.label;
        held.reset();
        EXPECT_TRUE(Opens(c.requested, c.label)) << c.label << " after the holder closed";
    }
}

// Runs hold() in a forked child that keeps its handle open until told to
// end, and calls check() in the parent meanwhile.
template <typename Hold, typename Check>
void WithChildHolding(Hold&& hold, Check&& check)
{
    int ready[2];
    int done[2];
    ASSERT_EQ(::pipe(ready), 0);
    ASSERT_EQ(::pipe(done), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::close(ready[0]);
        ::close(done[1]);
        const char ok = hold() ? '1' : '0';
        (void)!::write(ready[1], &ok, 1);
        char end = 0;
        (void)!::read(done[0], &end, 1);
        ::_exit(0);
    }
    ::close(ready[1]);
    ::close(done[0]);
    char ok = 0;
    ASSERT_EQ(::read(ready[0], &ok, 1), 1);
    EXPECT_EQ(ok, '1');
    check();
    ::close(done[1]);
    int status = 0;
    ::waitpid(child, &status, 0);
    ::close(ready[0]);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
}

TEST_F(ShareModes, AgainstAnotherProcess)
{
    for (const auto& c : kCases) {
        std::optional<TVRNFileStream> held; // lives in the child only
        WithChildHolding(
            [&] {
                try {
                    held.emplace(kName, c.held);
                    return true;
                } catch (...) {
                    return false;
                }
            },
            [&] { EXPECT_EQ(Opens(c.requested, c.label), c.opens) << c.label; });
    }
}

TEST_F(ShareModes, ClassicRecordLockOfAnotherProgramIsSeen)
{
    WithChildHolding(
        [&] {
            const int fd = ::open(path_.c_str(), O_RDWR);
            flock fl{};
            fl.l_type = F_WRLCK;
            fl.l_whence = SEEK_SET;
            return fd >= 0 && ::fcntl(fd, F_SETLK, &fl) == 0; // the fd stays open until _exit
        },
        [&] {
            EXPECT_FALSE(Opens(kOpenRead | kShareDenyNone, "classic lock"));
            EXPECT_FALSE(Opens(kOpenReadWrite | kShareExclusive, "classic lock"));
        });
}

TEST_F(ShareModes, RefusedCreateKeepsTheContent)
{
    TVRNFileStream held(kName, kOpenRead | kShareDenyWrite);
    EXPECT_FALSE(Opens(kModeCreate, "create"));
    EXPECT_EQ(TempInstallation::Read(path_), "B,a\r\nline\r\n");
}

TEST_F(ShareModes, ReadOnlyFileSharingNothingFallsBackToAReadLock)
{
    if (::geteuid() == 0)
        GTEST_SKIP() << "root opens read-only files for writing";
    std::filesystem::permissions(path_, std::filesystem::perms::owner_read);
    TVRNFileStream held(kName, kOpenRead | kShareExclusive);
    EXPECT_TRUE(held.HasHandle());
    EXPECT_TRUE(Opens(kOpenRead | kShareDenyNone, "reader"));
}

} // namespace
} // namespace zd
