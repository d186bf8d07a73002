#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace zd {

// Conversions between the 8-bit texts of the system, UTF-8 and wide
// (UTF-16) texts. Plain 8-bit texts are in the configured single-byte code
// page: Windows-1252, or the one named by the environment variable
// ZODAVIZI_CODEPAGE (a number such as "1250", or an iconv name such as
// "ISO-8859-2"), read once; like every Windows ANSI code page it must keep
// ASCII as it is (pure ASCII texts pass unconverted). All conversions go through iconv and are safe
// from any thread.

// The iconv name of the configured code page ("CP1252"). noexcept.
const std::string& ConfiguredCodePage() noexcept;

// The text of the configured code page as wide text. Bytes the code page
// leaves undefined become the code point of the same value, as the system
// does on Windows. Never throws apart from allocation.
std::u16string AnsiToWide(std::string_view text);

// The wide text in the configured code page; characters it cannot hold
// become "?". Never throws apart from allocation.
std::string WideToAnsi(std::u16string_view wide);

// Decodes UTF-8; nullopt when the bytes are not valid UTF-8. Never throws
// apart from allocation.
std::optional<std::u16string> Utf8ToWide(std::string_view text);

// Encodes as UTF-8; a lone surrogate becomes U+FFFD. Never throws apart from
// allocation.
std::string WideToUtf8(std::u16string_view wide);

// Decodes the text as UTF-8; when that gives nothing (invalid or empty),
// converts it from the configured code page.
std::u16string Utf8OrAnsiToWide(std::string_view text);

// The wide text in the given Windows code page number (1252, 1250, 28591,
// 65001 for UTF-8 ...); characters it cannot hold become "?". An unknown code
// page gives the configured one. Never throws apart from allocation.
std::string WideToCodePage(std::u16string_view wide, unsigned codePage);

// The text in the named iconv character set ("UTF-8", "ISO-8859-15") as
// wide text; bytes it cannot convert keep their value as code point. Never
// throws apart from allocation.
std::u16string CharsetToWide(std::string_view text, const std::string& charset);

// Unicode lower-case folding of each character (simple one-to-one mapping).
std::u16string WideLower(std::u16string_view wide);

} // namespace zd
