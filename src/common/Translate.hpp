#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <variant>

namespace zd {

// Binds the message catalogue domain "Vornelle" to the given folder (the
// installation's "locale" folder) and selects it. Call once at start-up.
void BindCatalogue(const std::string& folder);

// The translation of a log or interface text through the message catalogue;
// the text itself when there is none. Safe from any thread.
std::string Tr(const char* text);

// One argument of Format: a text or a whole number.
using FormatArg = std::variant<std::string, std::int64_t>;

// Fills a pattern in the "%0:s %1:s %2:d" style (and the sequential "%s",
// "%d"; "%%" is a percent sign). A missing argument leaves the specifier as
// written. noexcept apart from allocation.
std::string Format(std::string_view pattern, std::initializer_list<FormatArg> args);

// Tr then Format: the usual way to build a log line.
std::string TrFormat(const char* pattern, std::initializer_list<FormatArg> args);

} // namespace zd
