// The events as web page data: a JSON-LD array of schema.org Events, ready
// to paste into a page inside <script type="application/ld+json">. Per
// event: name, description (short and extended), url, startDate and
// endDate (the first and last performance, with the zone's offset),
// eventSchedule (one Schedule per date line and time, daily from its start
// to its end date), location (a Place with its PostalAddress), offers
// (where the cost is a plain amount, or free), organizer (the contact
// person with telephone and e-mail) and eventStatus scheduled. Events
// without a date line are left out, as in the calendar file.
#pragma once

#include <QByteArray>
#include <QStringList>

class RecordSet;

namespace interop {

struct WebData {
    QByteArray json; // UTF-8, indented
    long events = 0;
    QStringList leftOut; // one sentence per event or line that could not be written
};

// `timeZone`: IANA id of the zone the dates and times are in; empty: the system's.
WebData writeWebData(const RecordSet &events, const RecordSet &dates, const QByteArray &timeZone = {});

// The price in a cost text that is a plain amount ("12.50", "€ 8", "10 EUR",
// "Free" as 0), with its currency code when the text names one; false when
// the text is anything else ("5 to 10", "donation").
struct Price {
    QString amount;   // "12.50", "0"
    QString currency; // "EUR", or empty
};
bool plainPrice(const QString &cost, Price *price);

} // namespace interop
