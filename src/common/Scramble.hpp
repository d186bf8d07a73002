#pragma once

#include <string>
#include <string_view>

namespace zd {

// Byte substitution for passwords kept in the configuration file and for
// credentials. Encoding maps 26 to "3", 25 to "D", 24 to ">" and any other
// byte b to b + 4 (mod 256); decoding reverses it ("3" to 26, "D" to 25, ">"
// to 24, others b - 4). The three bytes whose b + 4 would collide with those
// ("/", "@", ":") are written as 30, 29, 28 instead, so every text decodes to
// itself. The result has the same length. noexcept apart from allocation.
std::string Scramble(std::string_view text, bool decode);

} // namespace zd
