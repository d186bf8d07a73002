#pragma once

#include <string>
#include <string_view>

namespace zd {

// Marked text: an 8-bit text whose first byte is 0x7F carries UTF-8 after
// that byte; any other text is in the configured single-byte code page
// (see CodePage.hpp). File names, paths and tag values travel in this form.
// These are pure functions; none throws apart from allocation.

inline constexpr char kTextMarker = '\x7F';

// True when the first byte is 0x7F.
bool IsMarked(std::string_view text) noexcept;

// True when any byte is 0x80 or above; false for an empty text.
bool HasHighBytes(std::string_view text) noexcept;

// "\x7F" + text when the text has high bytes, else the text unchanged. For a
// text that is already UTF-8.
std::string MarkIfHigh(std::string_view text);

// The wide form of a marked or plain text. A marked text whose rest is empty
// or not valid UTF-8 is read as code-page bytes after the marker.
std::u16string MarkedToWide(std::string_view text);

// The plain form when the text is pure ASCII or already carries the marker
// in the code page, else "\x7F" + UTF-8.
std::string WideToMarked(std::u16string_view wide);

// The text in the configured code page when it holds every character,
// else "\x7F" + UTF-8: how texts that are not file names or tag values go
// out (locale names, accounts).
std::string WideToAnsiOrMarked(std::u16string_view wide);

// The UTF-8 form of a marked or plain text (MarkedToWide, then UTF-8).
std::string MarkedToUtf8(std::string_view text);

// Tells whether part occurs in text, both taken as marked text and folded to
// lower case. An empty part occurs in every text.
bool ContainsText(std::string_view text, std::string_view part);

} // namespace zd
