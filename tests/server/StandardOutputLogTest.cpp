#include "server/StandardOutputLog.hpp"

#include "support/TempFolder.hpp"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace zd {
namespace {

TEST(StandardOutputLogTest, LevelFollowsTheTextOfTheLine)
{
    struct Case {
        const char* line;
        const char* withLevels;
    };
    const Case cases[] = {
        {"11/12/2026,10:00:01 User anna logged in", "<6>11/12/2026,10:00:01 User anna logged in"},
        {"11/12/2026,10:00:01 **** EIdReadTimeout", "<3>11/12/2026,10:00:01 **** EIdReadTimeout"},
        // Asterisks later in the text are a user's text, not an error mark.
        {"11/12/2026,10:00:01 User **** x", "<6>11/12/2026,10:00:01 User **** x"},
        {"11/12/2026,10:00:01 ****", "<6>11/12/2026,10:00:01 ****"},
        {"no date at all", "<6>no date at all"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(StandardOutputLog(true).Format(c.line), c.withLevels) << c.line;
        EXPECT_EQ(StandardOutputLog(false).Format(c.line), c.line) << c.line;
    }
}

TEST(StandardOutputLogTest, JournalStreamMustNameTheDescriptorsFile)
{
    testsupport::TempFolder folder;
    const std::string path = folder.File("out");
    const int fd = ::open(path.c_str(), O_CREAT | O_WRONLY | O_CLOEXEC, 0600);
    ASSERT_GE(fd, 0);
    struct stat facts{};
    ASSERT_EQ(::fstat(fd, &facts), 0);
    const std::string match = std::to_string(facts.st_dev) + ":" + std::to_string(facts.st_ino);
    const std::string other = std::to_string(facts.st_dev) + ":" + std::to_string(facts.st_ino + 1);
    EXPECT_TRUE(IsJournalStream(fd, match.c_str()));
    EXPECT_FALSE(IsJournalStream(fd, other.c_str()));
    EXPECT_FALSE(IsJournalStream(fd, nullptr));
    EXPECT_FALSE(IsJournalStream(fd, "garbage"));
    ::close(fd);
}

} // namespace
} // namespace zd
