// Reading a calendar file (.ics) of any program into events to add. No
// record set changes: the result says what would be added and why each
// component was left out or changed.
//
// Every VEVENT: SUMMARY becomes the name, DESCRIPTION the short
// description (cut at its column's width, the rest going to the extended
// description), LOCATION the venue (the rest to the venue address), URL the
// web site, a known CATEGORIES text the category (else "General"). Times
// are taken from their TZID (a VTIMEZONE of the file, else a zone of that
// name), UTC or floating, to the local wall time. RRULE, RDATE and EXDATE
// are expanded, and RECURRENCE-ID entries move or cancel single
// occurrences, over two years from the first at most and 1,000 occurrences;
// the date lines are the fewest that say the same (schedule.h). The city
// and state, and the country, are the admin record's defaults. An all-day
// entry, or one starting at midnight (which a date line cannot hold), comes
// without a time, to be completed. Entries of a file Vantel wrote (known by
// their UIDs) come back as the events and lines they were, with their keys
// and every field.
//
// Left out, each with its reason: cancelled entries, private ones
// (CLASS:PRIVATE or CONFIDENTIAL), entries without DTSTART, duplicates (the
// same name and first date as an event already there or earlier in the
// file, or an event already there by its key), components that are no
// events.
#pragma once

#include "interop.h"

#include <QByteArray>

namespace interop {

constexpr int kMaxOccurrences = 1000;

// `bytes` as a calendar file; an error and nothing else when they are not
// one (or empty).
ImportResult importCalendar(const QByteArray &bytes, const ImportContext &context);

} // namespace interop
