#include "server/LocaleFormats.hpp"

#include "common/CodePage.hpp"
#include "common/MarkedText.hpp"

#include <climits>
#include <clocale>
#include <cstdio>
#include <langinfo.h>
#include <locale.h>

namespace zd {

namespace {

// Owns a locale object and makes it the calling thread's locale while alive,
// so that nl_langinfo and localeconv read it without touching the global one.
class ThreadLocale {
public:
    ThreadLocale() : locale_(::newlocale(LC_ALL_MASK, "", nullptr))
    {
        if (locale_ == nullptr)
            locale_ = ::newlocale(LC_ALL_MASK, "C", nullptr);
        if (locale_ != nullptr)
            previous_ = ::uselocale(locale_);
    }
    ~ThreadLocale()
    {
        if (locale_ != nullptr) {
            ::uselocale(previous_);
            ::freelocale(locale_);
        }
    }
    ThreadLocale(const ThreadLocale&) = delete;
    ThreadLocale& operator=(const ThreadLocale&) = delete;

private:
    locale_t locale_;
    locale_t previous_ = LC_GLOBAL_LOCALE;
};

// A text of the current locale in UTF-8, the form LocaleFormats keeps.
std::string LocaleText(const char* text)
{
    if (text == nullptr)
        return {};
    const char* codeset = ::nl_langinfo(CODESET);
    if (codeset == nullptr || std::string_view(codeset) == "UTF-8")
        return text;
    return WideToUtf8(CharsetToWide(text, codeset));
}

std::string Info(nl_item item)
{
    return LocaleText(::nl_langinfo(item));
}

void KeepIfSet(std::string& field, const char* value)
{
    if (value != nullptr && *value != '\0')
        field = LocaleText(value);
}

bool Set(char value) { return value != CHAR_MAX; }

int NegativeCurrencyFormat(char precedes, char space, char position)
{
    const bool before = Set(precedes) ? precedes != 0 : true;
    const bool spaced = Set(space) ? space != 0 : false;
    const int sign = Set(position) ? position : 1;
    // Rows: symbol before / after, without / with space; columns: the sign
    // position 0 (parentheses) to 4 (after the symbol).
    static constexpr int kTable[2][2][5] = {
        {{4, 5, 7, 6, 7}, {15, 8, 10, 13, 10}},
        {{0, 1, 3, 1, 2}, {14, 9, 11, 9, 12}},
    };
    return kTable[before ? 1 : 0][spaced ? 1 : 0][sign >= 0 && sign <= 4 ? sign : 1];
}

std::string FirstSeparator(std::string_view picture, std::string_view letters, std::string fallback)
{
    bool seenField = false;
    bool quoted = false;
    for (char c : picture) {
        if (c == '\'' || c == '"') {
            quoted = !quoted;
            continue;
        }
        if (quoted)
            continue;
        if (letters.find(c) != std::string_view::npos)
            seenField = true;
        else if (seenField && c != ' ')
            return std::string(1, c);
    }
    return fallback;
}

// "dddd, MMMM d, yyyy" in the order the short date gives day, month, year.
std::string LongDateFrom(std::string_view shortDate)
{
    const auto day = shortDate.find('d');
    const auto month = shortDate.find('M');
    const auto year = shortDate.find('y');
    if (year != std::string_view::npos && (month == std::string_view::npos || year < month))
        return "yyyy MMMM d";
    if (day != std::string_view::npos && month != std::string_view::npos && day < month)
        return "dddd, d MMMM yyyy";
    return "dddd, MMMM d, yyyy";
}

std::string WithoutSeconds(std::string picture)
{
    const auto at = picture.find("ss");
    if (at == std::string::npos)
        return picture;
    std::size_t from = at;
    if (from > 0 && picture[from - 1] != ' ' && picture[from - 1] != 'm')
        --from; // the separator before the seconds
    picture.erase(from, at + 2 - from);
    return picture;
}

void AppendNumber(std::string& out, int value, int digits)
{
    char text[16];
    std::snprintf(text, sizeof text, "%0*d", digits, value);
    out += text;
}

// The picture goes on with "AMPM" in any letter case.
bool IsAmPm(std::string_view rest) noexcept
{
    constexpr std::string_view kWord = "ampm";
    if (rest.size() < kWord.size())
        return false;
    for (std::size_t i = 0; i < kWord.size(); ++i)
        if ((rest[i] | 0x20) != kWord[i])
            return false;
    return true;
}

std::size_t RunLength(std::string_view picture, std::size_t at)
{
    std::size_t n = 1;
    while (at + n < picture.size() && picture[at + n] == picture[at])
        ++n;
    return n;
}

} // namespace

std::vector<std::string> LocaleFormats::ReplyLines() const
{
    // 8-bit texts on the wire are in the code page, marked where it cannot
    // hold them.
    const auto wire = [](const std::string& text) { return WideToAnsiOrMarked(Utf8OrAnsiToWide(text)); };
    std::vector<std::string> lines = {
        std::to_string(CurrencyFormat), std::to_string(NegCurrFormat), ThousandSeparator,
        DecimalSeparator, std::to_string(CurrencyDecimals), DateSeparator, TimeSeparator,
        ListSeparator, CurrencyString, ShortDateFormat, LongDateFormat, TimeAMString,
        TimePMString, ShortTimeFormat, LongTimeFormat,
    };
    lines.insert(lines.end(), ShortMonthNames.begin(), ShortMonthNames.end());
    lines.insert(lines.end(), LongMonthNames.begin(), LongMonthNames.end());
    lines.insert(lines.end(), ShortDayNames.begin(), ShortDayNames.end());
    lines.insert(lines.end(), LongDayNames.begin(), LongDayNames.end());
    std::vector<std::string> sent;
    sent.reserve(lines.size() + 1);
    for (const std::string& line : lines)
        sent.push_back(wire(line));
    sent.push_back(std::to_string(TwoDigitYearCenturyWindow));
    return sent;
}

std::string PictureFromStrftime(std::string_view format, std::string_view ampmFormat)
{
    std::string out;
    for (std::size_t i = 0; i < format.size(); ++i) {
        char c = format[i];
        if (c != '%' || i + 1 >= format.size()) {
            out += c;
            continue;
        }
        c = format[++i];
        while ((c == 'E' || c == 'O' || c == '-' || c == '_' || c == '0' || c == '^' || c == '#')
               && i + 1 < format.size())
            c = format[++i];
        switch (c) {
        case 'd': out += "dd"; break;
        case 'e': out += "d"; break;
        case 'm': out += "MM"; break;
        case 'b': case 'h': out += "MMM"; break;
        case 'B': out += "MMMM"; break;
        case 'a': out += "ddd"; break;
        case 'A': out += "dddd"; break;
        case 'y': out += "yy"; break;
        case 'Y': case 'C': out += "yyyy"; break;
        case 'H': out += "HH"; break;
        case 'k': out += "H"; break;
        case 'I': out += "hh"; break;
        case 'l': out += "h"; break;
        case 'M': out += "mm"; break;
        case 'S': out += "ss"; break;
        case 'p': case 'P': out += "AMPM"; break;
        case 'T': out += "HH:mm:ss"; break;
        case 'R': out += "HH:mm"; break;
        case 'D': out += "MM/dd/yy"; break;
        case 'F': out += "yyyy-MM-dd"; break;
        case 'r':
            out += ampmFormat.empty() ? std::string("hh:mm:ss AMPM") : PictureFromStrftime(ampmFormat);
            break;
        case 'n': out += ' '; break;
        case 't': out += ' '; break;
        case '%': out += '%'; break;
        default: break; // fields the pictures have no letter for (zone, week) are left out
        }
    }
    // Fields left out may leave spaces at the ends.
    const auto first = out.find_first_not_of(' ');
    if (first == std::string::npos)
        return {};
    return out.substr(first, out.find_last_not_of(' ') - first + 1);
}

LocaleFormats CaptureLocaleFormats()
{
    LocaleFormats formats;
    ThreadLocale scope;

    const lconv* conv = ::localeconv();
    if (conv != nullptr) {
        KeepIfSet(formats.DecimalSeparator, conv->decimal_point);
        KeepIfSet(formats.ThousandSeparator, conv->mon_thousands_sep);
        KeepIfSet(formats.ThousandSeparator, conv->thousands_sep);
        KeepIfSet(formats.CurrencyString, conv->currency_symbol);
        if (Set(conv->frac_digits))
            formats.CurrencyDecimals = conv->frac_digits;
        const bool before = Set(conv->p_cs_precedes) ? conv->p_cs_precedes != 0 : true;
        const bool spaced = Set(conv->p_sep_by_space) ? conv->p_sep_by_space != 0 : false;
        formats.CurrencyFormat = (before ? 0 : 1) + (spaced ? 2 : 0);
        formats.NegCurrFormat = NegativeCurrencyFormat(conv->n_cs_precedes, conv->n_sep_by_space,
                                                       conv->n_sign_posn);
    }
    const char listSeparator = formats.DecimalSeparator == "," ? ';' : ',';
    formats.ListSeparator.assign(1, listSeparator);

    const std::string ampm = Info(T_FMT_AMPM);
    const std::string shortDate = PictureFromStrftime(Info(D_FMT), ampm);
    if (!shortDate.empty()) {
        formats.ShortDateFormat = shortDate;
        formats.LongDateFormat = LongDateFrom(shortDate);
    }
    formats.DateSeparator = FirstSeparator(formats.ShortDateFormat, "dMy", formats.DateSeparator);
    const std::string longTime = PictureFromStrftime(Info(T_FMT), ampm);
    if (!longTime.empty()) {
        formats.LongTimeFormat = longTime;
        formats.ShortTimeFormat = WithoutSeconds(longTime);
    }
    formats.TimeSeparator = FirstSeparator(formats.LongTimeFormat, "hHms", formats.TimeSeparator);
    KeepIfSet(formats.TimeAMString, ::nl_langinfo(AM_STR));
    KeepIfSet(formats.TimePMString, ::nl_langinfo(PM_STR));

    static constexpr nl_item kShortMonths[12] = {ABMON_1, ABMON_2, ABMON_3, ABMON_4, ABMON_5, ABMON_6,
                                                 ABMON_7, ABMON_8, ABMON_9, ABMON_10, ABMON_11, ABMON_12};
    static constexpr nl_item kLongMonths[12] = {MON_1, MON_2, MON_3, MON_4, MON_5, MON_6,
                                                MON_7, MON_8, MON_9, MON_10, MON_11, MON_12};
    static constexpr nl_item kShortDays[7] = {ABDAY_1, ABDAY_2, ABDAY_3, ABDAY_4, ABDAY_5, ABDAY_6, ABDAY_7};
    static constexpr nl_item kLongDays[7] = {DAY_1, DAY_2, DAY_3, DAY_4, DAY_5, DAY_6, DAY_7};
    for (std::size_t i = 0; i < 12; ++i) {
        formats.ShortMonthNames[i] = Info(kShortMonths[i]);
        formats.LongMonthNames[i] = Info(kLongMonths[i]);
    }
    for (std::size_t i = 0; i < 7; ++i) {
        formats.ShortDayNames[i] = Info(kShortDays[i]);
        formats.LongDayNames[i] = Info(kLongDays[i]);
    }
    return formats;
}

std::string FormatDatePicture(std::string_view picture, const std::tm& time, const LocaleFormats& formats)
{
    std::string out;
    const int hour12 = time.tm_hour % 12 == 0 ? 12 : time.tm_hour % 12;
    const auto month = static_cast<std::size_t>(time.tm_mon >= 0 && time.tm_mon < 12 ? time.tm_mon : 0);
    const auto weekday = static_cast<std::size_t>(time.tm_wday >= 0 && time.tm_wday < 7 ? time.tm_wday : 0);
    for (std::size_t i = 0; i < picture.size();) {
        const char c = picture[i];
        if (c == '\'' || c == '"') {
            const auto end = picture.find(c, i + 1);
            const auto stop = end == std::string_view::npos ? picture.size() : end;
            out.append(picture.substr(i + 1, stop - i - 1));
            i = stop + 1;
            continue;
        }
        if (IsAmPm(picture.substr(i))) {
            out += time.tm_hour < 12 ? formats.TimeAMString : formats.TimePMString;
            i += 4;
            continue;
        }
        const std::size_t n = RunLength(picture, i);
        switch (c) {
        case 'd':
            if (n >= 4) out += formats.LongDayNames[weekday];
            else if (n == 3) out += formats.ShortDayNames[weekday];
            else AppendNumber(out, time.tm_mday, static_cast<int>(n));
            break;
        case 'M':
            if (n >= 4) out += formats.LongMonthNames[month];
            else if (n == 3) out += formats.ShortMonthNames[month];
            else AppendNumber(out, time.tm_mon + 1, static_cast<int>(n));
            break;
        case 'y':
            if (n <= 2) AppendNumber(out, (time.tm_year + 1900) % 100, 2);
            else AppendNumber(out, time.tm_year + 1900, 4);
            break;
        case 'h': AppendNumber(out, hour12, n >= 2 ? 2 : 1); break;
        case 'H': AppendNumber(out, time.tm_hour, n >= 2 ? 2 : 1); break;
        case 'm': AppendNumber(out, time.tm_min, n >= 2 ? 2 : 1); break;
        case 's': AppendNumber(out, time.tm_sec, n >= 2 ? 2 : 1); break;
        case 't': {
            const std::string& designator = time.tm_hour < 12 ? formats.TimeAMString : formats.TimePMString;
            out += n >= 2 ? designator : designator.substr(0, 1);
            break;
        }
        default: out.append(n, c); break;
        }
        i += n;
    }
    return out;
}

} // namespace zd
