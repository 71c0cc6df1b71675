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

// Whether the occurrences fall one on each day from the first to the last,
// as in an entry Vantel writes for a date line; whatever else an entry
// under Vantel's keys holds (added dates, gaps) comes in as any other
// entry does.
bool oneDayAfterAnother(const Series &series)
{
    for (size_t i = 1; i < series.moments.size(); ++i)
        if (series.moments[i].date != series.moments[i - 1].date.addDays(1))
            return false;
    return true;
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
        QStringList midnights; // said once the entry is known to come in
        for (const Moment &m : series.moments) {
            std::vector<QTime> &times = days[m.date];
            if (!m.time.isValid())
                continue;
            if (m.time.hour() == 0 && m.time.minute() == 0) {
                midnights << QStringLiteral("starts at midnight on %1, which a date line cannot hold: it comes without "
                                            "a time")
                                 .arg(dateText(m.date, ctx.datePattern));
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
        for (const QString &midnight : midnights)
            note(Finding::ToComplete, where, midnight);
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

// ---- The file cut into its components
//
// The file is read one component at a time: the library's tree of a whole
// calendar of many entries is many times the size of its text. The cuts are
// made at the lines that begin and end components, the library reads each
// piece.

// A component of a calendar as the file has it.
struct Piece {
    QByteArrayView text;
    QByteArray name;          // as its BEGIN line names it
    bool mayOverride = false; // one of its own lines is named RECURRENCE-ID
};

// One content line: where the next begins, and what the line is when that
// matters to the cutting.
struct Line {
    enum Kind { Other, Begin, End, RecurrenceId } kind = Other;
    QByteArray value; // of a BEGIN or END line
};

bool startsWithNoCase(QByteArrayView text, QByteArrayView word)
{
    return text.size() >= word.size() && qstrnicmp(text.data(), word.data(), size_t(word.size())) == 0;
}

// The content line from `at` with its continuation lines; moves `at` past it.
Line nextLine(QByteArrayView all, qsizetype &at)
{
    const qsizetype start = at;
    const auto lineEnd = [&](qsizetype from) {
        const qsizetype e = all.indexOf('\n', from);
        return e < 0 ? all.size() : e;
    };
    Line line;
    const char first = start < all.size() ? char(all[start] | 0x20) : 0;
    // Only BEGIN, END and RECURRENCE-ID lines matter; the others are passed over.
    const bool wanted = first == 'b' || first == 'e' || first == 'r';
    QByteArray text;
    for (qsizetype from = start, end = lineEnd(start);; end = lineEnd(from)) {
        if (wanted) {
            QByteArrayView part = all.sliced(from, end - from);
            if (part.endsWith('\r'))
                part.chop(1);
            text.append(part);
        }
        at = end + 1;
        if (at >= all.size() || (all[at] != ' ' && all[at] != '\t'))
            break;
        from = at + 1;
    }
    if (!wanted)
        return line;
    // The name as the library reads it: up to the parameters or the value,
    // blanks after it not counting.
    const qsizetype colon = text.indexOf(':');
    qsizetype nameEnd = text.indexOf(';');
    if (nameEnd < 0 || (colon >= 0 && colon < nameEnd))
        nameEnd = colon;
    if (nameEnd < 0)
        return line;
    const QByteArrayView name = QByteArrayView(text).first(nameEnd).trimmed();
    const auto is = [&](QByteArrayView word) { return name.size() == word.size() && startsWithNoCase(name, word); };
    if (is("BEGIN") || is("END")) {
        line.kind = is("BEGIN") ? Line::Begin : Line::End;
        line.value = colon >= 0 ? text.mid(colon + 1) : QByteArray();
    } else if (is("RECURRENCE-ID")) {
        line.kind = Line::RecurrenceId;
    }
    return line;
}

// The components of each VCALENDAR of the file, in order. A calendar that
// the file ends inside of is cut short and left out, as the library does.
std::vector<std::vector<Piece>> cutCalendars(QByteArrayView all)
{
    std::vector<std::vector<Piece>> calendars;
    int depth = 0;
    bool inCalendar = false;
    qsizetype pieceStart = -1;
    Piece piece;
    for (qsizetype at = 0; at < all.size();) {
        const qsizetype lineStart = at;
        const Line line = nextLine(all, at);
        const qsizetype lineStop = std::min(at, all.size());
        if (line.kind == Line::Begin) {
            if (depth == 0) {
                inCalendar = icalcomponent_string_to_kind(line.value.constData()) == ICAL_VCALENDAR_COMPONENT;
                if (inCalendar)
                    calendars.emplace_back();
            } else if (depth == 1 && inCalendar) {
                pieceStart = lineStart;
                piece = Piece{{}, line.value, false};
            }
            ++depth;
        } else if (line.kind == Line::End && depth > 0) {
            if (--depth == 0)
                inCalendar = false;
            if (depth == 1 && pieceStart >= 0) {
                piece.text = all.sliced(pieceStart, lineStop - pieceStart);
                calendars.back().push_back(piece);
                pieceStart = -1;
            }
        } else if (line.kind == Line::RecurrenceId && depth == 2) {
            piece.mayOverride = true;
        }
    }
    if (inCalendar)
        calendars.pop_back();
    return calendars;
}

// What the library could not read of `c` and of the components within it
// (it leaves such a line out and says so in an X-LIC-ERROR property).
void unreadLines(icalcomponent *c, QStringList &out)
{
    for (icalproperty *p = icalcomponent_get_first_property(c, ICAL_XLICERROR_PROPERTY); p;
         p = icalcomponent_get_next_property(c, ICAL_XLICERROR_PROPERTY))
        out << text(icalproperty_get_xlicerror(p)).left(80);
    for (icalcomponent *inner = icalcomponent_get_first_component(c, ICAL_ANY_COMPONENT); inner;
         inner = icalcomponent_get_next_component(c, ICAL_ANY_COMPONENT))
        unreadLines(inner, out);
}

Component parsePiece(QByteArrayView text)
{
    const QByteArray own = text.toByteArray(); // the library reads up to a zero
    return Component(icalparser_parse_string(own.constData()));
}

// The calendar holding the time zones of `pieces` alone.
Component zonesOf(const std::vector<Piece> &pieces)
{
    QByteArray text = "BEGIN:VCALENDAR\r\n";
    for (const Piece &p : pieces)
        if (icalcomponent_string_to_kind(p.name.constData()) == ICAL_VTIMEZONE_COMPONENT) {
            text.append(p.text);
            if (!text.endsWith('\n'))
                text.append("\r\n");
        }
    text.append("END:VCALENDAR\r\n");
    Component calendar(icalparser_parse_string(text.constData()));
    if (!calendar || icalcomponent_isa(calendar.get()) != ICAL_VCALENDAR_COMPONENT)
        calendar.reset(icalcomponent_new_vcalendar());
    return calendar;
}

} // namespace

ImportResult importCalendar(const QByteArray &input, const ImportContext &context)
{
    QByteArrayView bytes(input); // no copy: the pieces are views of it
    if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes = bytes.sliced(3);
    LibraryMessages messages;
    const std::vector<std::vector<Piece>> calendars = cutCalendars(bytes);
    if (calendars.empty()) {
        ImportResult r;
        r.error = QStringLiteral("The file is not a calendar file (iCalendar): nothing was imported.");
        return r;
    }
    ImportResult all;
    long number = 0, components = 0;
    QHash<QString, long> others; // components that are no events, by kind: they are numbered too
    for (const std::vector<Piece> &pieces : calendars) {
        // The calendar keeps its time zones and the entries that move or
        // cancel single occurrences; the other entries are read, taken and
        // freed one at a time.
        const Component calendar = zonesOf(pieces);
        Reader reader(calendar.get(), context);
        // Whatever the library said, in the report at the component it read.
        const auto heard = [&](const QString &where) {
            for (const QString &m : messages.take())
                reader.note(Finding::Changed, where, QStringLiteral("the calendar library reported: %1").arg(m.left(120)));
        };
        for (icalcomponent *z = icalcomponent_get_first_component(calendar.get(), ICAL_VTIMEZONE_COMPONENT); z;
             z = icalcomponent_get_next_component(calendar.get(), ICAL_VTIMEZONE_COMPONENT)) {
            icalproperty *tzid = icalcomponent_get_first_property(z, ICAL_TZID_PROPERTY);
            const QString where = QStringLiteral("VTIMEZONE %1").arg(tzid ? text(icalproperty_get_tzid(tzid)) : QString());
            QStringList unread;
            unreadLines(z, unread);
            for (const QString &u : unread)
                reader.note(Finding::Changed, where, QStringLiteral("a line was not understood and left out (%1)").arg(u));
        }
        heard(QStringLiteral("VTIMEZONE"));
        const auto read = [&](const Piece &piece) -> icalcomponent * {
            Component c = parsePiece(piece.text);
            if (!c)
                return nullptr;
            icalcomponent *entry = c.release();
            icalcomponent_add_component(calendar.get(), entry);
            return entry;
        };
        const auto whereOf = [](icalcomponent *c, long n) {
            return QStringLiteral("VEVENT %1 \"%2\"").arg(n).arg(propText(c, ICAL_SUMMARY_PROPERTY).left(60));
        };
        struct Pending {
            const Piece *piece;
            long number;
            icalcomponent *read; // already read (and kept in the calendar), or null
            QString where;
        };
        QHash<QString, std::vector<std::pair<icalcomponent *, QString>>> overrides;
        std::vector<QString> overrideOrder; // their UIDs as first seen
        std::vector<Pending> entries;
        for (const Piece &piece : pieces) {
            icalcomponent_kind kind = icalcomponent_string_to_kind(piece.name.constData());
            if (kind == ICAL_VTIMEZONE_COMPONENT)
                continue;
            if (kind != ICAL_VEVENT_COMPONENT) {
                // What the library makes of it (an unknown name, an X- component).
                const Component c = parsePiece(piece.text);
                kind = c ? icalcomponent_isa(c.get()) : ICAL_XLICINVALID_COMPONENT;
                messages.take(); // of no matter: it is left out whole
            }
            ++components;
            if (kind != ICAL_VEVENT_COMPONENT) {
                const QString name = QString::fromUtf8(icalcomponent_kind_to_string(kind));
                reader.note(Finding::Skipped, QStringLiteral("%1 %2").arg(name).arg(++others[name]),
                            QStringLiteral("is no event"));
                continue;
            }
            Pending pending{&piece, ++number, nullptr, {}};
            if (piece.mayOverride) {
                icalcomponent *c = read(piece);
                const QString uid = c ? text(icalcomponent_get_uid(c)) : QString();
                const QString where = c ? whereOf(c, pending.number) : QString();
                heard(c ? where : QStringLiteral("VEVENT %1").arg(pending.number));
                if (c && icalcomponent_get_first_property(c, ICAL_RECURRENCEID_PROPERTY) && !uid.isEmpty()) {
                    if (!overrides.contains(uid))
                        overrideOrder.push_back(uid);
                    overrides[uid].emplace_back(c, where);
                    continue;
                }
                pending.read = c;
                pending.where = where;
            }
            entries.push_back(std::move(pending));
        }
        QSet<QString> masters;
        const auto take = [&](icalcomponent *c, const QString &where) {
            QStringList unread;
            unreadLines(c, unread);
            for (const QString &u : unread)
                reader.note(Finding::Changed, where, QStringLiteral("a property was not understood and left out (%1)").arg(u));
            if (isCancelled(c)) {
                reader.note(Finding::Skipped, where, QStringLiteral("cancelled"));
                return;
            }
            const icalproperty_class cls = icalcomponent_get_first_property(c, ICAL_CLASS_PROPERTY)
                                               ? icalproperty_get_class(icalcomponent_get_first_property(c, ICAL_CLASS_PROPERTY))
                                               : ICAL_CLASS_PUBLIC;
            if (cls == ICAL_CLASS_PRIVATE || cls == ICAL_CLASS_CONFIDENTIAL) {
                reader.note(Finding::Skipped, where, QStringLiteral("private"));
                return;
            }
            const QString uid = text(icalcomponent_get_uid(c));
            const bool master = !icalcomponent_get_first_property(c, ICAL_RECURRENCEID_PROPERTY);
            const Series series = expand(c, master ? overrides.value(uid) : std::vector<std::pair<icalcomponent *, QString>>{},
                                         reader.frame, context.datePattern);
            if (!series.hasStart) {
                reader.note(Finding::Skipped, where, QStringLiteral("no DTSTART"));
                return;
            }
            if (series.moments.empty()) {
                reader.note(Finding::Skipped, where, QStringLiteral("every occurrence is excluded or cancelled"));
                return;
            }
            if (!series.unknownZone.isEmpty())
                reader.note(Finding::Changed, where, QStringLiteral("time zone %1 unknown: its times are taken as local times")
                                                         .arg(series.unknownZone));
            for (const QString &change : series.changes)
                reader.note(Finding::Changed, where, change);
            const EntryKeys keys = parseEntryUid(uid);
            if (keys.slot >= 0 && master && oneDayAfterAnother(series))
                reader.own(c, keys, series, where);
            else
                reader.foreign(c, series, where);
        };
        for (const Pending &pending : entries) {
            icalcomponent *c = pending.read ? pending.read : read(*pending.piece);
            if (!c) {
                heard(QStringLiteral("VEVENT %1").arg(pending.number));
                reader.note(Finding::Skipped, QStringLiteral("VEVENT %1").arg(pending.number),
                            QStringLiteral("cannot be read"));
                continue;
            }
            const QString where = pending.read ? pending.where : whereOf(c, pending.number);
            heard(where);
            masters.insert(text(icalcomponent_get_uid(c)));
            take(c, where);
            heard(where);
            if (!pending.read) {
                icalcomponent_remove_component(calendar.get(), c);
                icalcomponent_free(c);
            }
        }
        for (const QString &uid : overrideOrder)
            if (!masters.contains(uid)) // an occurrence whose series is not in the file stands alone
                for (const auto &[c, where] : overrides.value(uid)) {
                    take(c, where);
                    heard(where);
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
    if (components == 0) { // the error alone: what was said of its time zones does not matter then
        ImportResult none;
        none.error = QStringLiteral("The calendar file holds no events: nothing was imported.");
        return none;
    }
    return all;
}

} // namespace interop
