#include "server/LoginThrottle.hpp"

#include <gtest/gtest.h>

namespace zd {
namespace {

using namespace std::chrono_literals;

TEST(LoginThrottle, WaitsDoubleAfterFiveFailuresUpToThirtySecondsPerAddress)
{
    LoginThrottle throttle;
    const auto start = LoginThrottle::Clock::time_point{} + 24h;
    // The wait before attempt n + 1 after n failures a second apart.
    const std::chrono::milliseconds expected[] = {0s, 0s, 0s, 0s, 0s, 1s, 2s, 4s, 8s, 16s, 30s, 30s, 30s};
    for (std::size_t failures = 0; failures < std::size(expected); ++failures) {
        SCOPED_TRACE(failures);
        const auto now = start + std::chrono::seconds(failures);
        EXPECT_EQ(throttle.DelayFor("127.0.0.2", now), expected[failures]);
        EXPECT_EQ(throttle.DelayFor("127.0.0.3", now), 0s);
        throttle.Failed("127.0.0.2", now);
    }
    // Failures older than ten minutes no longer count.
    EXPECT_EQ(throttle.DelayFor("127.0.0.2", start + 10min + 4s), 8s);
    EXPECT_EQ(throttle.DelayFor("127.0.0.2", start + 10min + 7s), 1s);
    EXPECT_EQ(throttle.DelayFor("127.0.0.2", start + 10min + 8s), 0s);
    // A success clears the address at once.
    for (int i = 0; i < 8; ++i)
        throttle.Failed("127.0.0.4", start);
    throttle.Succeeded("127.0.0.4");
    EXPECT_EQ(throttle.DelayFor("127.0.0.4", start), 0s);
}

TEST(LoginThrottle, KeepsABoundedNumberOfAddresses)
{
    LoginThrottle throttle;
    const auto now = LoginThrottle::Clock::time_point{} + 24h;
    for (int i = 0; i < 6; ++i)
        throttle.Failed("first", now);
    for (int i = 0; i < 5000; ++i)
        throttle.Failed("10." + std::to_string(i), now + 1s);
    EXPECT_EQ(throttle.DelayFor("first", now + 2s), 0s);  // the oldest went
    for (int i = 0; i < 6; ++i)
        throttle.Failed("last", now + 2s);
    EXPECT_EQ(throttle.DelayFor("last", now + 2s), 2s);
}

} // namespace
} // namespace zd
