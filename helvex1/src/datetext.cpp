// Date texts of GetFileInfo and GetFileDate.
#include "datetext.h"

#include <cstdio>

namespace helvex1 {

std::string dateText(const std::tm &t)
{
    char text[64];
    std::snprintf(text, sizeof text, "%02d/%02d/%d  %02d:%02d", t.tm_mday, t.tm_mon + 1,
                  t.tm_year + 1900, t.tm_hour, t.tm_min);
    return text;
}

std::string dateText(int64_t secondsSinceEpoch, bool local)
{
    const time_t t = static_cast<time_t>(secondsSinceEpoch);
    std::tm parts{};
    if (!(local ? localtime_r(&t, &parts) : gmtime_r(&t, &parts)))
        return {};
    return dateText(parts);
}

} // namespace helvex1
