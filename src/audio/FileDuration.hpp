#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace zd {

class TVRNFileStream;

// A stream-information reader as the duration facade calls it: the play
// length in milliseconds of the file of that marked name, read through the
// stream when one is given (seek it to 0 first) or by opening the file with
// mode 0x0040; 0 when unknown. It may throw; the facade catches everything.
using DurationReader = std::int64_t (*)(const std::string& markedName, TVRNFileStream* stream);

// One row of the reader table: the extensions it serves (lower case, with
// the dot) and its reader (a row with nullptr answers -1). A row with ByPrefix matches every extension that
// begins with its first entry (".aif" serves ".aif", ".aiff", ".aifc").
//
// Adding a reader is one line in FileDuration.cpp: include the reader's
// header there and put its function into its row, e.g.
//     {{".wav"}, false, &WAVDurationOf},
// where WAVDurationOf has the DurationReader signature.
struct DurationRow {
    std::array<std::string_view, 4> Extensions; // unused places stay empty
    bool ByPrefix = false;
    DurationReader Reader = nullptr;
};

// The row serving a file name's extension (compared without regard to
// letter case); nullptr when the table has none. noexcept apart from
// allocation.
const DurationRow* DurationRowFor(std::string_view markedName);

// True when the table serves the name's extension as an audio type (its
// playlist rows do not count). noexcept apart from allocation.
bool IsKnownAudioExtension(std::string_view markedName);

// The play length in milliseconds of the file of that marked name, or -1
// when it is not known (missing file, extension not in the table, no reader,
// unreadable file, zero length). stream: an open stream on that file or
// nullptr; a stream without a file handle counts as none. noexcept.
std::int32_t GetFileDuration(const std::string& markedName, TVRNFileStream* stream = nullptr) noexcept;

} // namespace zd
