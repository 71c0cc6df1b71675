#include "icalimport.h"

#include "datetext.h"
#include "icalexpand.h"
#include "icalsupport.h"
#include "importlines.h"

#include <QHash>

#include <algorithm>

#include <map>

namespace interop {

using namespace ical;

namespace {

QString propText(icalcomponent *c, icalproperty_kind kind)
{
    icalproperty *p = icalcomponent_get_first_property(c, kind);
    if (!p)
        return {};
    const char *value = nullptr;
    switch (kind) {
    case ICAL_CATEGORIES_PROPERTY: value = icalproperty_get_categories(p); break;
    case ICAL_SUMMARY_PROPERTY: value = icalproperty_get_summary(p); break;
    case ICAL_DESCRIPTION_PROPERTY: value = icalproperty_get_description(p); break;
    case ICAL_LOCATION_PROPERTY: value = icalproperty_get_location(p); break;
    case ICAL_URL_PROPERTY: value = icalproperty_get_url(p); break;
    default: break;
    }
    return plainText(text(value)).trimmed();
}

// The X- properties of an entry by name (the first of each name).
QHash<QByteArray, QString> xTexts(icalcomponent *c)
{
    QHash<QByteArray, QString> out;
    for (icalproperty *p = icalcomponent_get_first_property(c, ICAL_X_PROPERTY); p;
         p = icalcomponent_get_next_property(c, ICAL_X_PROPERTY)) {
        const QByteArray name(icalproperty_get_x_name(p));
        if (!out.contains(name))
            out.insert(name, plainText(text(icalproperty_get_x(p))));
    }
    return out;
}

QString timeText(const QTime &t)
{
    return t.toString(QStringLiteral("HHmm"));
}

struct Reader {
    const ImportContext &ctx;
    TimeFrame frame;
    ImportResult result;
    QSet<QString> knownIds;
    std::map<QString, size_t> ownEvents; // key of an event of Vantel's -> its place in result.events

    Reader(icalcomponent *calendar, const ImportContext &c) : ctx(c), frame(calendar, c.timeZone)
    {
        for (const KnownEvent &k : ctx.existing)
            knownIds.insert(k.eventId);
    }

    void note(Finding::Kind kind, const QString &where, const QString &what)
    {
        result.findings.push_back({kind, where, what});
    }

    // An entry of a file Vantel wrote: back to its event and line, keys and all.
    void own(icalcomponent *c, const EntryKeys &keys, const Series &series, const QString &where)
    {
        if (knownIds.contains(keys.eventId)) {
            note(Finding::Skipped, where, QStringLiteral("the event %1 is there already").arg(keys.eventId));
            return;
        }
        const QHash<QByteArray, QString> x = xTexts(c);
        auto found = ownEvents.find(keys.eventId);
        if (found == ownEvents.end()) {
            NewEvent e;
            e.eventId = keys.eventId;
            e.source = where;
            setField(result, e, where, "name", propText(c, ICAL_SUMMARY_PROPERTY));
            result.events.push_back(std::move(e));
            found = ownEvents.emplace(keys.eventId, result.events.size() - 1).first;
        }
        NewEvent &e = result.events[found->second];
        // The fields travel in one entry of the event, whichever comes first.
        for (const QString &column : carriedColumns())
            if (const auto v = x.constFind(fieldProperty(column)); v != x.constEnd() && !e.fields.count(column))
                setField(result, e, where, column.toLatin1().constData(), *v);
        const Moment first = series.moments.front();
        auto line = std::find_if(e.lines.begin(), e.lines.end(), [&](const NewLine &l) { return l.timeId == keys.timeId; });
        if (line == e.lines.end()) {
            NewLine l;
            l.timeId = ctx.existingTimeIds.contains(keys.timeId) ? QString() : keys.timeId;
            l.start = first.date;
            l.end = series.moments.back().date;
            l.times = QStringList(6, QStringLiteral("0000"));
            e.lines.push_back(l);
            line = e.lines.end() - 1;
        }
        if (const auto v = x.constFind(kLineCity); v != x.constEnd())
            line->city = *v;
        if (const auto v = x.constFind(kLineState); v != x.constEnd())
            line->state = *v;
        if (keys.slot >= 1 && first.time.isValid())
            line->times[keys.slot - 1] = timeText(first.time);
    }

    void foreign(icalcomponent *c, const Series &series, const QString &where)
    {
        NewEvent e;
        e.source = where;
        const QString name = fitted(propText(c, ICAL_SUMMARY_PROPERTY), QStringLiteral("name"), nullptr);
        Days days;
        for (const Moment &m : series.moments) {
            std::vector<QTime> &times = days[m.date];
            if (!m.time.isValid())
                continue;
            if (m.time.hour() == 0 && m.time.minute() == 0) {
                note(Finding::ToComplete, where,
                     QStringLiteral("starts at midnight on %1, which a date line cannot hold: it comes without a time")
                         .arg(dateText(m.date, ctx.datePattern)));
                continue;
            }
            times.push_back(m.time);
        }
        const ImportedLines lines = linesFor(days, ctx.defaultCity, ctx.defaultState, ctx.datePattern);
        if (!lines.error.isEmpty()) {
            note(Finding::Skipped, where, lines.error);
            return;
        }
        e.lines = lines.lines;
        if (isDuplicate(ctx, result, name, e.firstDate(), where))
            return;
        for (const QString &change : lines.changes)
            note(Finding::Changed, where, change);
        if (lines.untimed) {
            e.incomplete = true;
            note(Finding::ToComplete, where, QStringLiteral("has no time: complete its date lines"));
        }
        fillForeign({propText(c, ICAL_SUMMARY_PROPERTY), propText(c, ICAL_DESCRIPTION_PROPERTY),
                     propText(c, ICAL_LOCATION_PROPERTY), QString(), propText(c, ICAL_URL_PROPERTY),
                     propText(c, ICAL_CATEGORIES_PROPERTY)},
                    ctx, where, e, result);
        result.events.push_back(std::move(e));
    }
};

} // namespace

ImportResult importCalendar(const QByteArray &input, const ImportContext &context)
{
    QByteArray bytes = input.startsWith("\xEF\xBB\xBF") ? input.mid(3) : input;
    if (!bytes.toUpper().contains("BEGIN:VCALENDAR")) {
        ImportResult r;
        r.error = QStringLiteral("The file is not a calendar file (iCalendar): nothing was imported.");
        return r;
    }
    icalerror_set_errors_are_fatal(0);
    Component root(icalparser_parse_string(bytes.constData()));
    std::vector<icalcomponent *> calendars;
    if (root && icalcomponent_isa(root.get()) == ICAL_VCALENDAR_COMPONENT)
        calendars.push_back(root.get());
    else if (root)
        for (icalcomponent *c = icalcomponent_get_first_component(root.get(), ICAL_VCALENDAR_COMPONENT); c;
             c = icalcomponent_get_next_component(root.get(), ICAL_VCALENDAR_COMPONENT))
            calendars.push_back(c);
    if (calendars.empty()) {
        ImportResult r;
        r.error = QStringLiteral("The file is not a calendar file (iCalendar): nothing was imported.");
        return r;
    }
    ImportResult all;
    long number = 0, components = 0;
    for (icalcomponent *calendar : calendars) {
        Reader reader(calendar, context);
        // The entries that move or cancel single occurrences, by UID.
        QHash<QString, std::vector<std::pair<icalcomponent *, QString>>> overrides;
        std::vector<std::pair<icalcomponent *, QString>> entries;
        for (icalcomponent *c = icalcomponent_get_first_component(calendar, ICAL_ANY_COMPONENT); c;
             c = icalcomponent_get_next_component(calendar, ICAL_ANY_COMPONENT)) {
            const icalcomponent_kind kind = icalcomponent_isa(c);
            if (kind == ICAL_VTIMEZONE_COMPONENT)
                continue;
            ++components;
            if (kind != ICAL_VEVENT_COMPONENT) {
                reader.note(Finding::Skipped, QString::fromUtf8(icalcomponent_kind_to_string(kind)),
                            QStringLiteral("is no event"));
                continue;
            }
            const QString summary = propText(c, ICAL_SUMMARY_PROPERTY);
            const QString where = QStringLiteral("VEVENT %1 \"%2\"").arg(++number).arg(summary.left(60));
            const QString uid = text(icalcomponent_get_uid(c));
            if (icalcomponent_get_first_property(c, ICAL_RECURRENCEID_PROPERTY) && !uid.isEmpty())
                overrides[uid].emplace_back(c, where);
            else
                entries.emplace_back(c, where);
        }
        QSet<QString> masters;
        for (const auto &[c, where] : entries)
            masters.insert(text(icalcomponent_get_uid(c)));
        for (auto it = overrides.begin(); it != overrides.end(); ++it)
            if (!masters.contains(it.key())) // an occurrence whose series is not in the file stands alone
                for (const auto &o : it.value())
                    entries.push_back(o);
        for (const auto &[c, where] : entries) {
            for (icalproperty *p = icalcomponent_get_first_property(c, ICAL_XLICERROR_PROPERTY); p;
                 p = icalcomponent_get_next_property(c, ICAL_XLICERROR_PROPERTY))
                reader.note(Finding::Changed, where, QStringLiteral("a property was not understood and left out (%1)")
                                                         .arg(text(icalproperty_get_xlicerror(p)).left(80)));
            if (isCancelled(c)) {
                reader.note(Finding::Skipped, where, QStringLiteral("cancelled"));
                continue;
            }
            const icalproperty_class cls = icalcomponent_get_first_property(c, ICAL_CLASS_PROPERTY)
                                               ? icalproperty_get_class(icalcomponent_get_first_property(c, ICAL_CLASS_PROPERTY))
                                               : ICAL_CLASS_PUBLIC;
            if (cls == ICAL_CLASS_PRIVATE || cls == ICAL_CLASS_CONFIDENTIAL) {
                reader.note(Finding::Skipped, where, QStringLiteral("private"));
                continue;
            }
            const QString uid = text(icalcomponent_get_uid(c));
            const bool master = !icalcomponent_get_first_property(c, ICAL_RECURRENCEID_PROPERTY);
            const Series series = expand(c, master ? overrides.value(uid) : std::vector<std::pair<icalcomponent *, QString>>{},
                                         reader.frame, context.datePattern);
            if (!series.hasStart) {
                reader.note(Finding::Skipped, where, QStringLiteral("no DTSTART"));
                continue;
            }
            if (series.moments.empty()) {
                reader.note(Finding::Skipped, where, QStringLiteral("every occurrence is excluded or cancelled"));
                continue;
            }
            if (!series.unknownZone.isEmpty())
                reader.note(Finding::Changed, where, QStringLiteral("time zone %1 unknown: its times are taken as local times")
                                                         .arg(series.unknownZone));
            for (const QString &change : series.changes)
                reader.note(Finding::Changed, where, change);
            const EntryKeys keys = parseEntryUid(uid);
            if (keys.slot >= 0 && master)
                reader.own(c, keys, series, where);
            else
                reader.foreign(c, series, where);
        }
        // Vantel's own events whose keys are new to the data may still be
        // there under another key: the same name and first date.
        for (NewEvent &e : reader.result.events) {
            const bool there = !e.eventId.isEmpty()
                               && std::any_of(context.existing.begin(), context.existing.end(), [&](const KnownEvent &k) {
                                      return k.name.compare(e.field(QStringLiteral("name")), Qt::CaseInsensitive) == 0
                                             && k.firstDate == e.firstDate();
                                  });
            if (there)
                reader.note(Finding::Skipped, e.source, QStringLiteral("an event of that name and first date is there already"));
            else
                all.events.push_back(std::move(e));
        }
        for (Finding &f : reader.result.findings)
            all.findings.push_back(std::move(f));
    }
    if (components == 0)
        all.error = QStringLiteral("The calendar file holds no events: nothing was imported.");
    return all;
}

} // namespace interop
