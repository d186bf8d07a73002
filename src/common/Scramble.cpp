#include "common/Scramble.hpp"

namespace zd {

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
            default: r = static_cast<unsigned char>(b + 4); break;
            }
        } else {
            switch (b) {
            case '3': r = 26; break;
            case 'D': r = 25; break;
            case '>': r = 24; break;
            default: r = static_cast<unsigned char>(b - 4); break;
            }
        }
        c = static_cast<char>(r);
    }
    return out;
}

} // namespace zd
