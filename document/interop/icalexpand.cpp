#include "icalexpand.h"

#include "datetext.h"
#include "icalimport.h"

#include <algorithm>

namespace interop::ical {

namespace {

constexpr int kMaxYears = 2;

QString momentText(const Moment &m, const QString &pattern)
{
    return m.time.isValid() ? dateText(m.date, pattern) + m.time.toString(QStringLiteral(" HH:mm"))
                            : dateText(m.date, pattern);
}

// The property's time with the zone of its TZID (or UTC) as local time.
Moment momentOf(icalproperty *p, icaltimetype t, TimeFrame &frame, QString *unknown)
{
    icaltimezone *zone = icaltime_is_utc(t) ? nullptr : frame.zoneOf(p, unknown);
    return frame.local(t, zone);
}

} // namespace

TimeFrame::TimeFrame(icalcomponent *calendar, const QByteArray &localZone) : calendar_(calendar)
{
    const QByteArray name = zoneName(localZone);
    localZone_ = icaltimezone_get_builtin_timezone(name.constData());
    local_ = QTimeZone(name);
    if (!local_.isValid())
        local_ = QTimeZone::systemTimeZone();
}

icaltimezone *TimeFrame::zoneOf(icalproperty *p, QString *unknown)
{
    icalparameter *param = icalproperty_get_first_parameter(p, ICAL_TZID_PARAMETER);
    const char *tzid = param ? icalparameter_get_tzid(param) : nullptr;
    if (!tzid || !*tzid)
        return nullptr;
    if (icaltimezone *own = icalcomponent_get_timezone(calendar_, tzid))
        return own;
    QByteArray name(tzid);
    // Names as some programs write them: a path ending in the zone's name,
    // or a Windows name.
    QList<QByteArray> parts = name.split('/');
    for (qsizetype from = 0; from < parts.size(); ++from) {
        const QByteArray tail = parts.mid(from).join('/');
        if (icaltimezone *z = icaltimezone_get_builtin_timezone(tail.constData()))
            return z;
    }
    const QByteArray iana = QTimeZone::windowsIdToDefaultIanaId(name);
    if (!iana.isEmpty())
        if (icaltimezone *z = icaltimezone_get_builtin_timezone(iana.constData()))
            return z;
    if (unknown)
        *unknown = QString::fromUtf8(name);
    return nullptr;
}

Moment TimeFrame::local(icaltimetype t, icaltimezone *zone) const
{
    if (icaltime_is_date(t))
        return {QDate(t.year, t.month, t.day), QTime()};
    if (!zone && !icaltime_is_utc(t)) // floating: the wall time as it stands
        return {QDate(t.year, t.month, t.day), QTime(t.hour, t.minute, t.second)};
    if (localZone_) {
        icaltimezone_convert_time(&t, icaltime_is_utc(t) ? icaltimezone_get_utc_timezone() : zone, localZone_);
        return {QDate(t.year, t.month, t.day), QTime(t.hour, t.minute, t.second)};
    }
    const time_t secs = icaltime_as_timet_with_zone(t, icaltime_is_utc(t) ? icaltimezone_get_utc_timezone() : zone);
    const QDateTime here = QDateTime::fromSecsSinceEpoch(qint64(secs), local_);
    return {here.date(), here.time()};
}

bool isCancelled(icalcomponent *entry)
{
    return icalcomponent_get_status(entry) == ICAL_STATUS_CANCELLED;
}

Series expand(icalcomponent *entry, const std::vector<std::pair<icalcomponent *, QString>> &overrides,
              TimeFrame &frame, const QString &datePattern)
{
    Series s;
    icalproperty *startProp = icalcomponent_get_first_property(entry, ICAL_DTSTART_PROPERTY);
    if (!startProp)
        return s;
    icaltimetype start = icalproperty_get_dtstart(startProp);
    if (icaltime_is_null_time(start) || !icaltime_is_valid_time(start) || !QDate(start.year, start.month, start.day).isValid())
        return s;
    s.hasStart = true;
    std::vector<Moment> all;
    const Moment first = momentOf(startProp, start, frame, &s.unknownZone);
    all.push_back(first);

    // The rule's UNTIL is in UTC: the start must know its zone to be compared with it.
    if (!icaltime_is_utc(start) && !icaltime_is_date(start))
        if (icaltimezone *zone = frame.zoneOf(startProp, nullptr))
            start.zone = zone;
    // Occurrences after the first: up to two years from it, 1,000 at most.
    icaltimetype limit = start;
    limit.year += kMaxYears;
    bool cut = false;
    for (icalproperty *p = icalcomponent_get_first_property(entry, ICAL_RRULE_PROPERTY); p;
         p = icalcomponent_get_next_property(entry, ICAL_RRULE_PROPERTY)) {
        const icalrecurrencetype rule = icalproperty_get_rrule(p);
        if (rule.freq == ICAL_NO_RECURRENCE) {
            s.changes << QStringLiteral("a repeat rule that is not understood was left out");
            continue;
        }
        icalrecur_iterator *it = icalrecur_iterator_new(rule, start);
        if (!it) {
            s.changes << QStringLiteral("a repeat rule that is not understood was left out");
            continue;
        }
        // The limit counts the occurrences of every rule together.
        for (icaltimetype t = icalrecur_iterator_next(it); !icaltime_is_null_time(t); t = icalrecur_iterator_next(it)) {
            if (icaltime_compare(t, limit) >= 0 || all.size() > size_t(kMaxOccurrences)) {
                cut = true;
                break;
            }
            t.zone = start.zone;
            all.push_back(momentOf(startProp, t, frame, nullptr));
        }
        icalrecur_iterator_free(it);
    }
    for (icalproperty *p = icalcomponent_get_first_property(entry, ICAL_RDATE_PROPERTY); p;
         p = icalcomponent_get_next_property(entry, ICAL_RDATE_PROPERTY)) {
        const icaldatetimeperiodtype d = icalproperty_get_rdate(p);
        const icaltimetype t = icaltime_is_null_time(d.time) ? d.period.start : d.time;
        if (!icaltime_is_null_time(t) && QDate(t.year, t.month, t.day).isValid())
            all.push_back(momentOf(p, t, frame, &s.unknownZone));
    }
    std::sort(all.begin(), all.end());
    all.erase(std::unique(all.begin(), all.end()), all.end());

    // Taken out: the dates of EXDATE, and those that the overrides move or cancel.
    std::vector<Moment> out, added;
    for (icalproperty *p = icalcomponent_get_first_property(entry, ICAL_EXDATE_PROPERTY); p;
         p = icalcomponent_get_next_property(entry, ICAL_EXDATE_PROPERTY)) {
        const icaltimetype t = icalproperty_get_exdate(p);
        if (!icaltime_is_null_time(t) && QDate(t.year, t.month, t.day).isValid())
            out.push_back(momentOf(p, t, frame, &s.unknownZone));
    }
    for (const auto &[override, where] : overrides) {
        icalproperty *rid = icalcomponent_get_first_property(override, ICAL_RECURRENCEID_PROPERTY);
        const icaltimetype t = icalproperty_get_recurrenceid(rid);
        if (icaltime_is_null_time(t) || !QDate(t.year, t.month, t.day).isValid())
            continue;
        const Moment was = momentOf(rid, t, frame, &s.unknownZone);
        out.push_back(was);
        icalproperty *moved = icalcomponent_get_first_property(override, ICAL_DTSTART_PROPERTY);
        if (isCancelled(override) || !moved) {
            s.changes << QStringLiteral("%1 cancels the occurrence of %2").arg(where, momentText(was, datePattern));
            continue;
        }
        const Moment to = momentOf(moved, icalproperty_get_dtstart(moved), frame, &s.unknownZone);
        added.push_back(to);
        if (!(to == was))
            s.changes << QStringLiteral("%1 moves the occurrence of %2 to %3")
                             .arg(where, momentText(was, datePattern), momentText(to, datePattern));
    }
    for (const Moment &m : all) {
        const bool taken = std::any_of(out.begin(), out.end(), [&](const Moment &x) {
            return x.date == m.date && (!x.time.isValid() || !m.time.isValid() || x.time == m.time);
        });
        if (!taken)
            s.moments.push_back(m);
    }
    s.moments.insert(s.moments.end(), added.begin(), added.end());
    std::sort(s.moments.begin(), s.moments.end());
    s.moments.erase(std::unique(s.moments.begin(), s.moments.end()), s.moments.end());
    if (s.moments.size() > size_t(kMaxOccurrences)) {
        s.moments.resize(kMaxOccurrences);
        cut = true;
    }
    if (cut)
        s.changes << QStringLiteral("repeats beyond two years or 1,000 occurrences; only those up to %1 are taken")
                         .arg(momentText(s.moments.back(), datePattern));
    return s;
}

} // namespace interop::ical
