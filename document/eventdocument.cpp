#include "eventdocument.h"

#include "datafiles.h"
#include "definition.h"
#include "fileset.h"
#include "globals.h"
#include "recordset.h"
#include "readfile.h"
#include "trim.h"

#include <QDate>
#include <QFile>
#include <QScopeGuard>
#include <QSet>

#include <algorithm>
#include <array>
#include <atomic>

#include <exception>
#include <system_error>
#include <thread>

#include <sys/stat.h>

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
    dropReadAhead();
}

namespace {

// What tells whether a file is still the one read: which file it is, its
// size and when it or its contents last changed. Equal for two files that
// are not there.
struct FileStamp {
    std::array<qint64, 7> values{};
    bool operator==(const FileStamp &) const = default;
};

FileStamp stampOf(const QString &path)
{
    FileStamp stamp;
    struct stat st;
    if (::stat(QFile::encodeName(path).constData(), &st) == 0)
        stamp.values = {qint64(st.st_dev), qint64(st.st_ino), qint64(st.st_size), qint64(st.st_mtim.tv_sec),
                        qint64(st.st_mtim.tv_nsec), qint64(st.st_ctim.tv_sec), qint64(st.st_ctim.tv_nsec)};
    else
        stamp.values[0] = -1;
    return stamp;
}

} // namespace

// One thread reads the files in turn; load() itself reads any that the
// reader has not come to yet, so that two large files are read side by
// side.
struct EventDocument::ReadAhead {
    struct File {
        RecordSet *rs = nullptr;
        QString path;
        int indexCol = 0;
        std::atomic<bool> claimed{false}; // by the thread that reads it, or given up
        bool read = false;
        FileStamp stamp; // before it was read
        datafiles::FileRead contents;
        std::exception_ptr failure;

        void take()
        {
            if (claimed.exchange(true))
                return;
            try {
                stamp = stampOf(path);
                contents = datafiles::readFile(*rs, path, indexCol);
            } catch (...) {
                failure = std::current_exception();
            }
            read = true;
        }
        // Read without a fault, and the file is as it was then.
        bool usable(const QString &filePath) const
        {
            return read && !failure && path == filePath && stampOf(path) == stamp;
        }
    };
    File files[2]; // the events, then their date lines
    std::thread reader;

    // Every file read, by whichever thread came to it first.
    void finish()
    {
        for (File &f : files)
            f.take();
        if (reader.joinable())
            reader.join();
    }
    // The files not begun stay unread.
    void stop()
    {
        for (File &f : files)
            f.claimed = true;
        if (reader.joinable())
            reader.join();
    }
};

void EventDocument::readAhead(const QString &directory)
{
    dropReadAhead();
    const QString eventsPath = directory + gs_event_filename;
    // An interrupted save is undone before anything is read (see load).
    if (fileset::interrupted(eventsPath))
        return;
    ahead_ = std::make_unique<ReadAhead>();
    ReadAhead::File &events = ahead_->files[0], &dates = ahead_->files[1];
    events.rs = events_.get();
    events.path = eventsPath;
    dates.rs = dates_.get();
    dates.path = directory + gs_event_dates_filename;
    dates.indexCol = lineEventCol_;
    try {
        ahead_->reader = std::thread([ahead = ahead_.get()] {
            for (ReadAhead::File &f : ahead->files)
                f.take();
        });
    } catch (const std::system_error &) {
        // No thread to be had: load() reads them all.
    }
}

void EventDocument::dropReadAhead()
{
    if (!ahead_)
        return;
    ahead_->stop();
    datafiles::dropRead(*events_, ahead_->files[0].contents);
    datafiles::dropRead(*dates_, ahead_->files[1].contents);
    ahead_.reset();
}

LoadResult EventDocument::load(const QString &directory)
{
    if (ahead_)
        ahead_->finish();
    history_.setPaused(true);
    const auto resume = qScopeGuard([&] {
        history_.setPaused(false);
        history_.clear();
        journal_.startFrom(directory, rowCounts());
        checkAheadSoon();
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
        dropReadAhead();
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
    datafiles::FileRead dates, events;
    if (ahead_ && ahead_->files[0].usable(eventsPath) && ahead_->files[1].usable(datesPath)) {
        events = std::move(ahead_->files[0].contents);
        dates = std::move(ahead_->files[1].contents);
        ahead_.reset();
    } else {
        dropReadAhead();
        std::exception_ptr failure;
        // The date lines are filtered by their event at every change of
        // event: their index is made along with the reading.
        const int lineEvent = dates_->columnIndex(QStringLiteral("event_id"));
        std::thread reader([&] {
            try {
                dates = datafiles::readFile(*dates_, datesPath, lineEvent);
            } catch (...) {
                failure = std::current_exception();
            }
        });
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
    }
    if (datafiles::finishRead(*events_, events, eventsPath, &result.events) >= 1) {
        fileset::recover(datesPath); // leftovers of an interrupted save of the dates, as before reading them
        datafiles::finishRead(*dates_, dates, datesPath, &result.dates);
    } else {
        datafiles::dropRead(*dates_, dates);
    }
    return result;
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
    RowStore::Pass linesPass(dates_->store()), eventsPass(events_->store());
    for (long place = 0; place < dates_->allRowCount(); ++place, linesPass.row())
        if (holds(dates_->valueAt(place, city)))
            byCity.insert(dates_->valueAt(place, lineEvent).toByteArray());
    const int name = events_->columnIndex(QStringLiteral("name"));
    const int venue = events_->columnIndex(QStringLiteral("venue"));
    const int key = events_->columnIndex(QStringLiteral("event_id"));
    after = std::clamp(after, 0L, count);
    for (long i = 1; i <= count; ++i, eventsPass.row()) {
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
    // The journal goes on from the files as last saved until the new ones
    // are in place, and knows them once they are.
    const SaveResult result = datafiles::saveAll({{admin_.get(), directory + gs_admin_filename},
                                                  {events_.get(), directory + gs_event_filename},
                                                  {dates_.get(), directory + gs_event_dates_filename}},
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
