#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "audio/tags/TTags.hpp"

namespace zd {

// Text rules of the tag store. All noexcept apart from allocation.

// Removes control characters, except that LF becomes byte 2 and CR byte 1;
// '"' becomes '\'' and '|' becomes '-'. A NUL ends the text once a character
// has been kept (leading NULs are skipped).
std::string CleanTagText(std::string_view text);

// True for the names of binary fields: those beginning with "X" or "x".
bool IsBinaryName(std::string_view name) noexcept;

// True when an item read from a file is binary: by its name, or by its flags
// (FlagsLow not 0, or FlagsHigh neither 0 nor 128).
bool IsBinaryItem(std::string_view name, std::uint8_t flagsLow, std::uint8_t flagsHigh) noexcept;

// A text item's value as read from a file, in marked form: UTF-8 (with or
// without a leading 0x7F) stays UTF-8 behind the marker; code-page bytes are
// converted. A value without high bytes is returned unchanged.
std::string ItemTextToMarked(std::string_view value);

// The bytes a field's value takes in the file: binary values (by name or by
// the flags read with them) as they are; texts with high bytes or the marker
// as plain UTF-8 (the item text encoding of the tag format, read back as the
// same marked text).
std::string StoredBytesOf(const TTags& field);

// Cuts a marked or plain text to at most maxChars characters (UTF-8
// sequences are kept whole).
std::string CutToChars(std::string_view text, std::size_t maxChars);

// True when a name can be a field key: 2 to 255 printable ASCII characters.
bool IsValidTagName(std::string_view name) noexcept;

} // namespace zd
