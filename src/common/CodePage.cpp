#include "common/CodePage.hpp"

#include "lib/iconv/Iconv.hpp"

#include <cerrno>
#include <clocale>
#include <cstdlib>
#include <cwctype>
#include <locale.h>
#include <map>
#include <memory>

namespace zd {

namespace {

// One iconv descriptor per direction and thread: descriptors keep state and
// are not to be shared between threads.
Iconv& ConverterFor(const std::string& to, const std::string& from)
{
    thread_local std::map<std::pair<std::string, std::string>, std::unique_ptr<Iconv>> cache;
    auto& slot = cache[{to, from}];
    if (!slot)
        slot = std::make_unique<Iconv>(to, from);
    return *slot;
}

bool IsValidCodePageName(const std::string& name)
{
    return Iconv("UTF-16LE", name).IsOpen();
}

std::string CodePageName(unsigned number)
{
    switch (number) {
    case 65001: return "UTF-8";
    case 20127: return "ASCII";
    case 1200: return "UTF-16LE";
    case 1201: return "UTF-16BE";
    case 20866: return "KOI8-R";
    case 21866: return "KOI8-U";
    default: break;
    }
    if (number >= 28591 && number <= 28605)
        return "ISO-8859-" + std::to_string(number - 28590);
    return "CP" + std::to_string(number);
}

std::string FindConfiguredCodePage()
{
    const char* value = std::getenv("ZODAVIZI_CODEPAGE");
    if (value != nullptr && *value != '\0') {
        std::string name = value;
        char* end = nullptr;
        const unsigned long number = std::strtoul(value, &end, 10);
        if (end != value && *end == '\0')
            name = CodePageName(static_cast<unsigned>(number));
        if (IsValidCodePageName(name))
            return name;
    }
    return "CP1252";
}

std::u16string FromUtf16Bytes(const std::string& bytes)
{
    std::u16string out(bytes.size() / 2, u'\0');
    for (std::size_t i = 0; i < out.size(); ++i)
        out[i] = static_cast<char16_t>(static_cast<unsigned char>(bytes[2 * i])
            | (static_cast<unsigned char>(bytes[2 * i + 1]) << 8));
    return out;
}

std::string ToUtf16Bytes(std::u16string_view wide)
{
    std::string bytes(wide.size() * 2, '\0');
    for (std::size_t i = 0; i < wide.size(); ++i) {
        bytes[2 * i] = static_cast<char>(wide[i] & 0xFF);
        bytes[2 * i + 1] = static_cast<char>(wide[i] >> 8);
    }
    return bytes;
}

// Decodes 8-bit text of a single-byte code page; bytes it leaves undefined
// keep their value as code point.
std::u16string SingleByteToWide(std::string_view text, const std::string& codePage)
{
    Iconv& conv = ConverterFor("UTF-16LE", codePage);
    if (!conv.IsOpen())
        return std::u16string(text.begin(), text.end());
    std::string bytes;
    const char* in = text.data();
    std::size_t left = text.size();
    while (!conv.Step(in, left, bytes)) {
        const auto b = static_cast<unsigned char>(*in);
        bytes += static_cast<char>(b);
        bytes += '\0';
        ++in;
        --left;
    }
    return FromUtf16Bytes(bytes);
}

// Encodes wide text; characters the target cannot hold become "?".
std::string WideTo(std::u16string_view wide, const std::string& target)
{
    Iconv& conv = ConverterFor(target, "UTF-16LE");
    const std::string bytes = ToUtf16Bytes(wide);
    if (!conv.IsOpen())
        return {};
    std::string out;
    const char* in = bytes.data();
    std::size_t left = bytes.size();
    while (!conv.Step(in, left, out)) {
        // Skip one character: a surrogate pair or one unit.
        std::size_t skip = 2;
        if (left >= 4) {
            const unsigned unit = static_cast<unsigned char>(in[0]) | (static_cast<unsigned char>(in[1]) << 8);
            const unsigned next = static_cast<unsigned char>(in[2]) | (static_cast<unsigned char>(in[3]) << 8);
            if (unit >= 0xD800 && unit < 0xDC00 && next >= 0xDC00 && next < 0xE000)
                skip = 4;
        }
        skip = std::min(skip, left);
        in += skip;
        left -= skip;
        out += '?';
    }
    return out;
}

locale_t Utf8Locale()
{
    static const locale_t locale = [] {
        locale_t l = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
        if (l == static_cast<locale_t>(nullptr))
            l = newlocale(LC_CTYPE_MASK, "en_US.UTF-8", static_cast<locale_t>(nullptr));
        return l;
    }();
    return locale;
}

bool IsAscii(std::string_view text) noexcept
{
    for (const char c : text)
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    return true;
}

bool IsAscii(std::u16string_view wide) noexcept
{
    for (const char16_t c : wide)
        if (c >= 0x80)
            return false;
    return true;
}

// ASCII is the same in every code page this system uses: no conversion.
std::u16string WidenAscii(std::string_view text)
{
    return std::u16string(text.begin(), text.end());
}

std::string NarrowAscii(std::u16string_view wide)
{
    std::string out(wide.size(), '\0');
    for (std::size_t i = 0; i < wide.size(); ++i)
        out[i] = static_cast<char>(wide[i]);
    return out;
}

} // namespace

const std::string& ConfiguredCodePage() noexcept
{
    static const std::string name = FindConfiguredCodePage();
    return name;
}

std::u16string AnsiToWide(std::string_view text)
{
    if (IsAscii(text))
        return WidenAscii(text);
    return SingleByteToWide(text, ConfiguredCodePage());
}

std::string WideToAnsi(std::u16string_view wide)
{
    if (IsAscii(wide))
        return NarrowAscii(wide);
    return WideTo(wide, ConfiguredCodePage());
}

std::optional<std::u16string> Utf8ToWide(std::string_view text)
{
    if (IsAscii(text))
        return WidenAscii(text);
    Iconv& conv = ConverterFor("UTF-16LE", "UTF-8");
    if (!conv.IsOpen())
        return std::nullopt;
    std::string bytes;
    const char* in = text.data();
    std::size_t left = text.size();
    if (!conv.Step(in, left, bytes))
        return std::nullopt;
    return FromUtf16Bytes(bytes);
}

std::string WideToUtf8(std::u16string_view wide)
{
    std::string out;
    out.reserve(wide.size());
    for (std::size_t i = 0; i < wide.size(); ++i) {
        char32_t c = wide[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < wide.size() && wide[i + 1] >= 0xDC00 && wide[i + 1] < 0xE000) {
            c = 0x10000 + ((c - 0xD800) << 10) + (wide[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c < 0xE000) {
            c = 0xFFFD;
        }
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

std::u16string Utf8OrAnsiToWide(std::string_view text)
{
    auto wide = Utf8ToWide(text);
    if (wide && !wide->empty())
        return *wide;
    return AnsiToWide(text);
}

std::string WideToCodePage(std::u16string_view wide, unsigned codePage)
{
    const std::string name = CodePageName(codePage);
    if (name == "UTF-8")
        return WideToUtf8(wide);
    if (!IsValidCodePageName(name))
        return WideToAnsi(wide);
    return WideTo(wide, name);
}

std::u16string CharsetToWide(std::string_view text, const std::string& charset)
{
    return SingleByteToWide(text, charset);
}

std::u16string WideLower(std::u16string_view wide)
{
    std::u16string out(wide);
    const locale_t locale = Utf8Locale();
    for (auto& c : out) {
        if (c < 0x80) {
            if (c >= u'A' && c <= u'Z')
                c = static_cast<char16_t>(c + 32);
        } else if ((c < 0xD800 || c >= 0xE000) && locale != static_cast<locale_t>(nullptr)) {
            const wint_t lower = towlower_l(static_cast<wint_t>(c), locale);
            if (lower < 0x10000)
                c = static_cast<char16_t>(lower);
        }
    }
    return out;
}

} // namespace zd
