#pragma once

#include "scheduler/LibraryDatabase.hpp"

#include <cstddef>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace zd {

// Builds library databases from audio files: each file is read through the
// system's own readers (the tag store with the container's tags imported,
// the duration facade) and becomes one record of its category's database.

// The text as the database keeps it: code-page text when the code page holds
// it exactly, else marked UTF-8. Never throws apart from allocation.
std::string LibraryText(const std::string& marked);

// The record of one audio file. markedName names the file for the readers;
// windowsName is the name the record carries (the scheduler's form). The
// category (the tag store's "Category" field, marked text, "" when absent)
// goes to category when given. nullopt when the file cannot be opened or is
// too small to be audio. Never throws apart from allocation.
std::optional<LibraryRecord> LibraryRecordOfFile(const std::string& markedName, const std::string& windowsName,
                                                 std::string* category = nullptr);

struct LibraryBuildOptions {
    std::string DataFolder;            // native
    std::string Category;              // for files without a "Category" field; "" = the folder's name
    std::vector<std::string> Folders;  // native
};

struct LibraryBuildSummary {
    std::size_t Files = 0;                          // records written
    std::size_t UnknownDurations = 0;               // of them, files whose length is not known
    std::map<std::string, std::size_t> Categories;  // category (UTF-8) -> records
    std::vector<std::string> AddedCategories;       // names added to "Categories.dat"
    std::vector<std::pair<std::string, std::string>> Skipped; // native path, reason
};

// Reads every file under the folders (in name order), writes one database
// per category into the data folder (each through a temporary file renamed
// into place) and adds the categories that "Categories.dat" lacks. progress
// is called after each file with (done, total). Throws FileError when a
// database or "Categories.dat" cannot be written, std::invalid_argument for
// a folder that does not exist.
LibraryBuildSummary BuildLibrary(const LibraryBuildOptions& options,
                                 const std::function<void(std::size_t, std::size_t)>& progress = {});

} // namespace zd
