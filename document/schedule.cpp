#include "schedule.h"

#include "datetext.h"

#include <QRegularExpression>

#include <algorithm>

namespace schedule {
namespace {

const char *const kDayNames[7] = {"Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday", "Sunday"};
const char *const kDayShort[7] = {"Mon", "Tue", "Wed", "Thu", "Fri", "Sat", "Sun"};

Result refusal(const QString &why)
{
    Result r;
    r.error = why;
    return r;
}

QString tooManyTimes(const QString &day)
{
    return QStringLiteral("%1 has more than six times: a date line holds at most six !").arg(day);
}

void insertOnce(std::vector<QTime> &times, const QTime &time)
{
    const auto at = std::lower_bound(times.begin(), times.end(), time);
    if (at == times.end() || *at != time)
        times.insert(at, time);
}

// `time`, taken to the minute, into the ascending `times`; or why it cannot
// be stored.
QString addTime(QTime time, const QString &where, std::vector<QTime> &times)
{
    time = QTime(time.hour(), time.minute());
    if (time == QTime(0, 0))
        return QStringLiteral("00:00 on %1 cannot be saved: the data files take 0000 for \"no time\". "
                              "Please take 23:59 or 00:01 !")
            .arg(where);
    insertOnce(times, time);
    return QString();
}

// The times typed for one weekday or one date, into `times`.
QString addTypedTimes(const QStringList &typed, const QString &where, std::vector<QTime> &times)
{
    static const QRegularExpression clock(QStringLiteral("^([0-9]{1,2}):([0-9]{2})$"));
    for (const QString &raw : typed) {
        const QString text = raw.trimmed();
        if (text.isEmpty() || text == QLatin1String(":"))
            continue;
        const QRegularExpressionMatch m = clock.match(text);
        const QTime time = m.hasMatch() ? QTime(m.captured(1).toInt(), m.captured(2).toInt()) : QTime();
        if (!time.isValid())
            return QStringLiteral("Please enter the time as hh:mm on the 24-hour clock: \"%1\" on %2 !")
                .arg(text, where);
        if (QString why = addTime(time, where, times); !why.isEmpty())
            return why;
    }
    return QString();
}

// The last date that a run from `first` may reach.
QDate latestFrom(const QDate &first)
{
    return first.addYears(kMaxYears).addDays(-1);
}

// Consecutive days with equal times as one line each. `days` holds only
// days with times, each ascending and once.
Result linesOf(const Occurrences &days, const QString &city, const QString &state)
{
    Result r;
    for (const auto &[date, times] : days) {
        Line *last = r.lines.empty() ? nullptr : &r.lines.back();
        if (last && last->end.addDays(1) == date && last->times == times)
            last->end = date;
        else
            r.lines.push_back({date, date, times, city, state});
        r.performances += long(times.size());
    }
    if (r.lines.size() > size_t(kMaxLines))
        return refusal(QStringLiteral("The schedule makes %1 date lines: at most %2 can be added at once !")
                           .arg(r.lines.size())
                           .arg(kMaxLines));
    return r;
}

// The times of each weekday, Monday first.
QString readWeek(const Request &rq, std::array<std::vector<QTime>, 7> &week)
{
    for (size_t d = 0; d < week.size(); ++d) {
        const QString day = QString::fromLatin1(kDayNames[d]);
        if (QString why = addTypedTimes(rq.weekdays[d], day, week[d]); !why.isEmpty())
            return why;
        if (week[d].size() > size_t(kMaxTimes))
            return tooManyTimes(day);
    }
    return QString();
}

// The added dates with their own times, a date named twice with the times
// of both.
QString readExtra(const Request &rq, Occurrences &extra)
{
    for (const ExtraDate &e : rq.extra) {
        if (!e.date.isValid())
            return QStringLiteral("An added date is missing or no date !");
        const QString day = dateText(e.date, rq.datePattern);
        std::vector<QTime> own;
        if (QString why = addTypedTimes(e.times, day, own); !why.isEmpty())
            return why;
        if (own.empty())
            return QStringLiteral("%1 is added without a time: please give it at least one !").arg(day);
        std::vector<QTime> &all = extra[e.date];
        for (const QTime &t : own)
            insertOnce(all, t);
        if (all.size() > size_t(kMaxTimes))
            return tooManyTimes(day);
    }
    return QString();
}

} // namespace

QStringList Line::fileTimes() const
{
    QStringList out;
    for (const QTime &t : times)
        out << t.toString(QStringLiteral("HHmm"));
    while (out.size() < kMaxTimes)
        out << QStringLiteral("0000");
    return out;
}

Result build(const Request &rq)
{
    if (!rq.first.isValid())
        return refusal(QStringLiteral("Please enter the first date !"));
    if (!rq.last.isValid())
        return refusal(QStringLiteral("Please enter the last date !"));
    if (rq.last < rq.first)
        return refusal(QStringLiteral("The last date may not occur before the first date !"));
    if (rq.last > latestFrom(rq.first))
        return refusal(QStringLiteral("A schedule may run for two years at most: "
                                      "the last date may be %1 at the latest !")
                           .arg(dateText(latestFrom(rq.first), rq.datePattern)));
    std::array<std::vector<QTime>, 7> week;
    Occurrences extra;
    if (QString why = readWeek(rq, week); !why.isEmpty())
        return refusal(why);
    if (QString why = readExtra(rq, extra); !why.isEmpty())
        return refusal(why);
    if (extra.empty() && std::all_of(week.begin(), week.end(), [](const auto &times) { return times.empty(); }))
        return refusal(QStringLiteral("Please give at least one weekday a time !"));

    std::vector<QDate> leaveOut = rq.leaveOut;
    std::sort(leaveOut.begin(), leaveOut.end());
    Occurrences days;
    for (QDate d = rq.first; d <= rq.last; d = d.addDays(1)) {
        const std::vector<QTime> &times = week[size_t(d.dayOfWeek() - 1)];
        if (!times.empty() && !std::binary_search(leaveOut.begin(), leaveOut.end(), d))
            days.emplace_hint(days.end(), d, times);
    }
    for (const auto &[date, own] : extra) {
        // Over six only with a weekday's times: each date's own are six at most.
        std::vector<QTime> &times = days[date];
        for (const QTime &t : own)
            insertOnce(times, t);
        if (times.size() > size_t(kMaxTimes)) {
            const QString weekday = QString::fromLatin1(kDayNames[date.dayOfWeek() - 1]);
            return refusal(QStringLiteral("%1 has more than six times with its own and those of every %2: "
                                          "a date line holds at most six !")
                               .arg(dateText(date, rq.datePattern), weekday));
        }
    }
    if (days.empty())
        return refusal(QStringLiteral("No date from %1 to %2 is scheduled: no weekday with times falls in it, "
                                      "or every one is left out !")
                           .arg(dateText(rq.first, rq.datePattern), dateText(rq.last, rq.datePattern)));
    return linesOf(days, rq.city, rq.state);
}

Result fromOccurrences(const Occurrences &in, const QString &city, const QString &state, const QString &datePattern)
{
    Occurrences days;
    for (const auto &[date, given] : in) {
        if (!date.isValid())
            return refusal(QStringLiteral("A date of the schedule is no date !"));
        const QString day = dateText(date, datePattern);
        std::vector<QTime> times;
        for (const QTime &t : given) {
            if (!t.isValid())
                return refusal(QStringLiteral("%1 has a time that is no time of the 24-hour clock !").arg(day));
            if (QString why = addTime(t, day, times); !why.isEmpty())
                return refusal(why);
        }
        if (times.empty())
            return refusal(QStringLiteral("%1 has no time: a date line needs at least one !").arg(day));
        if (times.size() > size_t(kMaxTimes))
            return refusal(tooManyTimes(day));
        days.emplace_hint(days.end(), date, std::move(times));
    }
    if (days.empty())
        return refusal(QStringLiteral("The schedule gives no date !"));
    const QDate first = days.begin()->first, latest = latestFrom(first);
    if (days.rbegin()->first > latest)
        return refusal(QStringLiteral("The dates may span two years at most: from %1 the last may be %2 !")
                           .arg(dateText(first, datePattern), dateText(latest, datePattern)));
    return linesOf(days, city, state);
}

DateList parseDates(const QString &text, const QString &pattern)
{
    static const QRegularExpression separators(QStringLiteral("[,\\r\\n]"));
    const QString p = usablePattern(pattern);
    DateList out;
    for (const QString &raw : text.split(separators)) {
        const QString entry = raw.trimmed();
        if (entry.isEmpty())
            continue;
        QDate date;
        if (entry.size() == p.size())
            date = dateFromPattern(entry, p);
        if (!date.isValid() && entry.size() == 10)
            date = QDate::fromString(entry, QStringLiteral("yyyy-MM-dd"));
        if (!date.isValid()) {
            out.dates.clear();
            out.error = QStringLiteral("\"%1\" is no date: please enter the dates to leave out as %2 or yyyy-mm-dd !")
                            .arg(entry, p);
            return out;
        }
        out.dates.push_back(date);
    }
    return out;
}

QStringList preview(const Result &result, const QString &pattern)
{
    if (!result.ok())
        return {result.error};
    const auto n = result.lines.size();
    QStringList out;
    out << QStringLiteral("%1 date %2, %3 %4:")
               .arg(n)
               .arg(n == 1 ? QStringLiteral("line") : QStringLiteral("lines"))
               .arg(result.performances)
               .arg(result.performances == 1 ? QStringLiteral("performance") : QStringLiteral("performances"));
    for (const Line &line : result.lines) {
        QString dates = dateText(line.start, pattern);
        QString days = QString::fromLatin1(kDayShort[line.start.dayOfWeek() - 1]);
        if (line.days() >= 7) {
            days = QStringLiteral("daily");
        } else if (line.days() > 1) {
            days += QLatin1Char('-') + QString::fromLatin1(kDayShort[line.end.dayOfWeek() - 1]);
        }
        if (line.days() > 1)
            dates += QStringLiteral(" - ") + dateText(line.end, pattern);
        QStringList times;
        for (const QTime &t : line.times)
            times << t.toString(QStringLiteral("HH:mm"));
        out << dates + QStringLiteral("  ") + days + QStringLiteral("  ") + times.join(QLatin1Char(' '));
    }
    return out;
}

} // namespace schedule
