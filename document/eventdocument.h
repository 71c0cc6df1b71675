// The event data the main window shows: the admin record, the events and
// their date lines, the checks that a save runs over them, saving, packing
// and whether anything is unsaved. No widgets: the window and its pages show
// the document and send it commands; results come back as values.
#pragma once

#include "changehistory.h"
#include "datafiles.h"
#include "journal.h"
#include "package.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QVariantMap>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QTimer;
class RecordSet;
struct Definition;

// One failed check.
struct str_errors {
    qint32 row = 0;   // row of the record in its record set
    QString column;   // display name of the field
    QString columndb; // column name in the definition
    QString message;
};

// The result of checking one record: the failed checks in the order made.
struct RowCheck {
    qint32 rc = 0;                  // 0 when the record passed
    std::vector<str_errors> errors;
    int unknownTypes = 0;           // required columns of a type the checks do not know
};

// The first record of a record set that fails its checks.
struct FirstFault {
    long row = 0; // 0 when every record passed
    RowCheck check;
};

// How a save of the three files ended (which file failed and why, or a
// warning when saved).
using SaveResult = datafiles::SaveOutcome;

// One failed check of the whole data, as plain as the data: the part and
// row of the record (its row among every record of its part, whichever are
// shown), the column (its name in the definition and the name shown) and
// the message.
struct Finding {
    DataPart part = DataPart::Admin;
    qint32 row = 0;
    QString column;
    QString display;
    QString message;
};

// What checking the whole data before a save found: the failed checks of
// the first record that fails (the admin record, then the events, then the
// date lines), in the order made.
struct Validation {
    DataPart part = DataPart::Admin;
    long row = 0;            // 0: everything passed
    qint32 rc = 0;           // the record's check result; 0 when it passed
    QString key;             // the record's key (event_id, time_id); empty for the admin record
    QString eventKey;        // the key of the event the record belongs to
    std::vector<Finding> findings;
    int unknownTypes = 0;    // required columns of a type the checks do not know, in the records checked
    bool ok() const { return row == 0; }
};

// What reading the three files of a data folder found.
struct LoadResult {
    ImportReport admin, events, dates;
    // An interrupted save whose files could not be put back: what the user
    // is told (no save is possible in the folder until it is resolved).
    QString interruptedSave;
    // The files that are there but could not be read, each with its reason.
    QStringList unreadable() const;
};

// The values of the admin record that the rest of the program uses.
struct AdminValues {
    QString directory, login, password, country, state, city;
};

class EventDocument : public QObject {
    Q_OBJECT
public:
    using Part = DataPart;

    // Fields set one after the other no further apart than `mergeInterval`
    // make one step of the history (the window passes the desktop's
    // keyboard input interval: keys that search a drop-down's list).
    explicit EventDocument(std::chrono::milliseconds mergeInterval = kMergeInterval, QObject *parent = nullptr);
    static constexpr std::chrono::milliseconds kMergeInterval{400};
    ~EventDocument() override;

    // The data, to read: it changes only through the commands below.
    const RecordSet &admin() const { return *admin_; }
    const RecordSet &events() const { return *events_; }
    const RecordSet &dates() const { return *dates_; }
    const RecordSet &recordSet(Part part) const { return set(part); }
    // The part that `rs` holds; false for a record set of another document.
    bool partOf(const RecordSet *rs, Part *part) const;

    // The admin record (row 1), and the same copied into the program's
    // settings (gs_directory, gs_login, ...).
    AdminValues adminValues() const;
    void publishAdminValues() const;

    // Reads the data folder `directory`: the admin record (a new one for
    // that folder when there is none; its values become the settings), the
    // events, and their date lines only when there are events.
    LoadResult load(const QString &directory);
    // Starts reading the events and date lines of the data folder
    // `directory` on a thread of its own, for the load() of that folder
    // that follows: the window builds its pages meanwhile. load() takes
    // what was read where it reads the same files and they have not
    // changed since, and reads them anew otherwise. Until that load(),
    // nothing else may use the events or their date lines.
    void readAhead(const QString &directory);

    // ---- Commands
    // Each changes the data as one step of the undo history (none when it
    // changes nothing); the journal hears every change. New events and
    // lines take the defaults of the admin record. Rows are those of the
    // record sets above, which hold every row (the date lines of all
    // events: a view shows those of one event).

    // What New and Copy made: the event's row and key, and the key of the
    // first date line that was made fresh (empty when lines were copied).
    struct EventMade {
        long row = 0; // 0: nothing was made
        QString eventId;
        QString freshLineId;
    };
    // A new last event with the admin record's login, password, country,
    // state and city and the category "70" (General), with a first date
    // line.
    EventMade newEvent();
    // A copy of event `row` as the last event, with a new key, and copies of
    // its date lines with new keys; one fresh line when it has none.
    EventMade copyEvent(long row);
    // Event `row` goes with its date lines; with the last event every line goes.
    bool deleteEvent(long row);
    // A new last date line of event `eventId`, with the admin record's state
    // and city; answers its row (0 when none was made).
    long newDateLine(const QString &eventId);
    // New last date lines of `eventId` as one step, each with the values
    // named (column name to value) over those of newDateLine; answers the
    // row of the first (0 when none was made).
    long addDateLines(const QString &eventId, const std::vector<QVariantMap> &lines);
    bool deleteDateLine(long row);
    // Events and their date lines read from another program's file, as one
    // step ("Import"): `append` adds them at the end of the events and the
    // lines, and changes nothing else. Answers whether anything was added.
    bool addImported(const std::function<void(RecordSet &events, RecordSet &dates)> &append);
    // Every date line of `eventId` moves by `days` (negative: earlier), its
    // times kept, as one step; a date left empty stays empty. false, and
    // nothing moved, when there is no line or a date would leave the range
    // the files hold.
    bool shiftDateLines(const QString &eventId, int days);
    // The earliest start date of the lines of `eventId` (invalid: none).
    QDate firstLineDate(const QString &eventId) const;
    // Column `col` of row `row` takes `value`: a text as typed (converted as
    // the column's type takes it), or a value of the column's type (a date),
    // or null. false when it is no value of the column or changes nothing.
    bool setField(Part part, long row, int col, const QVariant &value);
    bool setField(Part part, long row, const QString &column, const QVariant &value);

    // Which field had the focus in a row, as the files keep it
    // (current_column): no change of the data, no step, not journaled.
    void noteCurrentColumn(Part part, long row, const QString &column);

    // ---- Reading the data
    // Whether every event from row `fromRow` on has its six mandatory values
    // (country, city, name, short description, category, cost).
    bool eventsComplete(long fromRow) const;
    // Whether date line `row` has a city, both dates and a first time.
    bool lineComplete(long row) const;
    // The row of the event or line of that key; 0 when there is none.
    long eventRow(const QString &eventId) const;
    long lineRow(const QString &timeId) const;

    // ---- Checks
    // The texts of the failed checks.
    static QString requiredMessage();      // "This is a required field !"
    static QString invalidFolderMessage(); // "This directory is invalid !"
    static QString endBeforeStartMessage();
    static QString firstTimeMessage();
    static QString timeFormatMessage(); // a time that is no hh:mm of the 24-hour clock
    // One record: the column checks in column order (required values, the
    // stored date range, the decimal range), then the rules of its part.
    RowCheck validateRow(Part part, long row) const;
    // The column checks alone, for a record set of no document.
    static RowCheck validateColumns(const RecordSet &rs, long row);
    // The rules of `part` beyond its columns (the data folder; the dates,
    // the first time and the form of every time of a line); at most one
    // error.
    RowCheck partRules(Part part, long row) const;
    // The first record of `part` that fails, every record (whichever date
    // lines are shown) checked against column facts resolved once; its row
    // is that among all the records of the part.
    FirstFault firstFault(Part part) const;
    // The checks a save runs: the admin record, every event and every date
    // line, up to the first record that fails. `beforePart` is told of each
    // part before it is checked (the window takes the typing of its views
    // into the data then). An event or date line that passed and has not
    // changed since is not checked again: its checks read only its own
    // values.
    Validation validate(const std::function<void(Part)> &beforePart = {}) const;
    // Once the data is read, its events and date lines are checked while
    // the program waits for the user (no key, mouse or wheel for a moment),
    // a few milliseconds at a time, so that a save checks only what failed
    // or changed.
    void checkAheadSoon();

    // ---- Finding events
    // The first event after row `after` (wrapping round to row 1) whose
    // name, venue or the city of one of its date lines holds `text`, in
    // any case; 0 when none does or `text` is empty.
    long findEvent(const QString &text, long after) const;

    // ---- Saving and packing
    // Writes the three files of `directory` together (all or none); every
    // date line is written, whichever are shown. A save clears the modified
    // state; a failed one keeps it.
    SaveResult save(const QString &directory);
    // Packs the saved files of `directory` into its zip package.
    PackageResult exportPackage(const QString &directory) const;
    // The same as a job that may run on another thread: it holds the file
    // names as they are now and touches nothing of the document.
    PackageJob exportJob(const QString &directory) const;

    // ---- Unsaved changes: the history's clean state
    // Modified when the data is not as last saved (or loaded); saving makes
    // it so, and undoing back to it.
    bool isModified() const { return !history_.stack().isClean(); }

    // ---- Taking changes back
    // Undo and redo answer false when there is no step to take; stepShown
    // tells where the step happened.
    bool undo();
    bool redo();
    bool canUndo() const { return history_.stack().canUndo(); }
    bool canRedo() const { return history_.stack().canRedo(); }

    // ---- Unsaved work of an earlier session
    // The journal of the loaded folder: changes since the files were last
    // saved, kept a moment after each change (see Journal).
    Journal &journal() { return journal_; }
    UnsavedWork unsavedWork() const;
    // Makes the changes of `work` again, as one step, and keeps them in the
    // journal; the files stay as they are until a save. false (nothing
    // changed) when they do not fit the data.
    bool restore(const UnsavedWork &work);
    // No unsaved work to keep: the journal goes.
    void discardUnsavedWork();
    // What the text `text` being typed into column `col` of row `row` of
    // `part` would set, for the journal; nothing for a text the column does
    // not take.
    std::optional<RowChange> typingChange(Part part, long row, int col, const QString &text) const;

signals:
    void modifiedChanged(bool modified);
    void stepShown(const ChangeSite &site);

private:
    class ColumnTable;
    RecordSet &set(Part part) const;
    // The checks read rows through `Rows` (those shown, or every row).
    template <typename Rows>
    RowCheck checkRow(const ColumnTable &table, const Rows &rows, Part part, long row) const;
    template <typename Rows>
    void checkPartRules(const Rows &rows, Part part, long row, RowCheck &check) const;
    template <typename Rows>
    static RowCheck checkColumns(const ColumnTable &table, const Rows &rows, long row);

    // Within a command: appends a row of `part` with these values; answers
    // its place (-1 when it could not be made).
    long appendRow(Part part, const StoredRow &values);
    // A date line of `eventId` with a new key and the admin defaults.
    StoredRow freshLine(const QString &eventId) const;
    // The places of the date lines of `eventId`, in their order.
    std::vector<long> linePlaces(const QString &eventId) const;

    RowCounts rowCounts() const;
    static std::vector<RowChange> allChanges(const UnsavedWork &work);
    void checkAhead(); // one slice of checkAheadSoon's work
    bool eventFilter(QObject *watched, QEvent *event) override; // notes the user's input for checkAhead

    // What readAhead() reads, until load() takes it or gives it back.
    struct ReadAhead;
    void dropReadAhead();

    std::unique_ptr<RecordSet> admin_, events_, dates_;
    std::unique_ptr<ReadAhead> ahead_;
    // Columns looked up once.
    int folderCol_ = 0, startCol_ = 0, endCol_ = 0, lineEventCol_ = 0, lineKeyCol_ = 0, eventKeyCol_ = 0;
    std::vector<int> timeCols_; // time1 to time6
    bool modified_ = false;     // as last told by modifiedChanged
    QTimer *checkAhead_ = nullptr;
    QElapsedTimer sinceInput_;  // since the user's last key, click or wheel
    Part aheadPart_ = Part::Events;
    long aheadPlace_ = 0;       // the next place of aheadPart_ to check ahead
    Journal journal_;
    ChangeHistory history_;
};

// The value of `key` in a column tag such as "name=Login ID;": what follows
// the first '=' after the key, up to the next ';'. "#" when the key is
// empty or missing or no '=' follows it.
QString tagValue(const QString &tag, const QString &key);
