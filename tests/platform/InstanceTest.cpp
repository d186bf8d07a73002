#include "platform/InstanceLock.hpp"
#include "platform/LocalAddresses.hpp"
#include "platform/RestoreSignal.hpp"

#include <gtest/gtest.h>

#include <sys/mman.h>
#include <unistd.h>

namespace zd {
namespace {

std::string UniqueRoot(const char* name)
{
    return "/tmp/zd-platform-test-" + std::to_string(::getpid()) + "/" + name + "/";
}

TEST(InstanceLock, OneHolderPerInstallation)
{
    const std::string root = UniqueRoot("a");
    {
        InstanceLock first(root);
        ASSERT_TRUE(first.Acquired()) << first.Path();
        InstanceLock second(root);
        EXPECT_FALSE(second.Acquired());
        InstanceLock other(UniqueRoot("b"));
        EXPECT_TRUE(other.Acquired());
        EXPECT_NE(other.Path(), first.Path());
    }
    InstanceLock again(root); // released with its holder
    EXPECT_TRUE(again.Acquired());
    ::unlink(again.Path().c_str());
    ::unlink(InstanceLock(UniqueRoot("b")).Path().c_str());
}

TEST(RestoreSignal, OneByteSharedBetweenOpeners)
{
    const std::string root = UniqueRoot("signal");
    RestoreSignal running(root);
    RestoreSignal second(root);
    running.Set(0);
    second.Set(RestoreSignal::kRestore);
    EXPECT_EQ(running.Get(), RestoreSignal::kRestore);
    running.Set(0);
    EXPECT_EQ(second.Get(), 0);
    RestoreSignal other(UniqueRoot("elsewhere"));
    EXPECT_NE(other.Name(), running.Name());
    ::shm_unlink(running.Name().c_str());
    ::shm_unlink(other.Name().c_str());
}

TEST(LocalAddresses, ChoosesByTheStartUpRule)
{
    struct Case {
        std::vector<std::string> addresses;
        std::string chosen;
    } const cases[] = {
        {{"127.0.0.1", "172.16.0.4", "10.1.2.3", "192.168.0.9"}, "10.1.2.3"},
        {{"127.0.0.1", "192.168.5.5", "10.0.0.1"}, "192.168.5.5"},
        {{"127.0.0.1", "172.16.0.4"}, "127.0.0.1"},
        {{"10abc", "172.16.0.4"}, "172.16.0.4"}, // "10." needs the point
        {{"odd"}, "odd"},
        {{}, ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ChooseLocalAddress(c.addresses), c.chosen);
    // The machine's own list holds at least the loopback address.
    const auto own = LocalIPv4Addresses();
    EXPECT_NE(std::find(own.begin(), own.end(), "127.0.0.1"), own.end());
}

} // namespace
} // namespace zd
