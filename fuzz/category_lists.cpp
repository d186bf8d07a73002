// The scheduler's category lists "Categories.dat" and "Spots.dat" in the
// data folder.

#include "FuzzFile.hpp"
#include "scheduler/SchedulerSettings.hpp"
#include "scheduler/SharedFiles.hpp"

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    zd::SetSchedulerDataFolder((zd::fuzz::FuzzFolder() / "Data").string() + "/");
    std::string line = "0";
    for (int i = 1; i < 130; ++i)
        line += ",0";
    return zd::LoadSchedulerSettingsFromLine(line) ? 0 : 1;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    zd::fuzz::WriteInput("Data/Categories.dat", data, size);
    zd::fuzz::WriteInput("Data/Spots.dat", data, size);
    (void)zd::ReadCategoryNames(false);
    (void)zd::ReadCategoryNames(true);
    return 0;
}
