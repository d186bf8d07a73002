#include "common/Translate.hpp"

#include <libintl.h>

#include <charconv>
#include <vector>

namespace zd {

namespace {
constexpr const char* kDomain = "Vornelle";

std::string ArgText(const FormatArg& arg)
{
    if (const auto* text = std::get_if<std::string>(&arg))
        return *text;
    return std::to_string(std::get<std::int64_t>(arg));
}
} // namespace

void BindCatalogue(const std::string& folder)
{
    bindtextdomain(kDomain, folder.c_str());
    // Texts pass through unchanged as 8-bit: no conversion of the catalogue.
    bind_textdomain_codeset(kDomain, "UTF-8");
    textdomain(kDomain);
}

std::string Tr(const char* text)
{
    if (text == nullptr || *text == '\0')
        return {};
    return dgettext(kDomain, text);
}

std::string Format(std::string_view pattern, std::initializer_list<FormatArg> args)
{
    const std::vector<FormatArg> list(args);
    std::string out;
    out.reserve(pattern.size() + 32);
    std::size_t next = 0;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        const char c = pattern[i];
        if (c != '%' || i + 1 >= pattern.size()) {
            out += c;
            continue;
        }
        if (pattern[i + 1] == '%') {
            out += '%';
            ++i;
            continue;
        }
        // %[index:]type with type s or d.
        std::size_t j = i + 1;
        std::size_t index = next;
        std::size_t digitsEnd = j;
        while (digitsEnd < pattern.size() && pattern[digitsEnd] >= '0' && pattern[digitsEnd] <= '9')
            ++digitsEnd;
        if (digitsEnd > j && digitsEnd < pattern.size() && pattern[digitsEnd] == ':') {
            std::from_chars(pattern.data() + j, pattern.data() + digitsEnd, index);
            j = digitsEnd + 1;
        }
        if (j < pattern.size() && (pattern[j] == 's' || pattern[j] == 'd') && index < list.size()) {
            out += ArgText(list[index]);
            next = index + 1;
            i = j;
            continue;
        }
        out += c;
    }
    return out;
}

std::string TrFormat(const char* pattern, std::initializer_list<FormatArg> args)
{
    return Format(Tr(pattern), args);
}

} // namespace zd
