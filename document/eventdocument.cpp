#include "eventdocument.h"

#include "datafiles.h"
#include "definition.h"
#include "fileset.h"
#include "globals.h"
#include "recordset.h"
#include "readfile.h"
#include "trim.h"

#include <QDate>
#include <QScopeGuard>
#include <QSet>

#include <algorithm>

#include <exception>
#include <thread>

namespace {
const QString kFileDirectory = QStringLiteral("file_directory");
} // namespace

QString tagValue(const QString &tagText, const QString &key)
{
    const QString tag = vantel_startup::Trim(tagText);
    const qsizetype pos = tag.toUpper().indexOf(key.toUpper());
    if (key.isEmpty() || pos < 0)
        return QStringLiteral("#");
    const qsizetype from = pos + key.size();
    const qsizetype semi = tag.indexOf(QLatin1Char(';'), from);
    const qsizetype eq = tag.indexOf(QLatin1Char('='), from);
    if (eq < 0)
        return QStringLiteral("#");
    const qsizetype end = semi > eq ? semi : tag.size();
    return vantel_startup::Trim(tag.mid(eq + 1, end - eq - 1));
}

QStringList LoadResult::unreadable() const
{
    QStringList list;
    for (const ImportReport *r : {&admin, &events, &dates})
        if (!r->readError.isEmpty())
            list += r->readError + QLatin1Char('.');
    return list;
}

LoadResult EventDocument::load(const QString &directory)
{
    history_.setPaused(true);
    const auto resume = qScopeGuard([&] {
        history_.setPaused(false);
        history_.clear();
        journal_.startFrom(directory, rowCounts());
    });
    LoadResult result;
    if (admin_->ImportFile(directory + gs_admin_filename, &result.admin) >= 1) {
        publishAdminValues();
    } else {
        gs_login.clear();
        gs_password.clear();
        gs_country.clear();
        const long row = admin_->InsertRow(0);
        admin_->SetItem(row, kFileDirectory, directory);
    }
    // `directory` may be gs_directory itself, which the admin record has
    // just set: the events and their dates are read from there.
    const QString eventsPath = directory + gs_event_filename;
    const QString datesPath = directory + gs_event_dates_filename;
    result.interruptedSave = fileset::recover(eventsPath);
    if (fileset::interrupted(eventsPath)) {
        result.interruptedSave = fileset::blockedMessage(eventsPath, result.interruptedSave);
        // The files of an interrupted save could not be put back yet: read
        // one after the other, each after another attempt, as ever.
        if (events_->ImportFile(eventsPath, &result.events) >= 1)
            dates_->ImportFile(datesPath, &result.dates);
        return result;
    }
    // The date lines are read on a thread of their own while the events are
    // read here; they become rows (and a damaged file is kept, and its
    // problems reported) only when events came in, as if they had been read
    // after them. Neither record set is used by anyone else meanwhile: both
    // reads end before either set changes.
    datafiles::FileRead dates;
    std::exception_ptr failure;
    // The date lines are filtered by their event at every change of event:
    // their index is made along with the reading.
    const int lineEvent = dates_->columnIndex(QStringLiteral("event_id"));
    std::thread reader([&] {
        try {
            dates = datafiles::readFile(*dates_, datesPath, lineEvent);
        } catch (...) {
            failure = std::current_exception();
        }
    });
    datafiles::FileRead events;
    try {
        events = datafiles::readFile(*events_, eventsPath);
    } catch (...) {
        reader.join();
        datafiles::dropRead(*dates_, dates);
        throw;
    }
    reader.join();
    if (failure) {
        datafiles::dropRead(*events_, events);
        std::rethrow_exception(failure);
    }
    if (datafiles::finishRead(*events_, events, eventsPath, &result.events) >= 1) {
        fileset::recover(datesPath); // leftovers of an interrupted save of the dates, as before reading them
        datafiles::finishRead(*dates_, dates, datesPath, &result.dates);
    } else {
        datafiles::dropRead(*dates_, dates);
    }
    return result;
}

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

EventDocument::EventDocument(std::chrono::milliseconds mergeInterval, QObject *parent)
    : QObject(parent),
      admin_(std::make_unique<RecordSet>(definition(QStringLiteral("d_admin")))),
      events_(std::make_unique<RecordSet>(definition(QStringLiteral("d_list")))),
      dates_(std::make_unique<RecordSet>(definition(QStringLiteral("d_event_dates")))),
      folderCol_(admin_->columnIndex(kFileDirectory)),
      startCol_(dates_->columnIndex(QStringLiteral("start_date"))),
      endCol_(dates_->columnIndex(QStringLiteral("end_date"))),
      lineEventCol_(dates_->columnIndex(QStringLiteral("event_id"))),
      lineKeyCol_(dates_->columnIndex(QStringLiteral("time_id"))),
      eventKeyCol_(events_->columnIndex(QStringLiteral("event_id"))),
      history_({admin_.get(), events_.get(), dates_.get()}, mergeInterval)
{
    for (int i = 1; i <= 6; ++i)
        timeCols_.push_back(dates_->columnIndex(QStringLiteral("time%1").arg(i)));
    history_.onChange = [this](const RowChange &change) { journal_.record(change); };
    connect(&history_.stack(), &QUndoStack::cleanChanged, this, [this](bool clean) {
        // Back at the data as saved: nothing is unsaved, and nothing need be
        // kept for a next start.
        if (clean)
            journal_.restart();
        if (modified_ != !clean)
            emit modifiedChanged(modified_ = !clean);
    });
    connect(&history_, &ChangeHistory::stepShown, this, &EventDocument::stepShown);
}

EventDocument::~EventDocument()
{
    // The history goes first: its stack, cleared as it goes, must not be
    // taken for a return to the saved data (which would drop the journal).
    disconnect(&history_.stack(), nullptr, this, nullptr);
}

RecordSet &EventDocument::set(Part part) const
{
    switch (part) {
    case Part::Admin: return *admin_;
    case Part::Events: return *events_;
    case Part::Dates: break;
    }
    return *dates_;
}

bool EventDocument::partOf(const RecordSet *rs, Part *part) const
{
    for (Part p : {Part::Admin, Part::Events, Part::Dates}) {
        if (&set(p) == rs) {
            *part = p;
            return true;
        }
    }
    return false;
}

// ---- Admin values ------------------------------------------------------------

AdminValues EventDocument::adminValues() const
{
    const RecordSet &a = *admin_;
    return AdminValues{a.GetItemString(1, kFileDirectory),
                       a.GetItemString(1, QStringLiteral("user_id")),
                       a.GetItemString(1, QStringLiteral("user_password")),
                       a.GetItemString(1, QStringLiteral("default_country")),
                       a.GetItemString(1, QStringLiteral("default_state")),
                       a.GetItemString(1, QStringLiteral("default_city"))};
}

void EventDocument::publishAdminValues() const
{
    const AdminValues v = adminValues();
    gs_directory = v.directory;
    gs_login = v.login;
    gs_password = v.password;
    gs_country = v.country;
    gs_state = v.state;
    gs_city = v.city;
}

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

FirstFault EventDocument::firstFault(Part part) const
{
    const ColumnTable table(recordSet(part).definition());
    const EveryRow rows(recordSet(part));
    const long count = rows.count();
    for (long row = 1; row <= count; ++row) {
        RowCheck check = checkRow(table, rows, part, row);
        if (check.rc != 0)
            return FirstFault{row, std::move(check)};
    }
    return FirstFault{};
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

// ---- Finding events ------------------------------------------------------------

long EventDocument::findEvent(const QString &text, long after) const
{
    const long count = events_->RowCount();
    if (text.isEmpty() || count == 0)
        return 0;
    auto holds = [&text](QByteArrayView value) {
        return !value.isEmpty() && QString::fromUtf8(value).contains(text, Qt::CaseInsensitive);
    };
    // The events one of whose date lines (shown or not) lies in a matching city.
    QSet<QByteArray> byCity;
    const int city = dates_->columnIndex(QStringLiteral("city"));
    const int lineEvent = dates_->columnIndex(QStringLiteral("event_id"));
    for (long place = 0; place < dates_->allRowCount(); ++place)
        if (holds(dates_->valueAt(place, city)))
            byCity.insert(dates_->valueAt(place, lineEvent).toByteArray());
    const int name = events_->columnIndex(QStringLiteral("name"));
    const int venue = events_->columnIndex(QStringLiteral("venue"));
    const int key = events_->columnIndex(QStringLiteral("event_id"));
    after = std::clamp(after, 0L, count);
    for (long i = 1; i <= count; ++i) {
        const long row = (after + i - 1) % count + 1;
        if (holds(events_->rawValue(row, name)) || holds(events_->rawValue(row, venue))
            || (!byCity.isEmpty() && byCity.contains(events_->rawValue(row, key).toByteArray())))
            return row;
    }
    return 0;
}

// ---- Saving and packing ------------------------------------------------------

SaveResult EventDocument::save(const QString &directory)
{
    SaveResult result;
    // The journal goes on from the files as last saved until the new ones
    // are in place, and knows them once they are.
    result.code = datafiles::saveAll({{admin_.get(), directory + gs_admin_filename},
                                      {events_.get(), directory + gs_event_filename},
                                      {dates_.get(), directory + gs_event_dates_filename}},
                                     &result.error,
                                     [this](const QList<QByteArray> &newFiles) { journal_.beforeSave(newFiles); },
                                     datafiles::Rows::Every);
    if (result.ok()) {
        history_.stack().setClean();
        journal_.startFrom(directory, rowCounts());
    } else {
        journal_.saveFailed();
    }
    return result;
}

PackageJob EventDocument::exportJob(const QString &directory) const
{
    // The names are taken now, on the calling thread; the job reads only
    // the files.
    const QStringList files = {gs_admin_filename, gs_event_filename, gs_event_dates_filename};
    const QString zipName = gs_zip_filename;
    return [directory, files, zipName](const PackProgress &progress) {
        return pack_data_files(directory, files, zipName, progress);
    };
}

PackageResult EventDocument::exportPackage(const QString &directory) const
{
    return exportJob(directory)({});
}

// ---- Taking changes back -------------------------------------------------------

bool EventDocument::undo() { return history_.undo(); }
bool EventDocument::redo() { return history_.redo(); }

// ---- Unsaved work of an earlier session ------------------------------------------

RowCounts EventDocument::rowCounts() const
{
    return {admin_->allRowCount(), events_->allRowCount(), dates_->allRowCount()};
}

UnsavedWork EventDocument::unsavedWork() const
{
    const QString path = journal_.path();
    if (path.isEmpty())
        return {};
    UnsavedWork work = readJournal(path.left(path.size() - Journal::fileName().size()), rowCounts());
    if (work.state == UnsavedWork::State::Found && !history_.fits(allChanges(work))) {
        work.state = UnsavedWork::State::Damaged;
        work.problem = QStringLiteral("its changes do not fit the data files");
        work.changes.clear();
        work.typing.reset();
    }
    return work;
}

std::vector<RowChange> EventDocument::allChanges(const UnsavedWork &work)
{
    std::vector<RowChange> all = work.changes;
    if (work.typing)
        all.push_back(*work.typing); // the text being typed goes into its field
    return all;
}

std::optional<RowChange> EventDocument::typingChange(Part part, long row, int col, const QString &text) const
{
    const RecordSet &rs = set(part);
    RowChange c;
    const long place = rs.placeOf(row);
    if (place < 0 || !rs.textValue(col, text, &c.after))
        return {};
    c.kind = RowChange::Set;
    c.part = quint8(part);
    c.place = place;
    c.col = qint16(col);
    c.before = StoredValue{rs.valueAt(place, col).toByteArray(), rs.IsNull(row, col)};
    return c;
}

bool EventDocument::restore(const UnsavedWork &work)
{
    if (!history_.replay(allChanges(work)))
        return false;
    publishAdminValues();
    journal_.flush();
    return true;
}

void EventDocument::discardUnsavedWork()
{
    journal_.restart();
}
