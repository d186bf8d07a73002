// zdlibrary: builds the scheduler's library databases (one per category in
// the data folder) from the audio files under the given folders.

#include "scheduler/LibraryBuilder.hpp"

#include <unistd.h>

#include <exception>
#include <iostream>
#include <string>
#include <string_view>

namespace {

constexpr int kBarWidth = 30;

void Usage(std::ostream& out)
{
    out << "usage: zdlibrary --data DATAFOLDER [--category NAME] FOLDER...\n"
           "Reads every audio file under the folders and writes one library database per\n"
           "category into DATAFOLDER (the category is the file's \"Category\" tag field, else\n"
           "NAME, else the name of the folder given), and adds the categories that\n"
           "\"Categories.dat\" lacks. Files are named in the records by the drive map\n"
           "(dosdevices/) of the installation that holds DATAFOLDER.\n";
}

// "  120/1000 [###-----] 12%" on one line, redrawn.
void ShowProgress(std::size_t done, std::size_t total)
{
    const std::size_t filled = total == 0 ? kBarWidth : done * kBarWidth / total;
    std::cerr << '\r' << "  " << done << '/' << total << " [" << std::string(filled, '#')
              << std::string(kBarWidth - filled, '-') << "] " << (total == 0 ? 100 : done * 100 / total) << '%';
    if (done == total)
        std::cerr << '\n';
    std::cerr.flush();
}

void PrintSummary(const zd::LibraryBuildSummary& summary)
{
    std::cout << summary.Files << " files in " << summary.Categories.size() << " categories";
    if (summary.UnknownDurations > 0)
        std::cout << " (" << summary.UnknownDurations << " of unknown length)";
    std::cout << ", " << summary.Skipped.size() << " skipped\n";
    for (const auto& [name, count] : summary.Categories)
        std::cout << "  " << name << ".dat: " << count << " files\n";
    for (const auto& name : summary.AddedCategories)
        std::cout << "  added to Categories.dat: " << name << "\n";
    for (const auto& [path, reason] : summary.Skipped)
        std::cout << "  skipped " << path << ": " << reason << "\n";
}

} // namespace

int main(int argc, char** argv)
{
    zd::LibraryBuildOptions options;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if ((arg == "--data" || arg == "--category") && i + 1 < argc) {
            (arg == "--data" ? options.DataFolder : options.Category) = argv[++i];
        } else if (arg == "--help" || arg == "-h") {
            Usage(std::cout);
            return 0;
        } else if (arg.starts_with("--")) {
            Usage(std::cerr);
            return 2;
        } else {
            options.Folders.emplace_back(arg);
        }
    }
    if (options.DataFolder.empty() || options.Folders.empty()) {
        Usage(std::cerr);
        return 2;
    }
    try {
        const bool terminal = ::isatty(STDERR_FILENO) != 0;
        const auto summary = zd::BuildLibrary(options, terminal ? ShowProgress : nullptr);
        PrintSummary(summary);
        return 0;
    } catch (const std::exception& error) {
        std::cerr << "zdlibrary: " << error.what() << "\n";
        return 1;
    }
}
