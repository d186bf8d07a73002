#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "audio/FileFacts.hpp"
#include "audio/TVRNFileStream.hpp"
#include "audio/tags/APEItems.hpp"
#include "audio/tags/TTags.hpp"

namespace zd {

// The tag store: the named fields of one audio file, kept as an APEv2 tag at
// the very end of the file (in front of an ID3v1 tag when there is one),
// whatever the container. The station's own fields ("Duration", "Intro",
// "Segue", "Cue", "HookStart", "HookLen", "FadeSpeed", "Tempo",
// "XLastScheduled", "XLastPlayed", "XRestrictions" ...) live only here.
//
// A store lives for one request: it opens the file when made and closes it
// when freed. Writes go only into the tag area behind the audio: the bytes in
// front of the old tag are never written, and the file never shrinks. A tag
// that could not be read completely (damaged, cut to 127 items, or larger than
// the file) is never written over: such a store is read-only.
//
// Two writable stores of one file in this process (by whatever names) do not
// overlap: the second waits in its constructor until the first is freed, so
// a thread must not hold two writable stores of the same file.
//
// Readers never throw for bad data; apart from allocation only SetField (and
// the setters built on it) throws, for a name that cannot be a key.
// One thread at a time. Not copyable.
class TAPETags {
public:
    // Open modes the callers pass.
    static constexpr std::uint16_t ModeRead = 0x0000;
    static constexpr std::uint16_t ModeReadWrite = 0x0001;
    static constexpr std::uint16_t ModeReadShared = 0x0040;

    // Opens the file and reads its tag. A write mode opens read-write and
    // shared (attempts tries, 500 ms apart) and falls back to read-only
    // shared; the read modes open read-only shared. A missing file, a file
    // under 160 bytes or one that cannot be opened leaves Opened() false.
    // Never throws apart from allocation.
    TAPETags(std::string fileName, int attempts, std::uint16_t mode);
    ~TAPETags();
    TAPETags(const TAPETags&) = delete;
    TAPETags& operator=(const TAPETags&) = delete;

    const std::string& FileName() const noexcept { return fileName_; }
    TVRNFileStream* Stream() noexcept { return stream_.get(); }
    std::int64_t FileSize() const noexcept { return fileSize_; }
    bool Opened() const noexcept { return opened_; }
    bool HasAPETag() const noexcept { return hasAPETag_; }
    bool HasID3v1() const noexcept { return hasID3v1_; }
    bool Modified() const noexcept { return modified_; }
    bool ReadOnly() const noexcept { return readOnly_; }
    bool Error() const noexcept { return error_; }
    const APEFooterBytes& Footer() const noexcept { return footer_; }
    const std::array<std::uint8_t, 125>& ID3v1() const noexcept { return id3v1_; }
    int Count() const noexcept { return static_cast<int>(fields_.size()); }
    const std::vector<TTags>& Fields() const noexcept { return fields_; }

    // Index of the first field of that name (letter case ignored), -1 when
    // absent. noexcept.
    int IndexOf(std::string_view name) const noexcept;
    // Value at index; empty out of range.
    std::string GetValue(int index) const;
    // Value of the named field; empty when absent.
    std::string GetField(std::string_view name) const;

    // Adds or replaces a field in memory; mirrors title, artist, album, year,
    // comment and track into the ID3v1 area. An empty value for an absent
    // field is dropped (except "title" and "artist"). Throws zd::Error
    // ("Tag Name must be 2 or more characters in length") for a new name of
    // fewer than 2 characters, and for one holding other than printable ASCII.
    void SetField(std::string_view name, std::string_view value);
    void SetFieldInt(std::string_view name, std::int64_t value);

    // Changes a value in place in the file when the store is unmodified, the
    // field is in the file, is not binary ("X...") and the new value fits
    // its stored length; otherwise SetField. Errors set Error(). Throws as
    // SetField.
    void UpdateField(std::string_view name, std::string_view value);

    // Writes the store to the file (never into playlist or program files,
    // never when read-only). Errors set Error(). noexcept apart from
    // allocation.
    void WriteTags();

    // Fills "Duration" when it is below 1 and imports the container's own
    // tags by the file's extension. Only when Opened(). Never throws for bad
    // data.
    void ImportFormatTags();

    // Setters used by the import; each sets its field only when its rule
    // allows. Throw as SetField.
    void SetCleanField(std::string_view name, std::string_view text);
    void SetYear(std::string_view text);
    void SetWideField(std::string_view name, std::u16string_view wide);
    void SetCleanWideField(std::string_view name, std::u16string_view wide);
    void SetDateField(std::string_view name, std::string_view text);
    void SetTempoText(std::string_view text);

    // Day number (days since 1899-12-30) of a year-month-day text
    // ("2024-03-15"); 1 when invalid or not positive. noexcept.
    static std::int32_t DayNumber(std::string_view text) noexcept;
    // The integer part of a BPM text when 1..255, else "".
    static std::string NormalizeBPM(std::string_view text);

    // Largest item area read; a larger tag is left alone.
    static constexpr std::int64_t MaxAreaBytes = 64LL * 1024 * 1024;

private:
    void ReadTag();
    bool CanWrite() const;
    void MirrorID3v1(const std::string& lowerName, const std::string& value);
    std::int64_t TagStart() const noexcept;

    std::string fileName_;
    std::string writerKey_; // the file's identity while this store may write
    std::unique_ptr<TVRNFileStream> stream_;
    TFileFacts facts_;
    std::int64_t fileSize_ = 0;
    std::uint32_t tagSize_ = 0;
    bool opened_ = false;
    bool hasAPETag_ = false;
    bool hasID3v1_ = false;
    bool modified_ = false;
    bool readOnly_ = true;
    bool error_ = false;
    APEFooterBytes footer_ = APEFooterTemplate();
    std::array<std::uint8_t, 125> id3v1_{};
    std::vector<TTags> fields_;
};

} // namespace zd
