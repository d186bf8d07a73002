#pragma once

#include <cstdint>
#include <memory>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace zd {

// The values this server keeps from the scheduler's settings file
// "VRNCadmora.dat" (first line, a comma list), named by their index in that
// list. Folders are in the scheduler's own (Windows) form and end with "\".
struct SchedulerSettings {
    std::string DataFolder;           // installation root + "Data\" (set before loading)

    std::uint8_t Value3 = 0;          // strict integer, kept as a byte
    std::int32_t Value4 = 0;          // strict integer
    std::int32_t Value5 = 0;          // strict integer, minutes (search separation)
    std::string Value6;
    std::string Value7;
    std::string PlaylistWriteFolder;  // value 8
    std::string Value23;
    std::string Value24;
    std::string Value25;
    std::string Value26;
    std::string Value28;
    bool Value33NotOne = false;       // value 33 is not "1"
    std::string PlaylistFolder;       // value 34
    std::string Value40;
    std::string Value41;
    std::uint8_t Value42 = 0;         // TextToIntDef0, kept as a byte
    std::string VoiceTrackFolder;     // value 47
    bool Value58IsOne = false;        // value 58 is "1"
    std::string Value61;              // cut before the first `".`
    std::string Value74;
    std::string Value75;
    std::string Value76;
    std::int32_t Colour129 = 0;       // TextToIntDef0; blue, green, red from high to low byte
};

// Takes a comma list apart: leading spaces and control characters are
// skipped; an item that starts with `"` runs to the closing quote (`""`
// inside stands for one `"`), quotes removed; any other item ends at a comma,
// a space or a control character; after an item, spaces and control
// characters are skipped and one comma is stepped over. A comma that ends
// the line adds one empty item. Never throws apart from allocation.
std::vector<std::string> SplitCommaList(std::string_view line);

// The same items handed one at a time to `item`, so a long list is never
// held twice. Throws what `item` throws.
void ForEachCommaItem(std::string_view line, const std::function<void(std::string&&)>& item);

// Sets the kept values from the items one by one in index order. Returns
// false at the first item that is missing or (for 3, 4 and 5) not a strict
// integer; the values set before it stay changed, the later ones untouched.
// Never throws apart from allocation.
bool ApplySchedulerItems(const std::vector<std::string>& items, SchedulerSettings& values);

// A folder value with a trailing backslash added when missing.
std::string WithBackslash(std::string folder);

// Sets the folder that holds "VRNCadmora.dat", "Categories.dat", "Spots.dat",
// "colors.dat" (installation root + "Data\"). Call once at start-up, before
// LoadSchedulerSettings. Thread-safe.
void SetSchedulerDataFolder(std::string dataFolder);

// Reads "VRNCadmora.dat" from the data folder (8 attempts to open) and
// publishes the values. True when the file exists, opens and every kept item
// converts; false otherwise (a failure part-way publishes the values set
// before it). Runs on the main thread. Never throws.
bool LoadSchedulerSettings() noexcept;

// Same, from a given first line (no file access); used by the loader and tests.
bool LoadSchedulerSettingsFromLine(std::string_view firstLine) noexcept;

// The current values. Every reader gets a whole, consistent snapshot that
// stays valid while held (a reload replaces it, never changes it). Any thread.
std::shared_ptr<const SchedulerSettings> CurrentSchedulerSettings() noexcept;

// Short forms of the folders of the current snapshot (texts end with "\").
std::string DataFolder();
std::string PlaylistFolder();
std::string VoiceTrackFolder();
std::string PlaylistWriteFolder();

} // namespace zd
