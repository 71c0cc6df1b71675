// GetIntSetting: locale settings of the current user, read from the C
// library's locale data and answered in the form of the Windows locale API.
#include "helvex1.h"

#include <langinfo.h>
#include <locale.h>

#include <cstring>
#include <optional>
#include <string>

namespace {

constexpr size_t kMaxText = 255;

// The user's locale as the environment names it; a locale this machine does
// not have falls back to "C", as the C library itself does for setlocale.
locale_t userLocale()
{
    locale_t loc = newlocale(LC_ALL_MASK, "", static_cast<locale_t>(nullptr));
    if (!loc)
        loc = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    return loc;
}

std::string info(nl_item item, locale_t loc)
{
    const char *s = nl_langinfo_l(item, loc);
    return s ? std::string(s) : std::string();
}

// Expands the composite conversions that a date picture may use.
std::string expandDateFormat(const std::string &fmt)
{
    std::string out;
    for (size_t i = 0; i < fmt.size(); ++i) {
        if (fmt[i] == '%' && i + 1 < fmt.size()) {
            size_t j = i + 1;
            while (j < fmt.size() && (fmt[j] == 'E' || fmt[j] == 'O' || fmt[j] == '-' || fmt[j] == '_'
                                      || fmt[j] == '0' || fmt[j] == '^' || fmt[j] == '#'))
                ++j;
            if (j >= fmt.size())
                break;
            char c = fmt[j];
            if (c == 'D') {
                out += "%m/%d/%y";
            } else if (c == 'F') {
                out += "%Y-%m-%d";
            } else {
                out += '%';
                out += c;
            }
            i = j;
        } else {
            out += fmt[i];
        }
    }
    return out;
}

enum class Field { Day, Month, Year, Other };

Field fieldOf(char c)
{
    switch (c) {
    case 'd':
    case 'e':
        return Field::Day;
    case 'm':
    case 'b':
    case 'B':
    case 'h':
        return Field::Month;
    case 'y':
    case 'Y':
    case 'C':
    case 'G':
        return Field::Year;
    default:
        return Field::Other;
    }
}

struct DateShape {
    std::string separator; // literal text between the first two fields
    std::string order;     // "0" m-d-y, "1" d-m-y, "2" y-m-d
};

std::optional<DateShape> dateShape(locale_t loc)
{
    const std::string fmt = expandDateFormat(info(D_FMT, loc));
    DateShape shape;
    Field first = Field::Other;
    int fields = 0;
    std::string literal;
    for (size_t i = 0; i < fmt.size(); ++i) {
        if (fmt[i] == '%' && i + 1 < fmt.size()) {
            const Field f = fieldOf(fmt[i + 1]);
            ++i;
            if (f == Field::Other)
                continue;
            if (fields == 0)
                first = f;
            else if (fields == 1)
                shape.separator = literal;
            ++fields;
            literal.clear();
        } else if (fields > 0) {
            literal += fmt[i];
        }
    }
    if (fields < 2)
        return std::nullopt;
    shape.order.assign(1, first == Field::Month ? '0' : first == Field::Day ? '1' : '2');
    return shape;
}

// Converts a strftime picture into the picture letters of the Windows API.
std::string windowsPicture(const std::string &fmt)
{
    std::string out;
    for (size_t i = 0; i < fmt.size(); ++i) {
        if (fmt[i] != '%' || i + 1 >= fmt.size()) {
            out += fmt[i];
            continue;
        }
        switch (fmt[++i]) {
        case 'd': out += "dd"; break;
        case 'e': out += "d"; break;
        case 'm': out += "MM"; break;
        case 'b':
        case 'h': out += "MMM"; break;
        case 'B': out += "MMMM"; break;
        case 'y': out += "yy"; break;
        case 'Y': out += "yyyy"; break;
        case 'a': out += "ddd"; break;
        case 'A': out += "dddd"; break;
        case 'H': out += "HH"; break;
        case 'k': out += "H"; break;
        case 'I': out += "hh"; break;
        case 'l': out += "h"; break;
        case 'M': out += "mm"; break;
        case 'S': out += "ss"; break;
        case 'p': out += "tt"; break;
        case 'T': out += "HH:mm:ss"; break;
        case 'R': out += "HH:mm"; break;
        case '%': out += "%"; break;
        default: break;
        }
    }
    return out;
}

std::string timeSeparator(locale_t loc)
{
    const std::string fmt = windowsPicture(expandDateFormat(info(T_FMT, loc)));
    // The text between the hour and the minutes.
    const size_t h = fmt.find_first_of("Hh");
    if (h == std::string::npos)
        return ":";
    size_t i = h;
    while (i < fmt.size() && (fmt[i] == 'H' || fmt[i] == 'h'))
        ++i;
    const size_t m = fmt.find('m', i);
    return m == std::string::npos ? std::string(":") : fmt.substr(i, m - i);
}

std::optional<std::string> settingText(uint32_t code, locale_t loc)
{
    if (code >= HX_LOCALE_SDAYNAME1 && code < HX_LOCALE_SDAYNAME1 + 7) {
        // Windows counts from Monday, the C library from Sunday.
        return info(static_cast<nl_item>(DAY_1 + (code - HX_LOCALE_SDAYNAME1 + 1) % 7), loc);
    }
    if (code >= HX_LOCALE_SABBREVDAYNAME1 && code < HX_LOCALE_SABBREVDAYNAME1 + 7)
        return info(static_cast<nl_item>(ABDAY_1 + (code - HX_LOCALE_SABBREVDAYNAME1 + 1) % 7), loc);
    if (code >= HX_LOCALE_SMONTHNAME1 && code < HX_LOCALE_SMONTHNAME1 + 12)
        return info(static_cast<nl_item>(MON_1 + (code - HX_LOCALE_SMONTHNAME1)), loc);
    if (code >= HX_LOCALE_SABBREVMONTHNAME1 && code < HX_LOCALE_SABBREVMONTHNAME1 + 12)
        return info(static_cast<nl_item>(ABMON_1 + (code - HX_LOCALE_SABBREVMONTHNAME1)), loc);

    switch (code) {
    case HX_LOCALE_SDATE:
    case HX_LOCALE_IDATE: {
        const auto shape = dateShape(loc);
        if (!shape)
            return code == HX_LOCALE_SDATE ? std::string("/") : std::string("0");
        return code == HX_LOCALE_SDATE ? shape->separator : shape->order;
    }
    case HX_LOCALE_SSHORTDATE:
        return windowsPicture(expandDateFormat(info(D_FMT, loc)));
    case HX_LOCALE_STIMEFORMAT:
        return windowsPicture(expandDateFormat(info(T_FMT, loc)));
    case HX_LOCALE_STIME:
        return timeSeparator(loc);
    case HX_LOCALE_ITIME: {
        const std::string fmt = expandDateFormat(info(T_FMT, loc));
        const bool twelve = fmt.find("%I") != std::string::npos || fmt.find("%l") != std::string::npos
                            || fmt.find("%r") != std::string::npos;
        return std::string(twelve ? "0" : "1");
    }
    case HX_LOCALE_S1159:
        return info(AM_STR, loc);
    case HX_LOCALE_S2359:
        return info(PM_STR, loc);
    case HX_LOCALE_SDECIMAL:
        return info(RADIXCHAR, loc);
    case HX_LOCALE_STHOUSAND:
        return info(THOUSEP, loc);
    case HX_LOCALE_SCURRENCY: {
        // CRNCYSTR carries a position mark in front of the symbol.
        std::string s = info(CRNCYSTR, loc);
        if (!s.empty() && (s[0] == '-' || s[0] == '+' || s[0] == '.'))
            s.erase(0, 1);
        return s;
    }
    default:
        return std::nullopt;
    }
}

} // namespace

extern "C" HELVEX1_API int32_t GetIntSetting(uint32_t code, char *buffer, int32_t /*length*/)
{
    if (!buffer)
        return HX_FAILURE;
    locale_t loc = userLocale();
    if (!loc)
        return HX_FAILURE;
    const std::optional<std::string> text = settingText(code, loc);
    freelocale(loc);
    if (!text)
        return HX_FAILURE;
    if (text->size() > kMaxText)
        return HX_BUFFER_TOO_SMALL;
    std::memcpy(buffer, text->c_str(), text->size() + 1);
    return HX_SUCCESS;
}
