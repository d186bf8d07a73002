#include "common/Scramble.hpp"

namespace zd {

// The plain substitution is not one-to-one: "/" + 4 and 26 both give "3"
// (likewise "@" and 25, ":" and 24), and the reverse loses bytes 28 to 30.
// Those six bytes are paired up instead (47 <-> 30, 64 <-> 29, 58 <-> 28), so
// every text comes back in either order. Texts made by the plain form never
// hold the paired bytes, so stored passwords and client credentials read as
// before.
std::string Scramble(std::string_view text, bool decode)
{
    std::string out(text);
    for (auto& c : out) {
        const auto b = static_cast<unsigned char>(c);
        unsigned char r = 0;
        if (!decode) {
            switch (b) {
            case 26: r = '3'; break;
            case 25: r = 'D'; break;
            case 24: r = '>'; break;
            case '3' - 4: r = 30; break;
            case 'D' - 4: r = 29; break;
            case '>' - 4: r = 28; break;
            default: r = static_cast<unsigned char>(b + 4); break;
            }
        } else {
            switch (b) {
            case '3': r = 26; break;
            case 'D': r = 25; break;
            case '>': r = 24; break;
            case 30: r = '3' - 4; break;
            case 29: r = 'D' - 4; break;
            case 28: r = '>' - 4; break;
            default: r = static_cast<unsigned char>(b - 4); break;
            }
        }
        c = static_cast<char>(r);
    }
    return out;
}

} // namespace zd
