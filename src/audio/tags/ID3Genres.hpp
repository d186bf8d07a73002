#pragma once

#include <string_view>

namespace zd {

// Entry n of the ID3v1 genre list (0 "Blues" to 125 "Dance Hall"); empty for
// any other n. noexcept.
std::string_view ID3GenreName(int n) noexcept;

} // namespace zd
