#pragma once

#include <string>
#include <string_view>

namespace zd {

// Base64 with the standard alphabet and "=" padding. noexcept apart from
// allocation.
std::string Base64Encode(std::string_view bytes);
// Decodes up to the first "=" or the end; characters outside the alphabet
// are skipped, so malformed input gives some bytes, never an error.
std::string Base64Decode(std::string_view text);

} // namespace zd
