// The events as a calendar file (.ics) that calendar programs import or
// subscribe to. One entry (VEVENT) per date line and time: DTSTART in the
// local time zone (TZID, with its VTIMEZONE), a line of several days
// repeating daily until its end date; a line without a time is an all-day
// entry. SUMMARY is the event's name, DESCRIPTION its short and extended
// descriptions with the cost and tickets, LOCATION venue, venue address,
// city and state of the line, URL the web site, CATEGORIES the category's
// text, CONTACT person, telephone and e-mail. The UID is made of the
// event's and the line's keys and the time's slot, so it stays the same
// from one export to the next and a subscribed calendar updates its
// entries instead of adding them again; SEQUENCE goes up each time a line
// has changed since the last export. The columns that DESCRIPTION,
// LOCATION and CONTACT join travel besides in X-VANTEL- properties, so that
// Vantel reads its own file back exactly.
//
// Text: UTF-8, CRLF line ends, lines folded at 75 octets, never inside a
// character.
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QString>
#include <QStringList>

#include <functional>

class RecordSet;

namespace interop {

// What the last export wrote of each date line: its SEQUENCE and a digest
// of its entries. Kept in the data folder as ".vantel-calendar", a UTF-8
// text of one heading line "vantel-calendar 1" and then one line per date
// line: event key, line key, sequence and digest (16 hex digits), separated
// by tabs, ending in LF. An unreadable or damaged file counts as none.
class SequenceState {
public:
    static QString fileName(); // ".vantel-calendar"
    // Reads `bytes`; false (and an empty state) when they are no state.
    bool parse(const QByteArray &bytes);
    QByteArray bytes() const; // the lines seen by the last export, in key order
    // The sequence of a line whose entries give `digest`: as last time when
    // the digest is the same, one more when it changed, 0 for a new line.
    int sequence(const QString &eventId, const QString &timeId, const QByteArray &digest);

private:
    struct Entry {
        int sequence = 0;
        QByteArray digest;
    };
    QHash<QString, Entry> before_, now_; // key: event key + tab + line key
};

struct CalendarOptions {
    QByteArray timeZone; // IANA id of the time zone the dates and times are in; empty: the system's
    QDateTime stamp;     // DTSTAMP; invalid: now
};

struct CalendarFile {
    QByteArray text;
    long events = 0;  // events with at least one entry
    long entries = 0; // VEVENTs
    // What could not be written, one sentence each: lines of no event,
    // lines without valid dates, times that are no time of the clock,
    // events without date lines.
    QStringList leftOut;
    QString warning; // the time zone could not be written (times are then in UTC)
    bool complete = true;
};

// The calendar of every event of `events` with its lines of `dates` (all
// rows, whatever filter is set), in the order of the record sets.
CalendarFile writeCalendar(const RecordSet &events, const RecordSet &dates, SequenceState &state,
                           const CalendarOptions &options = {});
// The same text handed to `write` in pieces, in order, instead of kept in
// `text` (which stays empty), so that a large calendar never is in memory
// whole. Stops at the first piece `write` refuses; `complete` says whether
// every piece was taken.
using CalendarWriter = std::function<bool(QByteArrayView piece)>;
CalendarFile writeCalendar(const RecordSet &events, const RecordSet &dates, SequenceState &state,
                           const CalendarOptions &options, const CalendarWriter &write);

// Folds one content line (without its line end) at 75 octets, never inside
// a UTF-8 character, and appends it to `out` with CRLF.
void appendFolded(QByteArrayView line, QByteArray &out);

} // namespace interop
