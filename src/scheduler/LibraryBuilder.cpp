#include "scheduler/LibraryBuilder.hpp"

#include "audio/FileDuration.hpp"
#include "audio/NativePath.hpp"
#include "audio/RetryOpen.hpp"
#include "audio/tags/TAPETags.hpp"
#include "common/CodePage.hpp"
#include "common/Error.hpp"
#include "common/MarkedText.hpp"
#include "common/Numbers.hpp"
#include "common/Texts.hpp"
#include "scheduler/SharedFiles.hpp"

#include <algorithm>
#include <filesystem>
#include <stdexcept>

namespace zd {
namespace {

namespace fs = std::filesystem;

constexpr int kTagAttempts = 3;

// The longest prefix of at most max bytes that does not split a UTF-8
// character of a marked text.
std::string CutText(std::string text, std::size_t max)
{
    if (text.size() <= max)
        return text;
    std::size_t end = max;
    if (IsMarked(text))
        while (end > 1 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
            --end;
    text.resize(end);
    return text;
}

std::uint8_t ByteOf(std::int64_t value) noexcept
{
    return static_cast<std::uint8_t>(std::clamp<std::int64_t>(value, 0, 255));
}

template <std::size_t N>
void CopyBinary(const std::string& value, std::array<std::uint8_t, N>& out)
{
    if (value.size() == N)
        std::copy(value.begin(), value.end(), out.begin());
}

// Compared without regard to letter case.
std::u16string CategoryKey(const std::string& marked)
{
    return WideLower(MarkedToWide(marked));
}

std::string Unquoted(const std::string& name)
{
    if (name.size() >= 2 && name.front() == '"' && name.back() == '"')
        return name.substr(1, name.size() - 2);
    return name;
}

struct CategoriesFile {
    std::string Path;                  // native
    std::string Bytes;                 // as read ("" when missing)
    std::vector<std::string> Names;    // code page, quotes removed
    std::int64_t LastNumber = 0;
};

CategoriesFile ReadCategoriesFile(const std::string& dataFolder)
{
    CategoriesFile file;
    const std::string path = dataFolder + "/Categories.dat";
    file.Path = NativePathOf(MarkIfHigh(path)).value_or(path);
    if (fs::exists(file.Path)) {
        file.Bytes = ReadWholeTextFile(MarkIfHigh(file.Path));
        if (file.Bytes.rfind("Error>", 0) == 0)
            throw FileError("EFOpenError", "Cannot read \"" + file.Path + "\": " + file.Bytes.substr(6));
    }
    std::size_t start = 0;
    while (start < file.Bytes.size()) {
        std::size_t end = file.Bytes.find('\n', start);
        if (end == std::string::npos)
            end = file.Bytes.size();
        std::string_view line(file.Bytes.data() + start, end - start);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (const auto name = CategoryNameOfLine(line)) {
            file.Names.push_back(Unquoted(*name));
            const std::string_view rest = line.substr(name->size() + 1);
            file.LastNumber = std::max<std::int64_t>(file.LastNumber, TextToIntDef0(rest.substr(0, rest.find(','))));
        }
        start = end + 1;
    }
    return file;
}

// Appends the names through a temporary file renamed over the old one.
void AddCategories(CategoriesFile& file, const std::vector<std::string>& names)
{
    std::string bytes = file.Bytes;
    if (!bytes.empty() && bytes.back() != '\n')
        bytes += "\r\n";
    for (const auto& name : names) {
        const bool quote = name.find(',') != std::string::npos;
        bytes += (quote ? "\"" + name + "\"" : name) + "," + std::to_string(++file.LastNumber) + ",0\r\n";
    }
    const std::string temporary = file.Path + ".tmp";
    {
        TVRNFileStream out(MarkIfHigh(temporary), kModeCreate);
        out.Write(bytes);
        out.Flush();
    }
    std::error_code error;
    fs::rename(temporary, file.Path, error);
    if (error) {
        fs::remove(temporary, error);
        throw FileError("EWriteError", "Cannot write \"" + file.Path + "\"");
    }
    file.Bytes = bytes;
}

// A category name that can name a database file.
bool UsableCategory(const std::string& utf8)
{
    return !utf8.empty() && utf8 != "." && utf8 != ".." && utf8.find_first_of("\\/:\"") == std::string::npos;
}

struct Category {
    std::string Name;   // code page, as in "Categories.dat"
    std::vector<LibraryRecord> Records;
};

} // namespace

std::string LibraryText(const std::string& marked)
{
    if (!IsMarked(marked) && !HasHighBytes(marked))
        return marked;
    const std::u16string wide = MarkedToWide(marked);
    std::string ansi = WideToAnsi(wide);
    if (!IsMarked(ansi) && AnsiToWide(ansi) == wide)
        return ansi;
    return kTextMarker + WideToUtf8(wide);
}

std::optional<LibraryRecord> LibraryRecordOfFile(const std::string& markedName, const std::string& windowsName,
                                                 std::string* category)
{
    TAPETags tags(markedName, kTagAttempts, TAPETags::ModeReadShared);
    if (!tags.Opened())
        return std::nullopt;
    if (tags.Count() < 3)
        tags.ImportFormatTags();
    std::int64_t duration = TextToInt64Def0(tags.GetField("Duration"));
    if (duration < 1)
        duration = std::max(0, GetFileDuration(markedName, tags.Stream()));

    LibraryRecord record;
    record.FileName = LibraryText(windowsName);
    auto text = [&](const char* field) { return CutText(LibraryText(tags.GetField(field)), kLibraryTextMax); };
    record.Artist = text("Artist");
    record.Title = text("Title");
    record.Album = text("Album");
    record.Genre = text("Genre");
    record.Mood = text("Mood");
    if (record.Title.empty()) {
        // "Artist - Title" in the file's own name.
        const TDashFields parts = DashFields(MarkedToUtf8(BaseNameOf(windowsName)));
        record.Title = CutText(LibraryText(MarkIfHigh(parts.Second)), kLibraryTextMax);
        if (record.Artist.empty())
            record.Artist = CutText(LibraryText(MarkIfHigh(parts.First)), kLibraryTextMax);
    }
    record.Year = static_cast<std::uint16_t>(std::clamp<std::int64_t>(TextToIntDef0(tags.GetField("Year")), 0, 65535));
    record.DurationMs = static_cast<std::uint32_t>(std::min<std::int64_t>(duration, UINT32_MAX));
    if (duration > 0)
        record.BitRate = ByteOf(tags.FileSize() * 8 / duration);
    record.Rating = ByteOf(TextToIntDef0(tags.GetField("Rating")));
    record.Tempo = ByteOf(TextToIntDef0(tags.GetField("Tempo")));
    record.Energy = ByteOf(TextToIntDef0(tags.GetField("Energy")));
    record.Era = ByteOf(TextToIntDef0(tags.GetField("Era")));
    record.TransitionMs = static_cast<std::uint32_t>(std::max(0, TextToIntDef0(tags.GetField("FadeSpeed"))));
    CopyBinary(tags.GetField("XRestrictions"), record.Restriction);
    CopyBinary(tags.GetField("XLastScheduled"), record.LastScheduled);
    if (category)
        *category = std::string(TrimText(tags.GetField("Category")));
    return record;
}

LibraryBuildSummary BuildLibrary(const LibraryBuildOptions& options,
                                 const std::function<void(std::size_t, std::size_t)>& progress)
{
    SetInstallationRoot(fs::absolute(options.DataFolder).parent_path().string());
    std::vector<std::pair<fs::path, std::string>> files; // path, the folder's name
    for (const auto& folder : options.Folders) {
        if (!fs::is_directory(folder))
            throw std::invalid_argument("not a folder: " + folder);
        const fs::path root = fs::absolute(folder).lexically_normal();
        const std::string name = (root.has_filename() ? root : root.parent_path()).filename().string();
        for (const auto& entry : fs::recursive_directory_iterator(root, fs::directory_options::skip_permission_denied))
            if (entry.is_regular_file())
                files.emplace_back(entry.path(), name);
    }
    std::sort(files.begin(), files.end());

    LibraryBuildSummary summary;
    CategoriesFile categoriesFile = ReadCategoriesFile(options.DataFolder);
    std::map<std::u16string, Category> categories;
    std::size_t done = 0;
    for (const auto& [path, folderName] : files) {
        auto skip = [&](const char* reason) { summary.Skipped.emplace_back(path.string(), reason); };
        const std::string marked = MarkIfHigh(path.string());
        const auto windowsName = DriveNameOf(path.string());
        std::string category;
        std::optional<LibraryRecord> record;
        if (!IsKnownAudioExtension(marked))
            skip("not an audio type");
        else if (!windowsName)
            skip("outside the drive map");
        else if (!(record = LibraryRecordOfFile(marked, *windowsName, &category)))
            skip("cannot be read");
        if (record) {
            if (category.empty())
                category = options.Category.empty() ? MarkIfHigh(folderName) : MarkIfHigh(options.Category);
            const std::string ansi = LibraryText(category);
            if (IsMarked(ansi) || !UsableCategory(MarkedToUtf8(ansi)))
                skip("category name cannot name a database");
            else if (!EncodeLibraryRecord(*record))
                skip("name too long for a record");
            else {
                auto& entry = categories[CategoryKey(ansi)];
                if (entry.Name.empty())
                    entry.Name = ansi;
                entry.Records.push_back(std::move(*record));
            }
        }
        if (progress)
            progress(++done, files.size());
    }

    std::vector<std::string> missing;
    for (auto& [key, category] : categories) {
        const auto known = std::find_if(categoriesFile.Names.begin(), categoriesFile.Names.end(),
                                         [&](const std::string& name) { return CategoryKey(name) == key; });
        if (known != categoriesFile.Names.end())
            category.Name = *known;
        else
            missing.push_back(category.Name);
        const std::string utf8 = MarkedToUtf8(category.Name);
        const std::string base = options.DataFolder + "/" + utf8 + ".dat";
        LibraryWriter writer(NativePathOf(MarkIfHigh(base)).value_or(base));
        for (const auto& record : category.Records)
            writer.Add(record);
        writer.Commit();
        summary.Files += category.Records.size();
        summary.UnknownDurations += static_cast<std::size_t>(std::count_if(
            category.Records.begin(), category.Records.end(), [](const LibraryRecord& r) { return r.DurationMs == 0; }));
        summary.Categories[utf8] = category.Records.size();
    }
    if (!missing.empty())
        AddCategories(categoriesFile, missing);
    for (const auto& name : missing)
        summary.AddedCategories.push_back(MarkedToUtf8(name));
    return summary;
}

} // namespace zd
