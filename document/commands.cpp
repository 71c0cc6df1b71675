// The commands of the event data: each is one step of the undo history, whose
// work is done here and whose changes the history keeps (changehistory.h).
#include "eventdocument.h"

#include "keys.h"
#include "recordset.h"
#include "trim.h"

namespace {

using Kind = ChangeHistory::Kind;

const QString kEventId = QStringLiteral("event_id");
const QString kTimeId = QStringLiteral("time_id");

// The stored form of `value` in column `col` of `rs`; false when it is none.
bool storedValue(const RecordSet &rs, int col, const QVariant &value, StoredValue *out)
{
    if (value.metaType().id() == QMetaType::QString)
        return rs.textValue(col, value.toString(), out);
    return rs.variantValue(col, value, out);
}

void put(const RecordSet &rs, StoredRow &row, const QString &column, const QVariant &value)
{
    const int col = rs.columnIndex(column);
    if (col >= 1)
        storedValue(rs, col, value, &row[size_t(col - 1)]);
}

// The date stored at `place` of `rs`; invalid when there is none.
QDate dateAt(const RecordSet &rs, long place, int col)
{
    const QByteArrayView stored = rs.valueAt(place, col).trimmed();
    return QDate::fromString(QString::fromLatin1(stored.data(), stored.size()), Qt::ISODate);
}

} // namespace

long EventDocument::appendRow(Part part, const StoredRow &values)
{
    RecordSet &rs = set(part);
    const long place = rs.allRowCount();
    return rs.insertAt(place, values) ? place : -1;
}

StoredRow EventDocument::freshLine(const QString &eventId) const
{
    const AdminValues defaults = adminValues();
    StoredRow line = dates_->initialRow();
    put(*dates_, line, kEventId, eventId);
    put(*dates_, line, kTimeId, gf_create_key(QStringLiteral("TI")));
    put(*dates_, line, QStringLiteral("state"), defaults.state);
    put(*dates_, line, QStringLiteral("city"), defaults.city);
    return line;
}

std::vector<long> EventDocument::linePlaces(const QString &eventId) const
{
    std::vector<long> places;
    if (eventId.isEmpty())
        return places;
    const QByteArray key = eventId.toUtf8();
    RowStore::Pass pass(dates_->store());
    for (long place = 0; place < dates_->allRowCount(); ++place, pass.row())
        if (dates_->valueAt(place, lineEventCol_) == key)
            places.push_back(place);
    return places;
}

EventDocument::EventMade EventDocument::newEvent()
{
    EventMade made;
    history_.perform(Kind::NewEvent, QStringLiteral("New Event"), [&] {
        const AdminValues defaults = adminValues();
        StoredRow event = events_->initialRow();
        made.eventId = gf_create_key(QStringLiteral("EV"));
        put(*events_, event, kEventId, made.eventId);
        put(*events_, event, QStringLiteral("user_id"), defaults.login);
        put(*events_, event, QStringLiteral("user_password"), defaults.password);
        put(*events_, event, QStringLiteral("country"), defaults.country);
        put(*events_, event, QStringLiteral("city"), defaults.city);
        put(*events_, event, QStringLiteral("state"), defaults.state);
        put(*events_, event, QStringLiteral("category"), QStringLiteral("70")); // "General"
        made.row = events_->rowAtPlace(appendRow(Part::Events, event));
        if (made.row <= 0)
            return;
        const StoredRow line = freshLine(made.eventId);
        if (appendRow(Part::Dates, line) >= 0)
            made.freshLineId = QString::fromUtf8(line[size_t(lineKeyCol_ - 1)].bytes);
    });
    return made;
}

EventDocument::EventMade EventDocument::copyEvent(long row)
{
    EventMade made;
    const long source = events_->placeOf(row);
    if (source < 0)
        return made;
    history_.perform(Kind::CopyEvent, QStringLiteral("Copy Event"), [&] {
        StoredRow event = events_->rowAt(source);
        const QString sourceId = QString::fromUtf8(event[size_t(eventKeyCol_ - 1)].bytes);
        made.eventId = gf_create_key(QStringLiteral("EV"));
        put(*events_, event, kEventId, made.eventId);
        made.row = events_->rowAtPlace(appendRow(Part::Events, event));
        if (made.row <= 0)
            return;
        // The lines are those of the event copied, whichever are shown.
        const std::vector<long> lines = linePlaces(sourceId);
        if (lines.empty()) {
            const StoredRow line = freshLine(made.eventId);
            if (appendRow(Part::Dates, line) >= 0)
                made.freshLineId = QString::fromUtf8(line[size_t(lineKeyCol_ - 1)].bytes);
            return;
        }
        for (long place : lines) {
            StoredRow line = dates_->rowAt(place);
            put(*dates_, line, kEventId, made.eventId);
            put(*dates_, line, kTimeId, gf_create_key(QStringLiteral("TI")));
            appendRow(Part::Dates, line);
        }
    });
    return made;
}

bool EventDocument::deleteEvent(long row)
{
    const long place = events_->placeOf(row);
    if (place < 0)
        return false;
    return history_.perform(Kind::DeleteEvent, QStringLiteral("Delete Event"), [&] {
        // The event's date lines go with it: left behind they would be saved
        // and sent without their event.
        const std::vector<long> lines = linePlaces(events_->GetItemString(row, eventKeyCol_));
        for (auto it = lines.rbegin(); it != lines.rend(); ++it)
            dates_->removeAt(*it);
        events_->removeAt(place);
        if (events_->allRowCount() == 0)
            dates_->Reset();
    });
}

long EventDocument::newDateLine(const QString &eventId)
{
    return addDateLines(eventId, {QVariantMap()});
}

long EventDocument::addDateLines(const QString &eventId, const std::vector<QVariantMap> &lines)
{
    long first = 0;
    history_.perform(Kind::NewDateLines, lines.size() == 1 ? QStringLiteral("New Date Line") : QStringLiteral("New Date Lines"), [&] {
        for (const QVariantMap &values : lines) {
            StoredRow line = freshLine(eventId);
            for (auto it = values.cbegin(); it != values.cend(); ++it)
                put(*dates_, line, it.key(), it.value());
            const long place = appendRow(Part::Dates, line);
            if (first == 0 && place >= 0)
                first = dates_->rowAtPlace(place);
        }
    });
    return first;
}

bool EventDocument::deleteDateLine(long row)
{
    const long place = dates_->placeOf(row);
    if (place < 0)
        return false;
    return history_.perform(Kind::DeleteDateLine, QStringLiteral("Delete Date Line"),
                            [&] { dates_->removeAt(place); });
}

bool EventDocument::addImported(const std::function<void(RecordSet &events, RecordSet &dates)> &append)
{
    return history_.perform(Kind::Import, QStringLiteral("Import"), [&] { append(*events_, *dates_); });
}

bool EventDocument::shiftDateLines(const QString &eventId, int days)
{
    // Every new date first: when one cannot be stored, nothing moves.
    struct Move {
        long place;
        int col;
        StoredValue date;
    };
    std::vector<Move> moves;
    for (long place : linePlaces(eventId))
        for (int col : {startCol_, endCol_}) {
            const QDate date = dateAt(*dates_, place, col);
            if (!date.isValid())
                continue;
            Move move{place, col, {}};
            if (!dates_->variantValue(col, date.addDays(days), &move.date))
                return false;
            moves.push_back(std::move(move));
        }
    if (days == 0 || moves.empty())
        return false;
    return history_.perform(Kind::ShiftDateLines, QStringLiteral("Shift Dates"), [&] {
        for (const Move &move : moves)
            dates_->setAt(move.place, move.col, move.date);
    });
}

QDate EventDocument::firstLineDate(const QString &eventId) const
{
    QDate first;
    for (long place : linePlaces(eventId)) {
        const QDate date = dateAt(*dates_, place, startCol_);
        if (date.isValid() && (!first.isValid() || date < first))
            first = date;
    }
    return first;
}

bool EventDocument::setField(Part part, long row, int col, const QVariant &value)
{
    RecordSet &rs = set(part);
    const long place = rs.placeOf(row);
    StoredValue stored;
    if (place < 0 || col < 1 || col > rs.columnCount() || !storedValue(rs, col, value, &stored))
        return false;
    const QString name = tagValue(rs.definition().columns[size_t(col - 1)].tag, QStringLiteral("name"));
    return history_.perform(Kind::SetField, QStringLiteral("Edit ") + name, [&] { rs.setAt(place, col, stored); });
}

bool EventDocument::setField(Part part, long row, const QString &column, const QVariant &value)
{
    return setField(part, row, set(part).columnIndex(column), value);
}

void EventDocument::noteCurrentColumn(Part part, long row, const QString &column)
{
    // The history and the journal pass current_column by.
    RecordSet &rs = set(part);
    const int col = rs.columnIndex(QStringLiteral("current_column"));
    if (col >= 1 && row >= 1 && rs.GetItemString(row, col) != column)
        rs.SetItem(row, col, column);
}

// ---- Reading the data ----------------------------------------------------------

bool EventDocument::eventsComplete(long fromRow) const
{
    static const char *mandatory[] = {"country", "city", "name", "sdescription", "category", "cost"};
    for (long row = fromRow; row <= events_->RowCount(); ++row)
        for (const char *column : mandatory)
            if (events_->GetItemString(row, QLatin1String(column)).isEmpty())
                return false;
    return true;
}

bool EventDocument::lineComplete(long row) const
{
    if (dates_->GetItemString(row, QStringLiteral("city")).isEmpty() || dates_->IsNull(row, startCol_)
        || dates_->IsNull(row, endCol_))
        return false;
    const QString time1 = vantel_startup::Trim(dates_->GetItemString(row, timeCols_[0]));
    return !time1.isEmpty() && time1 != QLatin1String("0000");
}

long EventDocument::eventRow(const QString &eventId) const
{
    return events_->rowWhere(eventKeyCol_, eventId);
}

long EventDocument::lineRow(const QString &timeId) const
{
    return dates_->rowWhere(lineKeyCol_, timeId);
}
