#include "platform/InstanceLock.hpp"
#include "platform/LocalAddresses.hpp"
#include "platform/RestoreSignal.hpp"

#include <gtest/gtest.h>

#include <filesystem>

#include <sys/mman.h>
#include <unistd.h>

namespace zd {
namespace {

std::string UniqueRoot(const char* name)
{
    return "/tmp/zd-platform-test-" + std::to_string(::getpid()) + "/" + name + "/";
}

TEST(InstanceLock, OneHolderPerLockFileWhateverPathReachesIt)
{
    const std::filesystem::path folder = UniqueRoot("lock");
    std::filesystem::create_directories(folder / "data");
    std::filesystem::create_directory_symlink(folder / "data", folder / "link");
    const std::string file = (folder / "data" / "ZODavizi.lock").string();
    {
        InstanceLock first(file);
        ASSERT_TRUE(first.Acquired()) << first.Path();
        InstanceLock second(file);
        EXPECT_FALSE(second.Acquired());
        InstanceLock throughLink((folder / "link" / "ZODavizi.lock").string());
        EXPECT_FALSE(throughLink.Acquired());
        InstanceLock other((folder / "other.lock").string());
        EXPECT_TRUE(other.Acquired());
    }
    // Released with its holder; the file left behind stops nothing.
    ASSERT_TRUE(std::filesystem::exists(file));
    InstanceLock again(file);
    EXPECT_TRUE(again.Acquired());
    std::filesystem::remove_all(folder);
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
    // Other spellings of the same root name the same signal.
    EXPECT_EQ(RestoreSignal(root + "../signal").Name(), running.Name());
    EXPECT_EQ(RestoreSignal(root.substr(0, root.size() - 1)).Name(), running.Name());
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
