// SetNewDate, SetNewTime: set the system clock's date or time of day.
#include "helvex1.h"
#include "platform.h"

#include <ctime>

namespace {

bool isLeap(int year)
{
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

bool validDate(int day, int month, int year)
{
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    // The years a Windows system time can hold.
    if (year < 1601 || year > 30827 || month < 1 || month > 12 || day < 1)
        return false;
    const int last = days[month - 1] + (month == 2 && isLeap(year) ? 1 : 0);
    return day <= last;
}

} // namespace

// Sets the clock to now with some fields of its calendar time changed, in
// UTC (the date) or in local time (the time of day); 1 on success.
template <typename Change>
static int32_t setClockFields(bool utc, Change change)
{
    helvex1::Platform &p = helvex1::platform();
    timespec now{};
    if (p.readClock(&now) != 0)
        return 0;
    std::tm t{};
    if (!(utc ? gmtime_r(&now.tv_sec, &t) : localtime_r(&now.tv_sec, &t)))
        return 0;
    change(t);
    const time_t when = utc ? timegm(&t) : mktime(&t);
    if (when == static_cast<time_t>(-1))
        return 0;
    // Programs that wait for a wall-clock time learn of the change from the
    // kernel (timerfd's cancel-on-set), so there is nothing to announce.
    return p.setClock(timespec{when, now.tv_nsec}) == 0 ? 1 : 0;
}

extern "C" HELVEX1_API int32_t SetNewDate(int32_t day, int32_t month, int32_t year)
{
    if (!validDate(day, month, year))
        return 0;
    return setClockFields(true, [&](std::tm &t) {
        t.tm_mday = day;
        t.tm_mon = month - 1;
        t.tm_year = year - 1900;
    });
}

extern "C" HELVEX1_API int32_t SetNewTime(int32_t hour, int32_t minute, int32_t second)
{
    if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59)
        return 0;
    return setClockFields(false, [&](std::tm &t) {
        t.tm_hour = hour;
        t.tm_min = minute;
        t.tm_sec = second;
        t.tm_isdst = -1; // let the time zone decide for the new time of day
    });
}
