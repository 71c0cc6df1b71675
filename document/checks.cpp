// The checks a save runs over the event data: each record's columns
// (required values, the stored ranges of dates and decimals), then the rules
// of its part (the data folder; the dates and times of a date line), with
// the texts the user reads in the error list.
#include "eventdocument.h"

#include "definition.h"
#include "readfile.h"
#include "recordset.h"
#include "rowstore.h"

#include <QCoreApplication>
#include <QDate>
#include <QElapsedTimer>
#include <QEvent>
#include <QTimer>

#include <atomic>
#include <exception>
#include <system_error>
#include <thread>

namespace {
const QString kFileDirectory = QStringLiteral("file_directory");
} // namespace

// What the checks need to know of each column of a record set, looked up
// once: a save then only reads values.
class EventDocument::ColumnTable {
public:
    enum class Kind { Char, Date, Time, Number, Decimal, Unknown };
    struct Column {
        int index;       // 1-based
        Kind kind;
        bool required;
        QString name;    // column name in the definition
        QString display; // the tag's name, shown in the error list
    };

    explicit ColumnTable(const Definition &def)
    {
        columns.reserve(def.columns.size());
        for (size_t i = 0; i < def.columns.size(); ++i) {
            const ColumnDef &c = def.columns[i];
            columns.push_back(Column{int(i) + 1, kindOf(c.type), c.required, c.name, tagValue(c.tag, QStringLiteral("name"))});
        }
    }

    std::vector<Column> columns;

private:
    static Kind kindOf(ColType type)
    {
        switch (type) {
        case ColType::Char: return Kind::Char;
        case ColType::Date: return Kind::Date;
        case ColType::Number:
        case ColType::Long: return Kind::Number;
        }
        return Kind::Unknown;
    }
};

// ---- Checks ------------------------------------------------------------------

QString EventDocument::requiredMessage() { return QStringLiteral("This is a required field !"); }
QString EventDocument::invalidFolderMessage() { return QStringLiteral("This directory is invalid !"); }
QString EventDocument::endBeforeStartMessage()
{
    return QStringLiteral("The end date may not occur before the start date !");
}
QString EventDocument::firstTimeMessage()
{
    return QStringLiteral("Please complete at least the first time (24 hour format) !");
}
QString EventDocument::timeFormatMessage()
{
    return QStringLiteral("Please enter the time as hh:mm on the 24-hour clock !");
}

namespace {

// Rows 1 to count() of a record set as the checks read them: those a
// filter passes, or every row whichever a filter passes.
class PassingRows {
public:
    explicit PassingRows(const RecordSet &rs) : rs_(rs) {}
    long count() const { return rs_.RowCount(); }
    bool isNull(long row, int col) const { return rs_.IsNull(row, col); }
    QString text(long row, int col) const { return rs_.GetItemString(row, col); }
    QDate date(long row, int col) const { return rs_.GetItemDate(row, col); }
    double decimal(long row, int col) const { return rs_.GetItemDecimal(row, col); }
    QByteArrayView raw(long row, int col) const { return rs_.rawValue(row, col); }

private:
    const RecordSet &rs_;
};

class EveryRow {
public:
    explicit EveryRow(const RecordSet &rs) : rs_(rs) {}
    long count() const { return rs_.allRowCount(); }
    bool isNull(long row, int col) const { return rs_.isNullAt(row - 1, col); }
    QString text(long row, int col) const { return isNull(row, col) ? QString() : QString::fromUtf8(raw(row, col)); }
    QDate date(long row, int col) const { return rs_.dateAt(row - 1, col); }
    double decimal(long row, int col) const
    {
        return isNull(row, col) ? 0.0 : raw(row, col).toByteArray().trimmed().toDouble();
    }
    QByteArrayView raw(long row, int col) const { return rs_.valueAt(row - 1, col); }

private:
    const RecordSet &rs_;
};

} // namespace

RowCheck EventDocument::validateRow(Part part, long row) const
{
    const PassingRows rows(recordSet(part));
    return checkRow(ColumnTable(recordSet(part).definition()), rows, part, row);
}

RowCheck EventDocument::validateColumns(const RecordSet &rs, long row)
{
    return checkColumns(ColumnTable(rs.definition()), PassingRows(rs), row);
}

namespace {
// Whether row `row` of `rs` needs its checks: not when it passed them and
// has not changed since. notePassed marks a row that passed (not one whose
// check met a column of an unknown type: that is counted at every save).
bool needsCheck(const RecordSet &rs, long row) { return !rs.store().isMarked(rs.idAt(row - 1)); }
bool marksAsPassed(const RowCheck &check) { return check.rc == 0 && check.unknownTypes == 0; }
void notePassed(const RecordSet &rs, long row, const RowCheck &check)
{
    if (marksAsPassed(check))
        rs.store().mark(rs.idAt(row - 1));
}
} // namespace

FirstFault EventDocument::firstFault(Part part) const
{
    const RecordSet &rs = recordSet(part);
    const ColumnTable table(rs.definition());
    const EveryRow rows(rs);
    const long count = rows.count();
    // Rows [from, to) up to the first that fails; those that pass are noted
    // in `passed`, by their place from `from`, and marked by `mark` after.
    auto scan = [&](long from, long to, std::vector<bool> &passed, const std::atomic<bool> *stop) {
        RowStore::Pass pass(rs.store());
        for (long row = from; row < to; ++row, pass.row()) {
            if (stop && row % 256 == 0 && stop->load(std::memory_order_relaxed))
                break;
            if (!needsCheck(rs, row))
                continue;
            RowCheck check = checkRow(table, rows, part, row);
            if (check.rc != 0)
                return FirstFault{row, std::move(check)};
            passed[size_t(row - from)] = marksAsPassed(check);
        }
        return FirstFault{};
    };
    auto mark = [&rs](const std::vector<bool> &passed, long first) {
        for (size_t i = 0; i < passed.size(); ++i)
            if (passed[i])
                rs.store().mark(rs.idAt(first - 1 + long(i)));
    };
    // Many rows to check are checked in two halves side by side, the second
    // on a thread of its own: the checks only read the rows, and the marks
    // of the rows that passed are set once both halves are done. The first
    // half's fault, when there is one, is the first of the part. The rows
    // checked ahead lie mostly before the others: the halves share what is
    // left from the first row not checked.
    constexpr long kTwoHalvesFrom = 65536;
    long from = 1;
    while (from <= count && !needsCheck(rs, from))
        ++from;
    auto onePass = [&] {
        std::vector<bool> passed(size_t(count + 1 - from));
        FirstFault fault = scan(from, count + 1, passed, nullptr);
        mark(passed, from);
        return fault;
    };
    if (count + 1 - from < kTwoHalvesFrom)
        return onePass();
    const long mid = from + (count + 1 - from) / 2;
    std::vector<bool> passedFirst(size_t(mid - from)), passedSecond(size_t(count + 1 - mid));
    std::atomic<bool> stop{false};
    FirstFault second;
    std::exception_ptr secondFailed;
    std::thread worker;
    try {
        worker = std::thread([&] {
            try {
                second = scan(mid, count + 1, passedSecond, &stop);
            } catch (...) {
                secondFailed = std::current_exception();
            }
        });
    } catch (const std::system_error &) {
        return onePass(); // no thread to be had
    }
    FirstFault first;
    try {
        first = scan(from, mid, passedFirst, nullptr);
    } catch (...) {
        stop = true;
        worker.join();
        throw;
    }
    if (first.row > 0)
        stop = true; // what the second half finds no longer counts
    worker.join();
    mark(passedFirst, from);
    mark(passedSecond, mid);
    if (first.row > 0)
        return first;
    if (secondFailed)
        std::rethrow_exception(secondFailed);
    return second;
}

void EventDocument::checkAheadSoon()
{
    if (!checkAhead_) {
        checkAhead_ = new QTimer(this);
        checkAhead_->setSingleShot(true);
        connect(checkAhead_, &QTimer::timeout, this, &EventDocument::checkAhead);
        if (QCoreApplication *app = QCoreApplication::instance())
            app->installEventFilter(this);
        sinceInput_.start();
    }
    aheadPart_ = Part::Events;
    aheadPlace_ = 0;
    // Not before the window that shows the data is up.
    checkAhead_->start(std::chrono::milliseconds(200));
}

bool EventDocument::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
        sinceInput_.restart();
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

void EventDocument::checkAhead()
{
    // Not while the user is at the keys or the mouse: each key would wait
    // for a slice. A slice leaves the event loop free again within a few
    // milliseconds. Rows inserted or removed meanwhile may shift a row past
    // the place reached: a save checks whatever was not checked ahead.
    constexpr qint64 kQuietMs = 300;
    if (const qint64 quiet = sinceInput_.elapsed(); quiet < kQuietMs) {
        checkAhead_->start(std::chrono::milliseconds(kQuietMs - quiet));
        return;
    }
    // Meanwhile the journal reads the files for what its changes will start
    // from, so that neither its first write nor a save waits for that.
    journal_.sumBaselineSoon();
    constexpr qint64 kSliceNs = 4'000'000;
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        const RecordSet &rs = set(aheadPart_);
        const ColumnTable table(rs.definition());
        const EveryRow rows(rs);
        RowStore::Pass pass(rs.store());
        for (const long count = rows.count(); aheadPlace_ < count; pass.row()) {
            const long row = ++aheadPlace_;
            if (needsCheck(rs, row))
                notePassed(rs, row, checkRow(table, rows, aheadPart_, row));
            if (row % 256 == 0 && clock.nsecsElapsed() >= kSliceNs) {
                checkAhead_->start(0);
                return;
            }
        }
        if (aheadPart_ == Part::Dates)
            return;
        aheadPart_ = Part::Dates;
        aheadPlace_ = 0;
    }
}

Validation EventDocument::validate(const std::function<void(Part)> &beforePart) const
{
    auto before = [&beforePart](Part part) {
        if (beforePart)
            beforePart(part);
    };
    Validation v;
    auto take = [&v](Part part, long row, RowCheck &&check, QString key, QString eventKey) {
        v.unknownTypes += check.unknownTypes;
        if (check.rc == 0)
            return false;
        v.part = part;
        v.row = row;
        v.rc = check.rc;
        v.key = std::move(key);
        v.eventKey = std::move(eventKey);
        for (str_errors &e : check.errors)
            v.findings.push_back(Finding{part, e.row, std::move(e.columndb), std::move(e.column), std::move(e.message)});
        return true;
    };
    before(Part::Admin);
    if (take(Part::Admin, 1, validateRow(Part::Admin, 1), QString(), QString()))
        return v;
    before(Part::Events);
    if (FirstFault f = firstFault(Part::Events); f.row > 0) {
        const EveryRow events(*events_);
        take(Part::Events, f.row, std::move(f.check), events.text(f.row, eventKeyCol_), events.text(f.row, eventKeyCol_));
        return v;
    }
    before(Part::Dates);
    if (FirstFault f = firstFault(Part::Dates); f.row > 0) {
        const EveryRow dates(*dates_);
        take(Part::Dates, f.row, std::move(f.check), dates.text(f.row, lineKeyCol_), dates.text(f.row, lineEventCol_));
    }
    return v;
}

template <typename Rows>
RowCheck EventDocument::checkRow(const ColumnTable &table, const Rows &rows, Part part, long row) const
{
    RowCheck check = checkColumns(table, rows, row);
    checkPartRules(rows, part, row, check);
    return check;
}

namespace {
// Whether the text holds nothing but spaces: in UTF-8 no other character
// has the byte of a space in it.
bool onlySpaces(QByteArrayView text)
{
    for (char c : text)
        if (c != ' ')
            return false;
    return true;
}
} // namespace

template <typename Rows>
RowCheck EventDocument::checkColumns(const ColumnTable &table, const Rows &rs, long row)
{
    using Kind = ColumnTable::Kind;
    const qint32 r = static_cast<qint32>(row);
    RowCheck check;
    auto fail = [&](const ColumnTable::Column &c, const QString &message) {
        check.errors.push_back(str_errors{r, c.display, c.name, message});
        check.rc = 1;
    };
    for (const ColumnTable::Column &c : table.columns) {
        const bool isNull = rs.isNull(row, c.index);
        if (c.required) {
            bool missing = false;
            if (c.kind == Kind::Char)
                missing = isNull || onlySpaces(rs.raw(row, c.index)); // what Trim leaves empty
            else if (c.kind != Kind::Unknown)
                missing = isNull;
            else
                ++check.unknownTypes;
            if (missing)
                fail(c, requiredMessage());
        }
        if (c.kind == Kind::Date && !isNull) {
            const QDate d = rs.date(row, c.index);
            if (d < QDate(1753, 1, 1) || d > QDate(3000, 12, 31))
                fail(c, QStringLiteral("Invalid Date specified !"));
        } else if (c.kind == Kind::Decimal && !isNull) {
            if (rs.decimal(row, c.index) >= 922337203685475.00)
                fail(c, QStringLiteral("Invalid number specified !"));
        }
    }
    return check;
}

RowCheck EventDocument::partRules(Part part, long row) const
{
    RowCheck check;
    checkPartRules(PassingRows(recordSet(part)), part, row, check);
    return check;
}

template <typename Rows>
void EventDocument::checkPartRules(const Rows &rows, Part part, long row, RowCheck &check) const
{
    const qint32 r = static_cast<qint32>(row);
    auto fail = [&](const QString &column, const QString &display, const QString &message) {
        check.errors.push_back(str_errors{r, display, column, message});
        check.rc += 1;
    };
    if (part == Part::Admin) {
        // A folder text ending with "/" names an existing folder exactly
        // when "<text>." exists.
        if (!rt::FileExists(rows.text(row, folderCol_) + QLatin1Char('.')))
            fail(kFileDirectory, QStringLiteral("File Directory"), invalidFolderMessage());
        return;
    }
    if (part != Part::Dates)
        return;
    if (rows.isNull(row, startCol_)) {
        fail(QStringLiteral("start_date"), QStringLiteral("Start Date"), requiredMessage());
        return;
    }
    if (rows.isNull(row, endCol_)) {
        fail(QStringLiteral("end_date"), QStringLiteral("End Date"), requiredMessage());
        return;
    }
    const QDate start = rows.date(row, startCol_);
    const QDate end = rows.date(row, endCol_);
    if (start.daysTo(end) < 0) {
        fail(QStringLiteral("start_date"), QStringLiteral("Start Date"), endBeforeStartMessage());
        return;
    }
    QByteArrayView time1 = rows.raw(row, timeCols_[0]); // trimmed of spaces, as Trim does
    while (!time1.isEmpty() && time1.front() == ' ')
        time1 = time1.sliced(1);
    while (!time1.isEmpty() && time1.back() == ' ')
        time1.chop(1);
    if (time1.isEmpty() || time1 == QByteArrayView("0000")) {
        fail(QStringLiteral("time1"), QStringLiteral("Time"), firstTimeMessage());
        return;
    }
    // Each time as the files must hold it: the further ones may be left out.
    for (size_t i = 0; i < timeCols_.size(); ++i) {
        const QByteArrayView t = rows.raw(row, timeCols_[i]);
        if (!t.isEmpty() && !isClockTime(t)) {
            const QString display = i == 0 ? QStringLiteral("Time") : QStringLiteral("Time %1").arg(i + 1);
            fail(QStringLiteral("time%1").arg(i + 1), display, timeFormatMessage());
            return;
        }
    }
}

