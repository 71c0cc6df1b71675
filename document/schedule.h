// Date lines from a schedule: a run of dates with times for each weekday,
// dates left out and single dates added, turned into the fewest date lines
// that say the same. A date line covers the days from its start to its end
// date, each with the same times, so consecutive days with equal times make
// one line. Qt Core only; no record sets, no settings.
#pragma once

#include <QDate>
#include <QString>
#include <QStringList>
#include <QTime>

#include <array>
#include <map>
#include <vector>

namespace schedule {

constexpr int kMaxTimes = 6;     // times a date line holds
constexpr int kMaxLines = 1000;  // date lines one schedule may make
constexpr int kMaxYears = 2;     // from the first date to the last

// A single date with times of its own. On a scheduled day its times come on
// top of the weekday's; on a day left out they are the day's only times.
// It may lie outside the range from the first to the last date (a preview
// before the run); only kMaxLines bounds how far.
struct ExtraDate {
    QDate date;
    QStringList times; // as typed, "hh:mm"
};

struct Request {
    QDate first, last;
    // Monday first (QDate::dayOfWeek() - 1). Times as typed, "hh:mm" or
    // "h:mm" on the 24-hour clock; empty texts (and ":" of an empty masked
    // field) are no time. A weekday without times is not scheduled.
    std::array<QStringList, 7> weekdays;
    std::vector<QDate> leaveOut; // takes out the weekday's times of that day
    std::vector<ExtraDate> extra;
    QString city, state;
    QString datePattern = QStringLiteral("yyyy-mm-dd"); // how messages write dates
};

struct Line {
    QDate start, end;
    std::vector<QTime> times; // ascending, 1 to kMaxTimes, to the minute
    QString city, state;
    // The six times as the date-lines file holds them: "hhmm", the missing
    // ones "0000".
    QStringList fileTimes() const;
    long days() const { return long(start.daysTo(end)) + 1; }
};

struct Result {
    std::vector<Line> lines; // by start date, then first time
    QString error;           // why there are no lines; empty when there are
    long performances = 0;   // date and time pairs the lines cover
    bool ok() const { return error.isEmpty(); }
};

// The fewest date lines for `request`. Refuses (an error and no lines) a
// missing date, a last date before the first, a range longer than
// kMaxYears, a text that is no time of the 24-hour clock, 00:00 (the files
// take 0000 for "no time"), more than kMaxTimes on a day (equal times count
// once), a schedule without any date, and more than kMaxLines lines.
Result build(const Request &request);

// The fewest date lines for days each with their times (a calendar's
// occurrences), with the same limits: no invalid date or time, no 00:00, no
// day without a time, at most kMaxTimes different times a day (seconds are
// dropped), at most kMaxYears from the first day to the last.
using Occurrences = std::map<QDate, std::vector<QTime>>;
Result fromOccurrences(const Occurrences &days, const QString &city, const QString &state,
                       const QString &datePattern = QStringLiteral("yyyy-mm-dd"));

// The dates of a "dates to leave out" field: one a line or separated by
// commas, each in `pattern` (the user's short date pattern) or as
// yyyy-mm-dd. Blank entries are skipped; the first entry that is no date
// gives the error, named as typed.
struct DateList {
    std::vector<QDate> dates;
    QString error;
    bool ok() const { return error.isEmpty(); }
};
DateList parseDates(const QString &text, const QString &pattern);

// What `result` would add, one entry a row: a heading with the numbers of
// lines and performances, then each line ("05.05.2027 - 09.05.2027
// Wed-Sun  15:00 19:30"), dates in `pattern`; or the one reason why none.
QStringList preview(const Result &result, const QString &pattern);

} // namespace schedule
