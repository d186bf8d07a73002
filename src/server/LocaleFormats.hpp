#pragma once

#include <array>
#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>
#include <vector>

namespace zd {

// The regional formats of the process locale, in the Windows form the
// voice-tracking client expects (pictures such as "dd/MM/yyyy" and
// "h:mm:ss AMPM"). Texts are kept in UTF-8. Captured once at start-up.
struct LocaleFormats {
    int CurrencyFormat = 0;         // 0 "$1", 1 "1$", 2 "$ 1", 3 "1 $"
    int NegCurrFormat = 1;          // 0..15, Windows numbering
    std::string ThousandSeparator = ",";
    std::string DecimalSeparator = ".";
    int CurrencyDecimals = 2;
    std::string DateSeparator = "/";
    std::string TimeSeparator = ":";
    std::string ListSeparator = ",";
    std::string CurrencyString = "$";
    std::string ShortDateFormat = "M/d/yyyy";
    std::string LongDateFormat = "dddd, MMMM d, yyyy";
    std::string TimeAMString = "AM";
    std::string TimePMString = "PM";
    std::string ShortTimeFormat = "h:mm AMPM";
    std::string LongTimeFormat = "h:mm:ss AMPM";
    std::array<std::string, 12> ShortMonthNames{}; // January first
    std::array<std::string, 12> LongMonthNames{};
    std::array<std::string, 7> ShortDayNames{};    // Sunday first
    std::array<std::string, 7> LongDayNames{};
    std::uint16_t TwoDigitYearCenturyWindow = 50;

    // The lines the "Settings" reply sends, in its order: currency format,
    // negative currency format, thousand, decimal, currency decimals, date,
    // time and list separators, currency string, short and long date
    // formats, AM and PM designators, short and long time formats, 12 short
    // and 12 long month names, 7 short and 7 long day names, the two-digit
    // year window. Texts in the code page, marked where it cannot hold
    // them. noexcept apart from allocation.
    std::vector<std::string> ReplyLines() const;
};

// The formats of the process's LC_TIME, LC_NUMERIC and LC_MONETARY locale
// (glibc nl_langinfo/localeconv); what the locale leaves empty keeps the
// defaults above. noexcept apart from allocation.
LocaleFormats CaptureLocaleFormats();

// Converts a strftime-style format ("%d/%m/%Y", "%I:%M:%S %p") to a
// Windows-style picture ("dd/MM/yyyy", "hh:mm:ss AMPM"). noexcept apart from
// allocation.
std::string PictureFromStrftime(std::string_view format, std::string_view ampmFormat = {});

// Formats a date and time with a Windows-style picture: d dd ddd dddd, M MM
// MMM MMMM, yy yyyy, h hh H HH, m mm, s ss, AMPM (the designator), tt; text
// in quotes and any other
// character as written. Names come from `formats`. noexcept apart from
// allocation.
std::string FormatDatePicture(std::string_view picture, const std::tm& time,
                              const LocaleFormats& formats);

} // namespace zd
