// The scheduler's settings file "VRNCadmora.dat" in the data folder, read
// and published as at start-up and each hour.

#include "FuzzFile.hpp"
#include "scheduler/SchedulerSettings.hpp"

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    zd::SetSchedulerDataFolder((zd::fuzz::FuzzFolder() / "Data").string() + "/");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    zd::fuzz::WriteInput("Data/VRNCadmora.dat", data, size);
    zd::LoadSchedulerSettings();
    (void)zd::CurrentSchedulerSettings();
    (void)zd::PlaylistFolder();
    (void)zd::VoiceTrackFolder();
    (void)zd::PlaylistWriteFolder();
    return 0;
}
