// A library database file of one category, read record by record.

#include "FuzzFile.hpp"
#include "audio/TVRNFileStream.hpp"
#include "scheduler/LibraryDatabase.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string path = zd::fuzz::WriteInput("Data/Rock.dat", data, size);
    zd::TVRNFileStream stream(path, zd::kOpenRead | zd::kShareDenyNone);
    zd::LibraryReader reader(stream);
    while (const auto view = reader.Next()) {
        const zd::LibraryRecord record = view->ToRecord();
        (void)view->NewestLastScheduled();
        (void)zd::IsDatabaseReference(record.FileName);
        // What is read back must encode again (or be refused) without harm.
        (void)zd::EncodeLibraryRecord(record);
    }
    return 0;
}
