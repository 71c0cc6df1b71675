#include "importlines.h"

#include "datetext.h"
#include "schedule.h"

#include <algorithm>

namespace interop {

namespace {

void take(const schedule::Result &r, bool timed, const QString &city, const QString &state, ImportedLines &out)
{
    for (const schedule::Line &l : r.lines) {
        NewLine line;
        line.start = l.start;
        line.end = l.end;
        line.city = city;
        line.state = state;
        if (timed) {
            line.times = l.fileTimes();
        } else {
            line.times = QStringList(schedule::kMaxTimes, QStringLiteral("0000"));
            out.untimed = true;
        }
        out.lines.push_back(std::move(line));
    }
}

} // namespace

ImportedLines linesFor(const Days &days, const QString &city, const QString &state, const QString &datePattern)
{
    ImportedLines out;
    // Each run of at most two years from its first day, as the engine takes them.
    std::vector<std::pair<schedule::Occurrences, schedule::Occurrences>> runs; // timed, untimed
    QDate runStart;
    for (const auto &[day, given] : days) {
        if (!runStart.isValid() || day > runStart.addYears(schedule::kMaxYears).addDays(-1)) {
            runStart = day;
            runs.emplace_back();
        }
        std::vector<QTime> times;
        for (const QTime &t : given) {
            const QTime minute(t.hour(), t.minute());
            if (std::find(times.begin(), times.end(), minute) == times.end())
                times.push_back(minute);
        }
        std::sort(times.begin(), times.end());
        if (times.size() > size_t(schedule::kMaxTimes)) {
            out.changes << QStringLiteral("%1 has %2 times: the first six are taken")
                               .arg(dateText(day, datePattern))
                               .arg(times.size());
            times.resize(schedule::kMaxTimes);
        }
        if (times.empty())
            runs.back().second[day] = {QTime(12, 0)}; // the engine needs a time; the lines get none
        else
            runs.back().first[day] = std::move(times);
    }
    // The lines of some days, with their times or without; false (and no
    // line at all) when the engine refuses them.
    auto add = [&](const auto &days, bool withTimes) {
        const schedule::Result r = schedule::fromOccurrences(days, city, state, datePattern);
        if (!r.ok()) {
            out.lines.clear();
            out.error = r.error;
            return false;
        }
        take(r, withTimes, city, state, out);
        return true;
    };
    for (const auto &[timed, untimed] : runs) {
        if (!timed.empty() && !add(timed, true))
            return out;
        schedule::Occurrences rest;
        for (const auto &[day, t] : untimed)
            if (!timed.count(day))
                rest.emplace_hint(rest.end(), day, t);
        if (!rest.empty() && !add(rest, false))
            return out;
    }
    std::stable_sort(out.lines.begin(), out.lines.end(),
                     [](const NewLine &a, const NewLine &b) { return a.start < b.start; });
    return out;
}

} // namespace interop
