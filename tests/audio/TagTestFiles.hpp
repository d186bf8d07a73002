#pragma once

// Audio files with tags for the tag-store tests.

#include <fcntl.h>
#include <sys/stat.h>

#include <ctime>
#include <initializer_list>
#include <utility>

#include "MPEGTestData.hpp"
#include "audio/tags/APEItems.hpp"
#include "audio/tags/TAPETags.hpp"

namespace zd::testdata {

// A few frames of MPEG audio.
inline Bytes SmallMp3() { return MpegFrames(kMpeg1Header, 6, kMpeg1FrameLength); }

// A 128-byte ID3v1 tag with a title and a genre.
inline Bytes Id3v1Tag(std::string_view title, std::uint8_t genre)
{
    Bytes tag(128, 0);
    tag[0] = 'T';
    tag[1] = 'A';
    tag[2] = 'G';
    std::copy(title.begin(), title.end(), tag.begin() + 3);
    tag[127] = genre;
    return tag;
}

// An APEv2 tag (items and footer, no header) of the fields; claimedCount
// overrides the footer's item count when not negative.
inline Bytes ApeTag(std::vector<TTags> fields, long claimedCount = -1)
{
    std::uint32_t count = 0;
    Bytes tag = BuildAPEItemArea(fields, count);
    APEFooterBytes footer = APEFooterTemplate();
    APEFooter values;
    values.TagSize = static_cast<std::uint32_t>(tag.size() + 32);
    values.ItemCount = claimedCount < 0 ? count : static_cast<std::uint32_t>(claimedCount);
    StoreAPEFooter(footer, values);
    tag.insert(tag.end(), footer.begin(), footer.end());
    return tag;
}

inline Bytes Join(std::initializer_list<Bytes> parts)
{
    Bytes all;
    for (const Bytes& p : parts)
        all.insert(all.end(), p.begin(), p.end());
    return all;
}

inline Bytes BinaryText(std::string_view text) { return Bytes(text.begin(), text.end()); }

inline std::string AsText(const Bytes& bytes) { return std::string(bytes.begin(), bytes.end()); }

// Modification time in nanoseconds.
inline long long WriteTimeNs(const std::string& path)
{
    struct stat s{};
    ::stat(path.c_str(), &s);
    return static_cast<long long>(s.st_mtim.tv_sec) * 1000000000LL + s.st_mtim.tv_nsec;
}

// Sets the file's access and write times daysOld days before now.
inline void SetDaysOld(const std::string& path, int daysOld)
{
    const std::time_t when = std::time(nullptr) - daysOld * 86400L;
    const timespec times[2] = {{when, 0}, {when, 0}};
    ::utimensat(AT_FDCWD, path.c_str(), times, 0);
}

// An MP3 file of frames MPEG-1 frames with the fields in its tag store,
// written daysOld days ago.
inline void WriteTaggedMp3(const std::string& path, int frames, int daysOld,
                           std::initializer_list<std::pair<std::string, std::string>> fields)
{
    WriteFile(path, MpegFrames(kMpeg1Header, frames, kMpeg1FrameLength));
    {
        TAPETags tags(path, 1, TAPETags::ModeReadWrite);
        for (const auto& [field, value] : fields)
            tags.SetField(field, value);
        tags.WriteTags();
    }
    SetDaysOld(path, daysOld);
}

} // namespace zd::testdata
