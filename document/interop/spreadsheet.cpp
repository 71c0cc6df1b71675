#include "spreadsheet.h"

#include "datetext.h"
#include "importlines.h"
#include "textcodec.h"

#include <QRegularExpression>

namespace interop {

namespace {

// The separator the first line uses most outside quotes; a comma when none.
QChar detectSeparator(const QString &text)
{
    int counts[3] = {0, 0, 0};
    const QChar candidates[3] = {QLatin1Char('\t'), QLatin1Char(';'), QLatin1Char(',')};
    bool quoted = false;
    for (const QChar c : text) {
        if (c == QLatin1Char('"'))
            quoted = !quoted;
        else if (!quoted && (c == QLatin1Char('\n') || c == QLatin1Char('\r')))
            break;
        else if (!quoted)
            for (int i = 0; i < 3; ++i)
                counts[i] += c == candidates[i];
    }
    int best = 2;
    for (int i = 0; i < 3; ++i)
        if (counts[i] > counts[best])
            best = i;
    return candidates[best];
}

std::vector<QStringList> splitRows(const QString &text, QChar separator)
{
    std::vector<QStringList> rows;
    QStringList row;
    QString field;
    bool quoted = false, any = false;
    auto endRow = [&] {
        row << field;
        if (any || row.size() > 1 || !row.front().isEmpty())
            rows.push_back(row);
        row.clear();
        field.clear();
        any = false;
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (quoted) {
            if (c == QLatin1Char('"')) {
                if (i + 1 < text.size() && text[i + 1] == QLatin1Char('"')) {
                    field += c;
                    ++i;
                } else {
                    quoted = false;
                }
            } else {
                field += c;
            }
        } else if (c == QLatin1Char('"')) {
            quoted = true;
            any = true;
        } else if (c == separator) {
            row << field;
            field.clear();
        } else if (c == QLatin1Char('\r') || c == QLatin1Char('\n')) {
            if (c == QLatin1Char('\r') && i + 1 < text.size() && text[i + 1] == QLatin1Char('\n'))
                ++i;
            endRow();
        } else {
            field += c;
        }
    }
    if (!field.isEmpty() || !row.isEmpty() || any)
        endRow();
    return rows;
}

QString simplified(const QString &name)
{
    QString out;
    for (const QChar c : name.toLower())
        if (c.isLetterOrNumber())
            out += c;
    return out;
}

} // namespace

Spreadsheet readSpreadsheet(const QByteArray &bytes)
{
    Spreadsheet sheet;
    const QByteArray body = bytes.startsWith("\xEF\xBB\xBF") ? bytes.mid(3) : bytes;
    if (body.contains('\0')) {
        sheet.error = QStringLiteral("The file is no spreadsheet text (it holds binary data): nothing was imported.");
        return sheet;
    }
    const QString text = rt::decodeText(body);
    sheet.separator = detectSeparator(text);
    std::vector<QStringList> rows = splitRows(text, sheet.separator);
    if (rows.size() < 2) {
        sheet.error = QStringLiteral("The file has no rows below its header row: nothing was imported.");
        return sheet;
    }
    for (QString &name : rows.front())
        sheet.header << name.trimmed();
    sheet.rows.assign(std::make_move_iterator(rows.begin() + 1), std::make_move_iterator(rows.end()));
    return sheet;
}

const QStringList &importFields()
{
    static const QStringList fields = {
        QStringLiteral("name"),         QStringLiteral("sdescription"),   QStringLiteral("edescription"),
        QStringLiteral("start_date"),   QStringLiteral("end_date"),       QStringLiteral("times"),
        QStringLiteral("venue"),        QStringLiteral("venue_address"),  QStringLiteral("city"),
        QStringLiteral("state"),        QStringLiteral("country"),        QStringLiteral("category"),
        QStringLiteral("cost"),         QStringLiteral("website"),        QStringLiteral("tickets"),
        QStringLiteral("contact_person"), QStringLiteral("contact_tel"),  QStringLiteral("contact_email")};
    return fields;
}

ColumnMapping guessMapping(const QStringList &header)
{
    // Names each field goes by, simplified (lower case, letters and digits).
    static const std::vector<std::pair<QString, QStringList>> names = {
        {QStringLiteral("name"), {"eventname", "name", "title", "event", "summary", "subject"}},
        {QStringLiteral("sdescription"), {"shortdescription", "description", "sdescription", "summarytext"}},
        {QStringLiteral("edescription"), {"extendeddescription", "edescription", "details", "longdescription", "notes"}},
        {QStringLiteral("start_date"), {"startdate", "date", "start", "from", "day", "begin"}},
        {QStringLiteral("end_date"), {"enddate", "end", "until", "to"}},
        {QStringLiteral("times"), {"times", "time", "starttime", "eventtime", "begins"}},
        {QStringLiteral("venue"), {"venue", "eventvenue", "location", "place", "where"}},
        {QStringLiteral("venue_address"), {"venueaddress", "address", "eventvenueaddress", "street"}},
        {QStringLiteral("city"), {"city", "town", "locality"}},
        {QStringLiteral("state"), {"state", "area", "province", "region", "areaprovincestate"}},
        {QStringLiteral("country"), {"country"}},
        {QStringLiteral("category"), {"category", "eventcategory", "categories", "type"}},
        {QStringLiteral("cost"), {"cost", "costs", "eventcosts", "price", "admission"}},
        {QStringLiteral("website"), {"website", "eventwebsite", "url", "web", "link", "homepage"}},
        {QStringLiteral("tickets"), {"tickets", "eventtickets", "ticket", "booking"}},
        {QStringLiteral("contact_person"), {"contactperson", "contact", "eventcontactperson", "organizer", "organiser"}},
        {QStringLiteral("contact_tel"), {"contacttel", "telephone", "phone", "tel", "eventcontacttelephone"}},
        {QStringLiteral("contact_email"), {"contactemail", "email", "mail", "eventcontactemail"}},
    };
    ColumnMapping mapping;
    std::vector<bool> taken(size_t(header.size()), false);
    // The closest names first: a column called "Date" is the start date
    // even when another is called "Start".
    for (int rank = 0; rank < 6; ++rank)
        for (const auto &[field, aliases] : names) {
            if (mapping.count(field) || rank >= aliases.size())
                continue;
            for (int c = 0; c < header.size(); ++c)
                if (!taken[size_t(c)] && simplified(header[c]) == aliases[rank]) {
                    mapping[field] = c;
                    taken[size_t(c)] = true;
                    break;
                }
        }
    return mapping;
}

QTime parseTime(const QString &text)
{
    static const QRegularExpression form(
        // 19:30, 19.30, 1930, 7:30 PM, 7 pm
        QStringLiteral("^(\\d{1,2})(?:[:.h]?(\\d{2}))?\\s*(am|pm|a\\.m\\.|p\\.m\\.)?$"),
        QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = form.match(text.trimmed());
    if (!m.hasMatch())
        return {};
    int hour = m.captured(1).toInt();
    const int minute = m.hasCaptured(2) ? m.captured(2).toInt() : 0;
    if (m.hasCaptured(3)) {
        if (hour < 1 || hour > 12)
            return {};
        const bool pm = m.captured(3).startsWith(QLatin1Char('p'), Qt::CaseInsensitive);
        hour = hour % 12 + (pm ? 12 : 0);
    } else if (!m.hasCaptured(2)) {
        return {}; // a number alone is no time
    }
    return QTime::isValid(hour, minute, 0) ? QTime(hour, minute) : QTime();
}

namespace {

QDate parseDate(const QString &text, const QString &pattern)
{
    const QString t = text.trimmed();
    const QDate iso = QDate::fromString(t.left(10), Qt::ISODate);
    if (iso.isValid() && (t.size() == 10 || t[10] == QLatin1Char('T') || t[10] == QLatin1Char(' ')))
        return iso;
    return dateFromPattern(t, pattern);
}

// One event being gathered from its rows.
struct Gathered {
    NewEvent event;
    Days days;
    QString city, state, where;
};

} // namespace

ImportResult importSpreadsheet(const Spreadsheet &sheet, const ColumnMapping &mapping, const ImportContext &ctx)
{
    ImportResult result;
    if (!sheet.ok()) {
        result.error = sheet.error;
        return result;
    }
    if (!mapping.count(QStringLiteral("name")) || !mapping.count(QStringLiteral("start_date"))) {
        result.error = QStringLiteral("No column is chosen for the event name and the start date: nothing was imported.");
        return result;
    }
    std::vector<Gathered> gathered;
    for (size_t r = 0; r < sheet.rows.size(); ++r) {
        const QStringList &row = sheet.rows[r];
        const QString where = QStringLiteral("row %1").arg(r + 2);
        auto value = [&](const char *field) {
            const auto it = mapping.find(QString::fromLatin1(field));
            return it == mapping.end() || it->second >= row.size() ? QString() : plainText(row[it->second]).trimmed();
        };
        const QString name = value("name");
        if (name.isEmpty()) {
            result.findings.push_back({Finding::Skipped, where, QStringLiteral("no event name")});
            continue;
        }
        const QDate start = parseDate(value("start_date"), ctx.datePattern);
        if (!start.isValid()) {
            result.findings.push_back({Finding::Skipped, where,
                                       value("start_date").isEmpty() ? QStringLiteral("no date")
                                                                     : QStringLiteral("\"%1\" is no date").arg(value("start_date"))});
            continue;
        }
        QDate end = start;
        if (const QString e = value("end_date"); !e.isEmpty()) {
            end = parseDate(e, ctx.datePattern);
            if (!end.isValid() || end < start) {
                result.findings.push_back({Finding::Changed, where,
                                           QStringLiteral("end date \"%1\" left out: the start date alone is taken").arg(e)});
                end = start;
            }
        }
        if (start.daysTo(end) > 366 * 2) {
            result.findings.push_back({Finding::Skipped, where, QStringLiteral("spans more than two years")});
            continue;
        }
        std::vector<QTime> times;
        for (const QString &t : value("times").split(QRegularExpression(QStringLiteral("[,;/|]")), Qt::SkipEmptyParts)) {
            if (t.trimmed().isEmpty())
                continue;
            const QTime time = parseTime(t);
            if (!time.isValid() || (time.hour() == 0 && time.minute() == 0))
                result.findings.push_back({Finding::Changed, where,
                                           QStringLiteral("\"%1\" is no time a date line can hold: left out").arg(t.trimmed())});
            else
                times.push_back(time);
        }

        const QString venue = value("venue");
        auto same = std::find_if(gathered.begin(), gathered.end(), [&](const Gathered &g) {
            return g.event.field(QStringLiteral("name")).compare(name.left(columnWidth(QStringLiteral("name"))), Qt::CaseInsensitive) == 0
                   && g.event.field(QStringLiteral("venue")).compare(venue.left(columnWidth(QStringLiteral("venue"))), Qt::CaseInsensitive) == 0;
        });
        if (same == gathered.end()) {
            Gathered g;
            g.where = where;
            g.event.source = where;
            fillForeign({name, value("sdescription"), venue, value("venue_address"), value("website"), value("category")},
                        ctx, where, g.event, result);
            if (const QString more = value("edescription"); !more.isEmpty()) {
                const QString before = g.event.field(QStringLiteral("edescription"));
                setField(result, g.event, where, "edescription", before.isEmpty() ? more : before + QLatin1Char('\n') + more);
            }
            for (const char *field : {"cost", "tickets", "contact_person", "contact_tel", "contact_email"})
                if (const QString v = value(field); !v.isEmpty())
                    setField(result, g.event, where, field, v);
            if (const QString country = countryCode(value("country")); !country.isEmpty())
                g.event.fields[QStringLiteral("country")] = country;
            else if (!value("country").isEmpty())
                result.findings.push_back({Finding::Changed, where,
                                           QStringLiteral("country \"%1\" unknown: the default is taken").arg(value("country"))});
            g.city = value("city").isEmpty() ? ctx.defaultCity : value("city");
            g.state = value("state").isEmpty() ? ctx.defaultState : value("state");
            gathered.push_back(std::move(g));
            same = gathered.end() - 1;
        }
        for (QDate d = start; d <= end; d = d.addDays(1)) {
            std::vector<QTime> &day = same->days[d];
            day.insert(day.end(), times.begin(), times.end());
        }
    }
    for (Gathered &g : gathered) {
        const ImportedLines lines = linesFor(g.days, g.city, g.state, ctx.datePattern);
        if (!lines.error.isEmpty()) {
            result.findings.push_back({Finding::Skipped, g.where, lines.error});
            continue;
        }
        g.event.lines = lines.lines;
        if (isDuplicate(ctx, result, g.event.field(QStringLiteral("name")), g.event.firstDate(), g.where))
            continue;
        for (const QString &change : lines.changes)
            result.findings.push_back({Finding::Changed, g.where, change});
        if (lines.untimed) {
            g.event.incomplete = true;
            result.findings.push_back({Finding::ToComplete, g.where, QStringLiteral("has no time: complete its date lines")});
        }
        result.events.push_back(std::move(g.event));
    }
    return result;
}

ColumnMapping keptMapping(const QString &kept, const QStringList &header, ColumnMapping guess)
{
    for (const QString &pair : kept.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const qsizetype eq = pair.indexOf(QLatin1Char('='));
        if (eq <= 0 || !importFields().contains(pair.left(eq)))
            continue;
        const int col = int(header.indexOf(pair.mid(eq + 1)));
        if (col < 0)
            continue;
        // A column serves one field: the one it was kept for.
        for (auto it = guess.begin(); it != guess.end();)
            it = it->second == col ? guess.erase(it) : std::next(it);
        guess[pair.left(eq)] = col;
    }
    return guess;
}

QString keptText(const ColumnMapping &mapping, const QStringList &header)
{
    QStringList pairs;
    for (const auto &[field, col] : mapping)
        if (col >= 0 && col < header.size() && !header[col].contains(QLatin1Char(';')))
            pairs << field + QLatin1Char('=') + header[col];
    return pairs.join(QLatin1Char(';'));
}

} // namespace interop
