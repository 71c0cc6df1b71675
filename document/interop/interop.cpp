#include "interop.h"

#include "definition.h"
#include "keys.h"
#include "readfile.h"
#include "recordset.h"

#include <QFileInfo>
#include <QHash>

namespace interop {

QString NewEvent::field(const QString &column) const
{
    const auto it = fields.find(column);
    return it == fields.end() ? QString() : it->second;
}

QDate NewEvent::firstDate() const
{
    QDate first;
    for (const NewLine &l : lines)
        if (l.start.isValid() && (!first.isValid() || l.start < first))
            first = l.start;
    return first;
}

long ImportResult::lineCount() const
{
    long n = 0;
    for (const NewEvent &e : events)
        n += long(e.lines.size());
    return n;
}

QStringList ImportResult::reportLines() const
{
    if (!ok())
        return {error};
    // One line per component or row, in the order first named: the reason
    // it was left out, or all that was changed of it and is to be completed.
    struct Line {
        Finding::Kind kind;
        QString where;
        QStringList what;
    };
    std::vector<Line> lines;
    QHash<QString, size_t> lineOf;
    for (const Finding &f : findings) {
        const auto it = lineOf.constFind(f.where);
        if (it == lineOf.constEnd()) {
            lineOf.insert(f.where, lines.size());
            lines.push_back({f.kind, f.where, {f.what}});
            continue;
        }
        Line &l = lines[*it];
        if (l.kind == Finding::Skipped) // left out for its first reason; the rest does not matter
            continue;
        if (f.kind == Finding::Skipped) {
            l = {Finding::Skipped, f.where, {f.what}};
            continue;
        }
        if (f.kind == Finding::ToComplete)
            l.kind = Finding::ToComplete;
        l.what << f.what;
    }
    long count[3] = {0, 0, 0};
    for (const Line &l : lines)
        ++count[l.kind];
    const long n = long(events.size()), dateLines = lineCount();
    QStringList out;
    out << QStringLiteral("%1 %2 with %3 date %4 added; %5 skipped, %6 changed, %7 to complete.")
               .arg(n)
               .arg(n == 1 ? QStringLiteral("event") : QStringLiteral("events"))
               .arg(dateLines)
               .arg(dateLines == 1 ? QStringLiteral("line") : QStringLiteral("lines"))
               .arg(count[Finding::Skipped])
               .arg(count[Finding::Changed])
               .arg(count[Finding::ToComplete]);
    static const char *const kinds[] = {"Skipped", "Changed", "To complete"};
    for (const Line &l : lines)
        out << QStringLiteral("%1: %2: %3").arg(QLatin1String(kinds[l.kind]), l.where, l.what.join(QStringLiteral("; ")));
    return out;
}

ImportContext contextFor(const RecordSet &admin, const RecordSet &events, const RecordSet &dates,
                         const QString &datePattern)
{
    ImportContext ctx;
    ctx.datePattern = datePattern;
    if (admin.RowCount() >= 1) {
        ctx.defaultCountry = admin.GetItemString(1, QStringLiteral("default_country"));
        ctx.defaultState = admin.GetItemString(1, QStringLiteral("default_state"));
        ctx.defaultCity = admin.GetItemString(1, QStringLiteral("default_city"));
    }
    const int eventCol = dates.columnIndex(QStringLiteral("event_id")),
              timeCol = dates.columnIndex(QStringLiteral("time_id")),
              startCol = dates.columnIndex(QStringLiteral("start_date"));
    QHash<QByteArray, QDate> first;
    RowStore::Pass datesPass(dates.store()), eventsPass(events.store());
    for (long p = 0; p < dates.allRowCount(); ++p, datesPass.row()) {
        ctx.existingTimeIds.insert(QString::fromUtf8(dates.valueAt(p, timeCol)));
        const QDate d = QDate::fromString(QString::fromLatin1(dates.valueAt(p, startCol)), Qt::ISODate);
        QDate &f = first[dates.valueAt(p, eventCol).toByteArray()];
        if (d.isValid() && (!f.isValid() || d < f))
            f = d;
    }
    const int idCol = events.columnIndex(QStringLiteral("event_id")), nameCol = events.columnIndex(QStringLiteral("name"));
    for (long p = 0; p < events.allRowCount(); ++p, eventsPass.row()) {
        const QByteArray id = events.valueAt(p, idCol).toByteArray();
        ctx.existing.push_back({QString::fromUtf8(id), QString::fromUtf8(events.valueAt(p, nameCol)), first.value(id)});
    }
    return ctx;
}

ImportFile readImportFile(const QString &path, qint64 maxBytes)
{
    ImportFile file;
    const QString name = QFileInfo(path).fileName();
    QString reason;
    switch (rt::ReadWholeFile(path, maxBytes, file.bytes, &reason)) {
    case rt::ReadStatus::Missing:
        file.error = QStringLiteral("The file %1 does not exist.").arg(path);
        return file;
    case rt::ReadStatus::Failed:
        file.bytes.clear();
        if (QFileInfo(path).isFile() && QFileInfo(path).size() > maxBytes)
            file.error = QStringLiteral("The file %1 is larger than %2 MB: nothing was imported.")
                             .arg(name)
                             .arg(maxBytes / (1024 * 1024));
        else
            file.error = QStringLiteral("The file %1 cannot be read: %2.").arg(path, reason);
        return file;
    case rt::ReadStatus::Read:
        break;
    }
    if (file.bytes.trimmed().isEmpty()) {
        file.error = QStringLiteral("The file %1 is empty: nothing was imported.").arg(name);
        return file;
    }
    const QString suffix = QFileInfo(path).suffix().toLower();
    QByteArray head = file.bytes.left(64);
    if (head.startsWith("\xEF\xBB\xBF"))
        head = head.mid(3);
    const bool calendarText = head.trimmed().toUpper().startsWith("BEGIN:VCALENDAR");
    if (calendarText || suffix == QLatin1String("ics") || suffix == QLatin1String("ical")
        || suffix == QLatin1String("ifb")) {
        file.kind = FileKind::Calendar;
    } else if (suffix == QLatin1String("csv") || suffix == QLatin1String("txt")) {
        file.kind = FileKind::Spreadsheet;
    } else {
        file.error = QStringLiteral("The file %1 is neither a calendar file (.ics) nor a spreadsheet (.csv, .txt): "
                                    "nothing was imported.")
                         .arg(name);
    }
    return file;
}

Added addToRecordSets(const ImportResult &result, RecordSet &events, RecordSet &dates, const QString &login,
                      const QString &password, const KeyMaker &makeKey)
{
    Added added;
    long newEvents = 0, newLines = 0;
    for (const NewEvent &e : result.events) {
        newEvents += e.eventId.isEmpty() ? 1 : 0;
        for (const NewLine &l : e.lines)
            newLines += l.timeId.isEmpty() ? 1 : 0;
    }
    QStringList eventKeys, lineKeys;
    if (!makeKey) {
        eventKeys = keys::createKeys(QStringLiteral("EV"), newEvents);
        lineKeys = keys::createKeys(QStringLiteral("TI"), newLines);
    }
    auto key = [&](const QString &prefix, QStringList &batch) {
        return makeKey ? makeKey(prefix) : batch.takeFirst();
    };
    for (const NewEvent &e : result.events) {
        const long row = events.InsertRow(0);
        const QString eventId = e.eventId.isEmpty() ? key(QStringLiteral("EV"), eventKeys) : e.eventId;
        events.SetItem(row, QStringLiteral("event_id"), eventId);
        events.SetItem(row, QStringLiteral("user_id"), login);
        events.SetItem(row, QStringLiteral("user_password"), password);
        for (const auto &[column, value] : e.fields)
            events.SetText(row, column, value);
        ++added.events;
        for (const NewLine &l : e.lines) {
            const long d = dates.InsertRow(0);
            dates.SetItem(d, QStringLiteral("event_id"), eventId);
            dates.SetItem(d, QStringLiteral("time_id"), l.timeId.isEmpty() ? key(QStringLiteral("TI"), lineKeys) : l.timeId);
            dates.SetItem(d, QStringLiteral("city"), l.city);
            dates.SetItem(d, QStringLiteral("state"), l.state);
            dates.SetItem(d, QStringLiteral("start_date"), l.start);
            dates.SetItem(d, QStringLiteral("end_date"), l.end);
            for (int k = 0; k < 6; ++k)
                dates.SetItem(d, QStringLiteral("time%1").arg(k + 1),
                              k < l.times.size() ? l.times[k] : QStringLiteral("0000"));
            ++added.lines;
        }
    }
    return added;
}

int columnWidth(const QString &column)
{
    const Definition &def = definition(QStringLiteral("d_events"));
    const int c = def.columnIndex(column);
    return c > 0 && def.columns[size_t(c - 1)].type == ColType::Char ? def.columns[size_t(c - 1)].width : 0;
}

QString fitted(const QString &text, const QString &column, QString *rest)
{
    const int width = columnWidth(column);
    if (width <= 0 || text.size() <= width) {
        if (rest)
            rest->clear();
        return text;
    }
    qsizetype cut = width;
    for (qsizetype i = width; i > width / 2; --i)
        if (text[i].isSpace()) {
            cut = i;
            break;
        }
    if (text[cut - 1].isHighSurrogate())
        --cut;
    if (rest)
        *rest = text.mid(cut).trimmed();
    return text.left(cut).trimmed();
}

namespace {

// The code of the row of a drop-down whose code or text is `value`.
QString lookUp(const char *definitionName, const QString &value)
{
    const QString v = value.trimmed();
    if (v.isEmpty())
        return {};
    for (const std::vector<QString> &row : definition(QString::fromLatin1(definitionName)).rows)
        if (row[0].compare(v, Qt::CaseInsensitive) == 0 || row[1].trimmed().compare(v, Qt::CaseInsensitive) == 0)
            return row[0];
    return {};
}

} // namespace

QString categoryCode(const QString &textOrCode)
{
    return lookUp("dddw_categories", textOrCode);
}

QString categoryText(const QString &code)
{
    for (const std::vector<QString> &row : definition(QStringLiteral("dddw_categories")).rows)
        if (row[0] == code.trimmed())
            return row[1];
    return {};
}

QString countryCode(const QString &nameOrCode)
{
    return lookUp("dddw_countries", nameOrCode);
}

void setField(ImportResult &result, NewEvent &event, const QString &where, const char *column,
              const QString &value, QString *rest)
{
    const QString name = QString::fromLatin1(column);
    QString cut;
    event.fields[name] = fitted(value, name, &cut);
    if (rest)
        *rest = cut;
    else if (!cut.isEmpty())
        result.findings.push_back({Finding::Changed, where,
                                   QStringLiteral("%1 cut at %2 characters").arg(name).arg(columnWidth(name))});
}

bool isDuplicate(const ImportContext &context, ImportResult &result, const QString &name, const QDate &first,
                 const QString &where)
{
    for (const KnownEvent &k : context.existing)
        if (k.name.compare(name, Qt::CaseInsensitive) == 0 && k.firstDate == first) {
            result.findings.push_back(
                {Finding::Skipped, where, QStringLiteral("an event of that name and first date is there already")});
            return true;
        }
    for (const NewEvent &e : result.events)
        if (e.field(QStringLiteral("name")).compare(name, Qt::CaseInsensitive) == 0 && e.firstDate() == first) {
            result.findings.push_back({Finding::Skipped, where, QStringLiteral("the same event comes earlier in the file")});
            return true;
        }
    return false;
}

void fillForeign(const ForeignFields &f, const ImportContext &context, const QString &where, NewEvent &e,
                 ImportResult &result)
{
    setField(result, e, where, "name", f.name);
    QString rest;
    setField(result, e, where, "sdescription", f.description, &rest);
    if (!rest.isEmpty())
        setField(result, e, where, "edescription", rest);
    if (e.field(QStringLiteral("sdescription")).isEmpty()) {
        e.incomplete = true;
        result.findings.push_back({Finding::ToComplete, where, QStringLiteral("has no description")});
    }
    setField(result, e, where, "venue", f.venue, &rest);
    const QString address = f.address.isEmpty() ? rest : rest.isEmpty() ? f.address : rest + QStringLiteral(", ") + f.address;
    if (!address.isEmpty())
        setField(result, e, where, "venue_address", address);
    const int urlWidth = columnWidth(QStringLiteral("website"));
    if (f.website.size() > urlWidth)
        result.findings.push_back({Finding::Changed, where,
                                   QStringLiteral("the web site is longer than %1 characters and was left out").arg(urlWidth)});
    else if (!f.website.isEmpty())
        e.fields[QStringLiteral("website")] = f.website;
    QString category;
    for (const QString &c : f.category.split(QLatin1Char(',')))
        if (category.isEmpty())
            category = categoryCode(c);
    e.fields[QStringLiteral("category")] = category.isEmpty() ? categoryCode(QStringLiteral("General")) : category;
    e.fields[QStringLiteral("country")] = context.defaultCountry;
    e.fields[QStringLiteral("city")] = context.defaultCity;
    e.fields[QStringLiteral("state")] = context.defaultState;
}

QString plainText(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == QLatin1Char('\r')) {
            out += QLatin1Char('\n');
            if (i + 1 < text.size() && text[i + 1] == QLatin1Char('\n'))
                ++i;
        } else if (c == QLatin1Char('\n') || c == QLatin1Char('\t') || (c.unicode() >= 0x20 && c.unicode() != 0x7F)) {
            out += c;
        }
    }
    return out;
}

} // namespace interop
