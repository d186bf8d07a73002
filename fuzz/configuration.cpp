// The configuration and accounts file "ZODavizi.dat" (no backup beside it).

#include "FuzzFile.hpp"
#include "server/SettingsFile.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    zd::fuzz::WriteInput("Data/ZODavizi.dat", data, size);
    (void)zd::ReadConfigurationFile((zd::fuzz::FuzzFolder() / "Data").string() + "/");
    return 0;
}
