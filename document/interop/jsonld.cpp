#include "jsonld.h"

#include "icalsupport.h"
#include "interop.h"
#include "recordset.h"

#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTimeZone>

namespace interop {

namespace {

QString cell(const RecordSet &rs, long place, const char *column)
{
    return plainText(QString::fromUtf8(rs.valueAt(place, rs.columnIndex(QString::fromLatin1(column))))).trimmed();
}

QDate dateCell(const RecordSet &rs, long place, const char *column)
{
    return QDate::fromString(QString::fromLatin1(rs.valueAt(place, rs.columnIndex(QString::fromLatin1(column)))),
                             Qt::ISODate);
}

// Sets `key` when `value` is not empty.
void put(QJsonObject &o, const char *key, const QString &value)
{
    if (!value.isEmpty())
        o.insert(QLatin1String(key), value);
}

QString stamp(const QDate &d, const QTime &t, const QTimeZone &zone)
{
    if (!t.isValid())
        return d.toString(Qt::ISODate);
    return QDateTime(d, t, zone).toString(Qt::ISODateWithMs).replace(QStringLiteral(".000"), QString());
}

} // namespace

bool plainPrice(const QString &cost, Price *price)
{
    const QString text = cost.trimmed();
    static const QRegularExpression free(QStringLiteral("^(free|free admission|free entry|0)$"),
                                         QRegularExpression::CaseInsensitiveOption);
    if (free.match(text).hasMatch()) {
        *price = {QStringLiteral("0"), {}};
        return true;
    }
    static const QRegularExpression amount(
        QStringLiteral("^(€|\\$|£|[A-Z]{3})?\\s*(\\d{1,7})(?:[.,](\\d{1,2}))?\\s*(€|\\$|£|[A-Z]{3})?$"));
    const QRegularExpressionMatch m = amount.match(text);
    if (!m.hasMatch() || (m.hasCaptured(1) && m.hasCaptured(4)))
        return false;
    static const QHash<QString, QString> symbols = {
        {QStringLiteral("€"), QStringLiteral("EUR")},
        {QStringLiteral("$"), QStringLiteral("USD")},
        {QStringLiteral("£"), QStringLiteral("GBP")}};
    const QString unit = m.hasCaptured(1) ? m.captured(1) : m.captured(4);
    price->currency = symbols.value(unit, unit);
    price->amount = m.captured(2);
    if (m.hasCaptured(3))
        price->amount += QLatin1Char('.') + m.captured(3).leftJustified(2, QLatin1Char('0'));
    return true;
}

WebData writeWebData(const RecordSet &events, const RecordSet &dates, const QByteArray &timeZone)
{
    WebData out;
    const QByteArray zoneId = ical::zoneName(timeZone);
    QTimeZone zone(zoneId);
    if (!zone.isValid())
        zone = QTimeZone::systemTimeZone();
    const int dateEvent = dates.columnIndex(QStringLiteral("event_id"));
    QHash<QByteArray, std::vector<long>> byEvent;
    RowStore::Pass datesPass(dates.store()), eventsPass(events.store());
    for (long p = 0; p < dates.allRowCount(); ++p, datesPass.row())
        byEvent[dates.valueAt(p, dateEvent).toByteArray()].push_back(p);

    QJsonArray all;
    for (long e = 0; e < events.allRowCount(); ++e, eventsPass.row(), datesPass.row()) {
        const QString name = cell(events, e, "name");
        const auto lines = byEvent.constFind(events.valueAt(e, events.columnIndex(QStringLiteral("event_id"))).toByteArray());
        if (lines == byEvent.constEnd()) {
            out.leftOut << QStringLiteral("The event \"%1\" has no date lines.").arg(name);
            continue;
        }
        QJsonArray schedules;
        QDate first, last;
        QTime firstTime, lastTime;
        QString city, state;
        for (long p : *lines) {
            const QDate start = dateCell(dates, p, "start_date");
            QDate end = dateCell(dates, p, "end_date");
            if (!end.isValid())
                end = start;
            if (!start.isValid() || end < start) {
                out.leftOut << QStringLiteral("A date line of \"%1\" (%2) has no valid dates.")
                                   .arg(name, cell(dates, p, "time_id"));
                continue;
            }
            if (city.isEmpty()) {
                city = cell(dates, p, "city");
                state = cell(dates, p, "state");
            }
            std::vector<QTime> times;
            for (int k = 1; k <= 6; ++k) {
                const QByteArray hhmm = cell(dates, p, QStringLiteral("time%1").arg(k).toLatin1().constData()).toLatin1();
                if (hhmm != "0000" && isClockTime(hhmm))
                    times.emplace_back(hhmm.left(2).toInt(), hhmm.mid(2).toInt());
            }
            if (times.empty())
                times.emplace_back(); // all day
            for (const QTime &t : times) {
                QJsonObject s{{QStringLiteral("@type"), QStringLiteral("Schedule")},
                              {QStringLiteral("startDate"), start.toString(Qt::ISODate)},
                              {QStringLiteral("endDate"), end.toString(Qt::ISODate)},
                              {QStringLiteral("repeatFrequency"), QStringLiteral("P1D")},
                              {QStringLiteral("scheduleTimezone"), QString::fromUtf8(zoneId)}};
                if (t.isValid())
                    s.insert(QStringLiteral("startTime"), t.toString(QStringLiteral("HH:mm:ss")));
                schedules.append(s);
                if (!first.isValid() || start < first || (start == first && t < firstTime)) {
                    first = start;
                    firstTime = t;
                }
                if (!last.isValid() || end > last || (end == last && t > lastTime)) {
                    last = end;
                    lastTime = t;
                }
            }
        }
        if (schedules.isEmpty())
            continue;

        QJsonObject ev{{QStringLiteral("@context"), QStringLiteral("https://schema.org")},
                       {QStringLiteral("@type"), QStringLiteral("Event")},
                       {QStringLiteral("eventStatus"), QStringLiteral("https://schema.org/EventScheduled")}};
        put(ev, "name", name);
        QStringList description;
        for (const char *column : {"sdescription", "edescription"})
            if (const QString d = cell(events, e, column); !d.isEmpty())
                description << d;
        put(ev, "description", description.join(QStringLiteral("\n\n")));
        QString url = cell(events, e, "website");
        if (!url.isEmpty() && !url.contains(QLatin1String("://")))
            url.prepend(QStringLiteral("http://"));
        put(ev, "url", url);
        put(ev, "startDate", stamp(first, firstTime, zone));
        put(ev, "endDate", stamp(last, lastTime, zone));
        ev.insert(QStringLiteral("eventSchedule"), schedules);

        QJsonObject address{{QStringLiteral("@type"), QStringLiteral("PostalAddress")}};
        put(address, "streetAddress", cell(events, e, "venue_address").replace(QLatin1Char('\n'), QStringLiteral(", ")));
        put(address, "addressLocality", city.isEmpty() ? cell(events, e, "city") : city);
        put(address, "addressRegion", state.isEmpty() ? cell(events, e, "state") : state);
        put(address, "addressCountry", cell(events, e, "country"));
        QJsonObject place{{QStringLiteral("@type"), QStringLiteral("Place")}, {QStringLiteral("address"), address}};
        put(place, "name", cell(events, e, "venue"));
        ev.insert(QStringLiteral("location"), place);

        Price price;
        if (plainPrice(cell(events, e, "cost"), &price)) {
            QJsonObject offer{{QStringLiteral("@type"), QStringLiteral("Offer")},
                              {QStringLiteral("price"), price.amount}};
            put(offer, "priceCurrency", price.currency);
            put(offer, "url", cell(events, e, "tickets").startsWith(QLatin1String("http"))
                                  ? cell(events, e, "tickets") : QString());
            ev.insert(QStringLiteral("offers"), offer);
        }
        QJsonObject organizer{{QStringLiteral("@type"), QStringLiteral("Person")}};
        put(organizer, "name", cell(events, e, "contact_person"));
        put(organizer, "telephone", cell(events, e, "contact_tel"));
        put(organizer, "email", cell(events, e, "contact_email"));
        if (organizer.size() > 1)
            ev.insert(QStringLiteral("organizer"), organizer);
        all.append(ev);
        ++out.events;
    }
    out.json = QJsonDocument(all).toJson(QJsonDocument::Indented);
    // A text holding "</script>" must not end the page's script element.
    out.json.replace("</", "<\\/");
    return out;
}

} // namespace interop
