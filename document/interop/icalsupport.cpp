#include "icalsupport.h"

#include <QRegularExpression>
#include <QTimeZone>

namespace interop::ical {

QByteArray zoneName(const QByteArray &iana)
{
    return iana.isEmpty() ? QTimeZone::systemTimeZoneId() : iana;
}

icaltimezone *namedZone(const QByteArray &iana)
{
    static const QByteArray utcNames[] = {"UTC",     "GMT",       "UCT",       "Zulu",     "Universal",
                                          "Etc/UTC", "Etc/GMT",   "Etc/UCT",   "Etc/Zulu", "Etc/Universal",
                                          "GMT0",    "Etc/GMT0",  "Etc/GMT+0", "Etc/GMT-0", "Greenwich",
                                          "Etc/Greenwich"};
    QByteArray name = iana;
    for (const QByteArray &utc : utcNames)
        if (name == utc)
            name = "Etc/UTC";
    if (name.isEmpty())
        return nullptr;
    icaltimezone *zone = icaltimezone_get_builtin_timezone(name.constData());
    // The library answers its own UTC zone for a few names; it has no
    // component to write.
    if (!zone || zone == icaltimezone_get_utc_timezone() || !icaltimezone_get_component(zone))
        return nullptr;
    return zone;
}

QByteArray entryUid(const QString &eventId, const QString &timeId, int slot)
{
    return (eventId + QLatin1Char('-') + timeId + QLatin1Char('-') + QString::number(slot)).toUtf8() + "@vantel";
}

EntryKeys parseEntryUid(const QString &uid)
{
    static const QRegularExpression form(QStringLiteral("^([A-Za-z0-9]+)-([A-Za-z0-9]+)-([0-6])@vantel$"));
    const QRegularExpressionMatch m = form.match(uid);
    if (!m.hasMatch())
        return {};
    return {m.captured(1), m.captured(2), m.captured(3).toInt()};
}

QByteArray fieldProperty(const QString &column)
{
    return "X-VANTEL-" + column.toUpper().replace(QLatin1Char('_'), QLatin1Char('-')).toLatin1();
}

const QStringList &carriedColumns()
{
    static const QStringList columns = {
        QStringLiteral("country"),        QStringLiteral("city"),           QStringLiteral("state"),
        QStringLiteral("sdescription"),   QStringLiteral("edescription"),   QStringLiteral("category"),
        QStringLiteral("cost"),           QStringLiteral("website"),        QStringLiteral("tickets"),
        QStringLiteral("venue"),          QStringLiteral("venue_address"),  QStringLiteral("contact_person"),
        QStringLiteral("contact_tel"),    QStringLiteral("contact_email"),
        // Kept by older files of the event itself; empty in the program's own.
        QStringLiteral("start_date"),     QStringLiteral("end_date"),       QStringLiteral("time1"),
        QStringLiteral("time2"),          QStringLiteral("time3"),          QStringLiteral("time4"),
        QStringLiteral("time5"),          QStringLiteral("time6")};
    return columns;
}

} // namespace interop::ical
