// The times of one calendar entry as local wall time: its DTSTART with its
// time zone, the occurrences of its RRULE and RDATEs less its EXDATEs, and
// the single occurrences that entries with its UID and a RECURRENCE-ID
// move or cancel. Inside the calendar reader.
#pragma once

#include "icalsupport.h"

#include <QDate>
#include <QSet>
#include <QStringList>
#include <QTime>
#include <QTimeZone>

#include <vector>

namespace interop::ical {

// A local date and time; an invalid time for an all-day occurrence.
struct Moment {
    QDate date;
    QTime time;
    bool operator<(const Moment &o) const
    {
        return date != o.date ? date < o.date : (time.isValid() ? time.msecsSinceStartOfDay() : -1)
                                                     < (o.time.isValid() ? o.time.msecsSinceStartOfDay() : -1);
    }
    bool operator==(const Moment &o) const { return date == o.date && time == o.time; }
};

// Turns the times of the entries of one calendar into local wall time.
class TimeFrame {
public:
    TimeFrame(icalcomponent *calendar, const QByteArray &localZone);
    // The zone a property's TZID names: a VTIMEZONE of the calendar, a zone
    // of that name (also the last parts of a path such as
    // "/example.org/Europe/Berlin", and Windows names); null for UTC and
    // floating times, and for a name that is not known (added to
    // `unknown`).
    icaltimezone *zoneOf(icalproperty *p, QString *unknown);
    // A time of the library (a date, UTC, floating, or in `zone`) as local
    // wall time.
    Moment local(icaltimetype t, icaltimezone *zone) const;

private:
    icalcomponent *calendar_;
    QTimeZone local_;
    icaltimezone *localZone_ = nullptr; // the library's zone of the same name, when it has one (faster)
};

// The occurrences of one entry and what had to be left out or changed.
struct Series {
    std::vector<Moment> moments; // ascending, each once
    QStringList changes;         // cut after two years or 1,000 occurrences, rules not understood, ...
    QString unknownZone;         // a TZID no zone is known for; its times were taken as local
    bool hasStart = false;       // the entry has a DTSTART
};

// `entry` with the entries `overrides` (the same UID, with RECURRENCE-ID)
// applied; `where` names the overrides in the changes ("VEVENT 4").
Series expand(icalcomponent *entry, const std::vector<std::pair<icalcomponent *, QString>> &overrides,
              TimeFrame &frame, const QString &datePattern);

bool isCancelled(icalcomponent *entry);

} // namespace interop::ical
