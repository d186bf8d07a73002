#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <functional>
#include <string_view>
#include <vector>

namespace zd {

// The block-wise merge of a playlist save. A playlist is a sequence of text
// lines; a line that begins with "B," starts a block, blocks are numbered 0,
// 1, 2 ... in file order, and the lines before the first "B," line (the head)
// belong to no block. The client sends the lines of the blocks it changed;
// the merge copies everything else from the old content.

// The text of a save body: its bytes up to the first NUL byte (all of them
// when there is none). noexcept.
std::string_view PlaylistBodyText(std::string_view body) noexcept;

// Splits a text into lines at CR LF, LF or CR. A last line without a line
// end counts; no line is made after a final line end. The views point into
// `text`. Never throws apart from allocation.
std::vector<std::string_view> SplitPlaylistLines(std::string_view text);

// The same lines handed one at a time to `line` until it returns false, so
// a long text never costs a list of its lines; false when `line` stopped.
// Throws what `line` throws.
bool ForEachPlaylistLine(std::string_view text, const std::function<bool(std::string_view)>& line);

// True when the line starts a block ("B," at its start). noexcept.
bool IsBlockStart(std::string_view line) noexcept;

enum class BodyLineKind { Header, EndMarker, Block };

// One line of a save body: a four-character prefix and the rest.
struct BodyLine {
    BodyLineKind kind;
    int number;            // block number (9999 for the end marker, 0 for a header)
    std::string_view rest; // characters 5 to 8195 of the line
};

inline constexpr std::size_t kBodyPrefixLength = 4;
inline constexpr std::size_t kBodyRestLength = 8191;
inline constexpr int kEndMarkerNumber = 9999;

// Classifies a body line: prefix "00-1" is a header naming the playlist, a
// prefix whose number (TextToIntDef0) is 9999 is the end marker carrying the
// count of block lines, any other line is a block line for the block its
// prefix names (a prefix that is not a number names block 0). noexcept.
BodyLine ClassifyBodyLine(std::string_view line) noexcept;

// The merge position over the old lines of the playlist being saved. It
// refers to the fields of the save state kept by the saving user.
struct MergeCursor {
    std::span<const std::string_view> oldLines;
    int& oldLineIndex; // next old line not yet copied or skipped
    int& blockCount;   // last block whose "B," line was copied; -1 before
    int& lastBlock;    // block of the last client line written; -1 before
    int& linesWritten; // client lines written
};

// Resets the cursor for a freshly opened playlist. noexcept.
void ResetMergeCursor(MergeCursor& cursor) noexcept;

// Brings the output up to block n (n >= 0; the end marker uses 9999): when a
// client block was written before and n lies beyond it, drops the rest of
// that old block (up to the next "B," line); then copies old lines, each with
// CR LF, up to and including the "B," line of block n, or all that remain.
// Appends to `out`. Never throws apart from allocation.
void CopyOldLinesUpTo(MergeCursor& cursor, int n, std::string& out);

// Writes one client line with CR LF and counts it for the block reached.
// Never throws apart from allocation.
void WriteClientLine(MergeCursor& cursor, std::string_view rest, std::string& out);

// The old lines of a playlist as read from its file. Never throws apart
// from allocation.
std::vector<std::string> ReadPlaylistLines(std::string_view content);

// The lines joined, each followed by CR LF: how a playlist is written back.
// Never throws apart from allocation.
std::string JoinPlaylistLines(const std::vector<std::string>& lines);

} // namespace zd
