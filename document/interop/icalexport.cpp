#include "icalexport.h"

#include "icalsupport.h"
#include "interop.h"
#include "recordset.h"

#include <QCryptographicHash>
#include <QTimeZone>

#include <algorithm>
#include <array>
#include <utility>
#include <vector>

namespace interop {

using namespace ical;

namespace {

// ---- Content lines from the library's text

// The content lines of what the library wrote (its own folds undone), each
// appended to `out` without its line end.
void unfoldInto(const char *written, std::vector<QByteArray> &out)
{
    const QByteArrayView all(written);
    qsizetype from = 0;
    while (from < all.size()) {
        qsizetype end = all.indexOf('\n', from);
        if (end < 0)
            end = all.size();
        QByteArrayView line = all.sliced(from, end - from);
        if (line.endsWith('\r'))
            line.chop(1);
        if (!line.isEmpty() && (line.front() == ' ' || line.front() == '\t') && !out.empty())
            out.back().append(line.sliced(1));
        else if (!line.isEmpty())
            out.emplace_back(line.toByteArray());
        from = end + 1;
    }
}

// The content line of one property; the property is freed. The library
// writes an X- property's text with backslashes and line breaks escaped but
// semicolons and commas bare, where text needs them escaped too.
QByteArray contentLine(icalproperty *p)
{
    const bool x = icalproperty_isa(p) == ICAL_X_PROPERTY;
    char *written = icalproperty_as_ical_string_r(p);
    std::vector<QByteArray> lines;
    unfoldInto(written, lines);
    icalmemory_free_buffer(written);
    icalproperty_free(p);
    QByteArray line = lines.empty() ? QByteArray() : lines.front();
    if (x) {
        const qsizetype colon = line.indexOf(':');
        QByteArray value = line.mid(colon + 1);
        value.replace(";", "\\;").replace(",", "\\,");
        line = line.left(colon + 1) + value;
    }
    return line;
}

QByteArray textProperty(icalproperty *(*make)(const char *), const QString &text)
{
    return contentLine(make(text.toUtf8().constData()));
}

QByteArray xProperty(const QByteArray &name, const QString &text)
{
    icalproperty *p = icalproperty_new_x(text.toUtf8().constData());
    icalproperty_set_x_name(p, name.constData());
    return contentLine(p);
}

QString joined(const QStringList &parts, const QString &separator)
{
    QStringList kept;
    for (const QString &p : parts)
        if (!p.trimmed().isEmpty())
            kept << p.trimmed();
    return kept.join(separator);
}

// ---- The record sets

struct EventCols {
    int id, name, sdesc, edesc, cost, website, tickets, venue, address, person, tel, email, category;
    explicit EventCols(const RecordSet &rs)
        : id(rs.columnIndex(QStringLiteral("event_id"))), name(rs.columnIndex(QStringLiteral("name"))),
          sdesc(rs.columnIndex(QStringLiteral("sdescription"))), edesc(rs.columnIndex(QStringLiteral("edescription"))),
          cost(rs.columnIndex(QStringLiteral("cost"))), website(rs.columnIndex(QStringLiteral("website"))),
          tickets(rs.columnIndex(QStringLiteral("tickets"))), venue(rs.columnIndex(QStringLiteral("venue"))),
          address(rs.columnIndex(QStringLiteral("venue_address"))),
          person(rs.columnIndex(QStringLiteral("contact_person"))),
          tel(rs.columnIndex(QStringLiteral("contact_tel"))), email(rs.columnIndex(QStringLiteral("contact_email"))),
          category(rs.columnIndex(QStringLiteral("category")))
    {
    }
};

struct DateCols {
    int eventId, timeId, city, state, start, end;
    std::array<int, 6> times;
    explicit DateCols(const RecordSet &rs)
        : eventId(rs.columnIndex(QStringLiteral("event_id"))), timeId(rs.columnIndex(QStringLiteral("time_id"))),
          city(rs.columnIndex(QStringLiteral("city"))), state(rs.columnIndex(QStringLiteral("state"))),
          start(rs.columnIndex(QStringLiteral("start_date"))), end(rs.columnIndex(QStringLiteral("end_date")))
    {
        for (int k = 0; k < 6; ++k)
            times[size_t(k)] = rs.columnIndex(QStringLiteral("time%1").arg(k + 1));
    }
};

QString cell(const RecordSet &rs, long place, int col)
{
    return plainText(QString::fromUtf8(rs.valueAt(place, col)));
}

QDate dateCell(const RecordSet &rs, long place, int col)
{
    return QDate::fromString(QString::fromLatin1(rs.valueAt(place, col)), Qt::ISODate);
}

// The time of a slot: invalid for "0000" (none) and for what is no time.
QTime slotTime(QByteArrayView hhmm, bool *bad)
{
    *bad = false;
    if (hhmm.isEmpty() || hhmm == "0000")
        return {};
    if (!isClockTime(hhmm)) {
        *bad = true;
        return {};
    }
    return QTime(hhmm.sliced(0, 2).toInt(), hhmm.sliced(2, 2).toInt());
}

// The content lines every entry of an event shares.
std::vector<QByteArray> eventLines(const RecordSet &rs, long place, const EventCols &c)
{
    std::vector<QByteArray> out;
    const QString name = cell(rs, place, c.name);
    QStringList money;
    if (const QString cost = cell(rs, place, c.cost); !cost.isEmpty())
        money << QStringLiteral("Cost: ") + cost;
    if (const QString tickets = cell(rs, place, c.tickets); !tickets.isEmpty())
        money << QStringLiteral("Tickets: ") + tickets;
    const QString description =
        joined({cell(rs, place, c.sdesc), cell(rs, place, c.edesc), money.join(QLatin1Char('\n'))},
               QStringLiteral("\n\n"));
    QString url = cell(rs, place, c.website).trimmed();
    if (!url.isEmpty() && !url.contains(QLatin1String("://")))
        url.prepend(QStringLiteral("http://"));
    const QString category = categoryText(cell(rs, place, c.category));
    const QString contact =
        joined({cell(rs, place, c.person), cell(rs, place, c.tel), cell(rs, place, c.email)}, QStringLiteral(", "));

    if (!name.isEmpty())
        out.push_back(textProperty(icalproperty_new_summary, name));
    if (!description.isEmpty())
        out.push_back(textProperty(icalproperty_new_description, description));
    out.emplace_back(); // LOCATION: the line's
    if (!url.isEmpty())
        out.push_back(contentLine(icalproperty_new_url(url.toUtf8().constData())));
    if (!category.isEmpty())
        out.push_back(textProperty(icalproperty_new_categories, category));
    if (!contact.isEmpty())
        out.push_back(textProperty(icalproperty_new_contact, contact));
    return out;
}

// The X- lines that carry the event's columns back to Vantel.
std::vector<QByteArray> carriedLines(const RecordSet &rs, long place)
{
    std::vector<QByteArray> out;
    for (const QString &column : carriedColumns()) {
        const QString v = cell(rs, place, rs.columnIndex(column));
        if (!v.isEmpty())
            out.push_back(xProperty(fieldProperty(column), v));
    }
    return out;
}

icaltimetype dayTime(const QDate &d, const QTime &t)
{
    icaltimetype v = t.isValid() ? icaltime_null_time() : icaltime_null_date();
    v.year = d.year();
    v.month = d.month();
    v.day = d.day();
    if (t.isValid()) {
        v.hour = t.hour();
        v.minute = t.minute();
    }
    return v;
}

// Where the entries' times are: the library's zone and its name, or UTC
// (through Qt's zone of that name, or the system's) when the library does
// not know it.
struct Zone {
    icaltimezone *zone = nullptr;
    QByteArray tzid;
    QTimeZone qt;
    icaltimetype toUtc(const QDate &d, const QTime &t) const
    {
        icaltimetype v = dayTime(d, t);
        if (zone) {
            icaltimezone_convert_time(&v, zone, icaltimezone_get_utc_timezone());
        } else {
            const QDateTime utc = QDateTime(d, t, qt).toUTC();
            v = dayTime(utc.date(), utc.time());
        }
        v.zone = icaltimezone_get_utc_timezone();
        return v;
    }
};

QByteArray timeProperty(icalproperty *p, const Zone &z, bool local)
{
    if (local)
        icalproperty_add_parameter(p, icalparameter_new_tzid(z.tzid.constData()));
    return contentLine(p);
}

// The entries of one date line: UID, DTSTART and RRULE lines of each time.
struct Entry {
    QByteArray uid, start, rule;
};

// Index from event keys to the places of their date lines, in order.
QHash<QByteArray, std::vector<long>> linesByEvent(const RecordSet &dates, const DateCols &c)
{
    QHash<QByteArray, std::vector<long>> index;
    RowStore::Pass pass(dates.store());
    for (long p = 0; p < dates.allRowCount(); ++p, pass.row())
        index[dates.valueAt(p, c.eventId).toByteArray()].push_back(p);
    return index;
}

QByteArray vtimezone(const Zone &z, const QDate &first)
{
    if (!z.zone || !first.isValid())
        return {};
    icalcomponent *vtz = icalcomponent_new_clone(icaltimezone_get_component(z.zone));
    // From the day before the first entry: the observances before it do
    // not matter to anyone reading the file.
    icaltimetype from = icaltime_null_time();
    const QDate day = first.addDays(-1);
    from.year = day.year();
    from.month = day.month();
    from.day = day.day();
    from.zone = icaltimezone_get_utc_timezone();
    icaltimezone_truncate_vtimezone(vtz, from, icaltime_null_time(), 0);
    if (icalproperty *tzid = icalcomponent_get_first_property(vtz, ICAL_TZID_PROPERTY))
        icalproperty_set_tzid(tzid, z.tzid.constData());
    char *written = icalcomponent_as_ical_string_r(vtz);
    std::vector<QByteArray> lines;
    unfoldInto(written, lines);
    icalmemory_free_buffer(written);
    icalcomponent_free(vtz);
    QByteArray out;
    for (const QByteArray &l : lines)
        appendFolded(l, out);
    return out;
}

} // namespace

void appendFolded(QByteArrayView line, QByteArray &out)
{
    qsizetype from = 0, room = 75;
    while (line.size() - from > room) {
        qsizetype cut = from + room;
        while (cut > from + 1 && (static_cast<unsigned char>(line[cut]) & 0xC0) == 0x80)
            --cut; // not inside a character
        out.append(line.sliced(from, cut - from));
        out.append("\r\n ");
        from = cut;
        room = 74; // the blank that starts a continuation counts
    }
    out.append(line.sliced(from));
    out.append("\r\n");
}

CalendarFile writeCalendar(const RecordSet &events, const RecordSet &dates, SequenceState &state,
                           const CalendarOptions &options)
{
    QByteArray text;
    CalendarFile file = writeCalendar(events, dates, state, options, [&text](QByteArrayView piece) {
        text.append(piece);
        return true;
    });
    file.text = std::move(text);
    return file;
}

CalendarFile writeCalendar(const RecordSet &events, const RecordSet &dates, SequenceState &state,
                           const CalendarOptions &options, const CalendarWriter &write)
{
    CalendarFile file;
    const EventCols ec(events);
    const DateCols dc(dates);

    Zone z;
    z.tzid = zoneName(options.timeZone);
    z.zone = namedZone(z.tzid);
    z.qt = QTimeZone(z.tzid);
    if (!z.qt.isValid())
        z.qt = QTimeZone::systemTimeZone();
    if (!z.zone)
        file.warning = QStringLiteral("The time zone %1 is not known to the calendar library: the times are written "
                                      "in UTC.")
                           .arg(QString::fromUtf8(z.tzid));

    const QHash<QByteArray, std::vector<long>> byEvent = linesByEvent(dates, dc);
    QSet<QByteArray> eventKeys;
    QDate firstTimed;
    {
        RowStore::Pass pass(events.store());
        for (long p = 0; p < events.allRowCount(); ++p, pass.row())
            eventKeys.insert(events.valueAt(p, ec.id).toByteArray());
    }
    RowStore::Pass datesPass(dates.store()), eventsPass(events.store());
    for (long p = 0; p < dates.allRowCount(); ++p, datesPass.row()) {
        const QDate d = dateCell(dates, p, dc.start);
        if (d.isValid() && (!firstTimed.isValid() || d < firstTimed))
            firstTimed = d;
    }

    const QDateTime stampTime = (options.stamp.isValid() ? options.stamp : QDateTime::currentDateTimeUtc()).toUTC();
    icaltimetype stampValue = dayTime(stampTime.date(), stampTime.time());
    stampValue.second = stampTime.time().second();
    stampValue.zone = icaltimezone_get_utc_timezone();
    const QByteArray stamp = contentLine(icalproperty_new_dtstamp(stampValue));

    // The heading now, the time zone before the first entry (a calendar
    // without entries has none), the entries in pieces of about a megabyte.
    QByteArray body;
    for (const QByteArray &l : {QByteArray("BEGIN:VCALENDAR"), contentLine(icalproperty_new_version("2.0")),
                                contentLine(icalproperty_new_prodid("-//Vantel//Events//EN")),
                                contentLine(icalproperty_new_calscale("GREGORIAN")),
                                contentLine(icalproperty_new_method(ICAL_METHOD_PUBLISH))})
        appendFolded(l, body);
    constexpr qsizetype kPiece = 1 << 20;
    const auto handOver = [&] {
        file.complete = file.complete && write(body);
        body.resize(0); // keeps its room: clear() would give it back and the next piece fault it in anew
        return file.complete;
    };
    for (long e = 0; e < events.allRowCount() && file.complete; ++e, eventsPass.row(), datesPass.row()) {
        const QString eventId = QString::fromUtf8(events.valueAt(e, ec.id));
        const QString name = cell(events, e, ec.name);
        const auto found = byEvent.constFind(events.valueAt(e, ec.id).toByteArray());
        if (found == byEvent.constEnd()) {
            file.leftOut << QStringLiteral("The event \"%1\" has no date lines.").arg(name);
            continue;
        }
        std::vector<QByteArray> shared = eventLines(events, e, ec);
        // Written once, in the event's first entry: they would double the
        // size of a file of many entries.
        const std::vector<QByteArray> carried = carriedLines(events, e);
        bool carriedWritten = false;
        const auto locationAt = size_t(std::find(shared.begin(), shared.end(), QByteArray()) - shared.begin());
        const QString venue = cell(events, e, ec.venue);
        const QString address = cell(events, e, ec.address).replace(QLatin1Char('\n'), QStringLiteral(", "));
        bool any = false;
        for (long p : *found) {
            const QString timeId = QString::fromUtf8(dates.valueAt(p, dc.timeId));
            const QDate start = dateCell(dates, p, dc.start);
            QDate end = dateCell(dates, p, dc.end);
            if (!end.isValid())
                end = start;
            if (!start.isValid() || end < start) {
                file.leftOut << QStringLiteral("A date line of \"%1\" (%2) has no valid dates.").arg(name, timeId);
                continue;
            }
            const QString city = cell(dates, p, dc.city), lineState = cell(dates, p, dc.state);
            const QString location = joined({venue, address, city, lineState}, QStringLiteral(", "));
            shared[locationAt] = location.isEmpty() ? QByteArray() : textProperty(icalproperty_new_location, location);
            std::vector<QByteArray> own;
            if (!city.isEmpty())
                own.push_back(xProperty(kLineCity, city));
            if (!lineState.isEmpty())
                own.push_back(xProperty(kLineState, lineState));

            std::vector<Entry> entries;
            for (int slot = 1; slot <= 6; ++slot) {
                bool bad = false;
                const QTime t = slotTime(dates.valueAt(p, dc.times[size_t(slot - 1)]), &bad);
                if (bad)
                    file.leftOut << QStringLiteral("Time %1 of a date line of \"%2\" (%3) is no time of the clock.")
                                        .arg(slot)
                                        .arg(name, timeId);
                if (!t.isValid())
                    continue;
                Entry entry;
                entry.uid = contentLine(icalproperty_new_uid(entryUid(eventId, timeId, slot).constData()));
                if (z.zone) {
                    entry.start = timeProperty(icalproperty_new_dtstart(dayTime(start, t)), z, true);
                } else {
                    entry.start = contentLine(icalproperty_new_dtstart(z.toUtc(start, t)));
                }
                if (end > start) {
                    icalrecurrencetype rule;
                    icalrecurrencetype_clear(&rule);
                    rule.freq = ICAL_DAILY_RECURRENCE;
                    rule.until = z.toUtc(end, t);
                    entry.rule = contentLine(icalproperty_new_rrule(rule));
                }
                entries.push_back(std::move(entry));
            }
            if (entries.empty()) { // a line without a time: all day
                Entry entry;
                entry.uid = contentLine(icalproperty_new_uid(entryUid(eventId, timeId, 0).constData()));
                entry.start = contentLine(icalproperty_new_dtstart(dayTime(start, QTime())));
                if (end > start) {
                    icalrecurrencetype rule;
                    icalrecurrencetype_clear(&rule);
                    rule.freq = ICAL_DAILY_RECURRENCE;
                    rule.until = dayTime(end, QTime());
                    entry.rule = contentLine(icalproperty_new_rrule(rule));
                }
                entries.push_back(std::move(entry));
            }

            QCryptographicHash digest(QCryptographicHash::Sha1);
            for (const Entry &entry : entries)
                for (const QByteArray *l : {&entry.uid, &entry.start, &entry.rule})
                    digest.addData(*l + '\n');
            for (const std::vector<QByteArray> *group : {&std::as_const(shared), &carried, &std::as_const(own)})
                for (const QByteArray &l : *group)
                    digest.addData(l + '\n');
            const int sequence = state.sequence(eventId, timeId, digest.result().left(8).toHex());
            const QByteArray sequenceLine = contentLine(icalproperty_new_sequence(sequence));
            bool ownWritten = false; // the line's X- lines, in its first entry
            for (const Entry &entry : entries) {
                if (file.entries == 0)
                    body.append(vtimezone(z, firstTimed));
                body.append("BEGIN:VEVENT\r\n");
                for (const QByteArray *l : {&entry.uid, &stamp, &sequenceLine, &entry.start, &entry.rule})
                    if (!l->isEmpty())
                        appendFolded(*l, body);
                const std::vector<QByteArray> none;
                for (const std::vector<QByteArray> *group :
                     {&std::as_const(shared), carriedWritten ? &none : &carried, ownWritten ? &none : &std::as_const(own)})
                    for (const QByteArray &l : *group)
                        if (!l.isEmpty())
                            appendFolded(l, body);
                carriedWritten = ownWritten = true;
                body.append("END:VEVENT\r\n");
                ++file.entries;
            }
            any = true;
            if (body.size() >= kPiece && !handOver())
                break;
        }
        if (any)
            ++file.events;
    }
    long strays = 0;
    for (auto it = byEvent.constBegin(); it != byEvent.constEnd(); ++it)
        if (!eventKeys.contains(it.key()))
            strays += long(it.value().size());
    if (strays > 0)
        file.leftOut << QStringLiteral("%1 date line(s) belong to no event.").arg(strays);

    if (file.complete) {
        body.append("END:VCALENDAR\r\n");
        handOver();
    }
    return file;
}

// ---- SequenceState

QString SequenceState::fileName()
{
    return QStringLiteral(".vantel-calendar");
}

bool SequenceState::parse(const QByteArray &bytes)
{
    before_.clear();
    now_.clear();
    const QList<QByteArray> lines = bytes.split('\n');
    if (lines.isEmpty() || lines.front() != "vantel-calendar 1")
        return bytes.isEmpty();
    for (qsizetype i = 1; i < lines.size(); ++i) {
        if (lines[i].isEmpty())
            continue;
        const QList<QByteArray> f = lines[i].split('\t');
        bool ok = false;
        const int sequence = f.size() == 4 ? f[2].toInt(&ok) : 0;
        if (!ok || sequence < 0 || f[3].size() != 16) {
            before_.clear();
            return false;
        }
        before_.insert(QString::fromUtf8(f[0] + '\t' + f[1]), {sequence, f[3]});
    }
    return true;
}

QByteArray SequenceState::bytes() const
{
    QStringList keys = now_.keys();
    std::sort(keys.begin(), keys.end());
    QByteArray out = "vantel-calendar 1\n";
    for (const QString &key : keys) {
        const Entry &e = now_[key];
        out += key.toUtf8() + '\t' + QByteArray::number(e.sequence) + '\t' + e.digest + '\n';
    }
    return out;
}

int SequenceState::sequence(const QString &eventId, const QString &timeId, const QByteArray &digest)
{
    const QString key = eventId + QLatin1Char('\t') + timeId;
    int sequence = 0;
    if (const auto it = before_.constFind(key); it != before_.constEnd())
        sequence = it->digest == digest ? it->sequence : it->sequence + 1;
    now_.insert(key, {sequence, digest});
    return sequence;
}

} // namespace interop
