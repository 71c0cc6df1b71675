// Events coming in from other programs: what an import found, as plain
// values that no record set holds yet, and the steps every importer
// shares (reading the chosen file, fitting texts into their columns,
// finding events that are there already, adding the result to the record
// sets). The calendar reader (icalimport.h) and the spreadsheet reader
// (spreadsheet.h) both answer an ImportResult; the window shows its report
// and adds its events as one step. Qt Core only.
#pragma once

#include <QDate>
#include <QSet>
#include <QString>
#include <QStringList>

#include <functional>
#include <map>
#include <vector>

class RecordSet;

namespace interop {

// One date line to add.
struct NewLine {
    QString timeId;    // the key a file written by Vantel gave it; empty: a new key is made
    QDate start, end;
    QStringList times; // six "hhmm", "0000" for none
    QString city, state;
};

// One event to add, with its date lines.
struct NewEvent {
    QString eventId;                   // kept key (as timeId), or empty
    std::map<QString, QString> fields; // d_events column -> value; columns not named keep their initial value
    std::vector<NewLine> lines;
    QString source;                    // where it came from, as the report names it
    bool incomplete = false;           // something required is missing (a time, a description)
    QString field(const QString &column) const;
    QDate firstDate() const;           // the earliest start of its lines
};

// A line of the report: a component or row that was left out, changed on
// the way in, or comes in to be completed.
struct Finding {
    enum Kind { Skipped, Changed, ToComplete } kind = Skipped;
    QString where; // "VEVENT 3 \"Concert\"", "row 7"
    QString what;  // the reason
};

struct ImportResult {
    QString error;                 // the file as a whole cannot be imported; nothing else is set
    std::vector<NewEvent> events;  // in the order of the file
    std::vector<Finding> findings; // in the order found
    bool ok() const { return error.isEmpty(); }
    long lineCount() const;
    // The report of the events added, as the user reads it: a heading with
    // the numbers, then one line per component or row found of note with
    // its reasons ("Skipped: VEVENT 2 \"Yoga\": cancelled"; a component left
    // out says only why); or the error alone.
    QStringList reportLines() const;
};

// An event already in the data, for finding duplicates.
struct KnownEvent {
    QString eventId;
    QString name;
    QDate firstDate; // of its date lines; invalid without any
};

// What an import needs to know of the data it goes into.
struct ImportContext {
    QString defaultCountry, defaultState, defaultCity; // of the admin record
    std::vector<KnownEvent> existing;
    QSet<QString> existingTimeIds;
    QString datePattern = QStringLiteral("yyyy-mm-dd"); // the user's: dates in messages and in spreadsheets
    QByteArray timeZone; // IANA id of the local wall time that times are turned into; empty: the system's
};

// The context for importing into these record sets (all rows, whatever
// filter is set on the date lines).
ImportContext contextFor(const RecordSet &admin, const RecordSet &events, const RecordSet &dates,
                         const QString &datePattern);

// ---- The file the user picked
constexpr qint64 kMaxImportBytes = 50LL * 1024 * 1024;
enum class FileKind { Calendar, Spreadsheet };
struct ImportFile {
    QByteArray bytes;
    FileKind kind = FileKind::Calendar;
    QString error; // why it cannot be imported: missing, unreadable, empty, too large, no known kind
    bool ok() const { return error.isEmpty(); }
};
// Reads `path` (a regular file of at most `maxBytes`: the window and the
// command line keep to kMaxImportBytes). .ics, .ical and .ifb files, and any
// whose text begins with BEGIN:VCALENDAR, are calendars; .csv and .txt files
// are spreadsheets.
ImportFile readImportFile(const QString &path, qint64 maxBytes = kMaxImportBytes);

// ---- Adding what was found
// Makes a record key for a prefix ("EV", "TI").
using KeyMaker = std::function<QString(const QString &prefix)>;
struct Added {
    long events = 0, lines = 0;
};
// Appends the events of `result` to `events` and their lines to `dates`,
// with the login and password on every event as a new event gets them.
// Kept keys are used as they are; the others come from `makeKey`, by
// default a run of keys made at once (keys::createKeys).
Added addToRecordSets(const ImportResult &result, RecordSet &events, RecordSet &dates, const QString &login,
                      const QString &password, const KeyMaker &makeKey = {});

// ---- Shared by the readers
// The declared width of a column of d_events (0 when it has none).
int columnWidth(const QString &column);
// `text` fitted into `column`: cut at its width, at the last blank of the
// second half when there is one. The part cut off goes to `rest`.
QString fitted(const QString &text, const QString &column, QString *rest);
// The code of a category named by its text or its code ("Music", "110"),
// in any case; empty when none fits.
QString categoryCode(const QString &textOrCode);
QString categoryText(const QString &code);
// The two-letter code of a country named by its name or its code.
QString countryCode(const QString &nameOrCode);
// The steps of a reader that fill an event: `value` fitted into `column`
// of `event`, with a finding at `where` when it was cut (the part cut off
// goes to `rest` instead when that is given, and is not reported).
void setField(ImportResult &result, NewEvent &event, const QString &where, const char *column,
              const QString &value, QString *rest = nullptr);
// Whether an event named `name` with the first date `first` is in the data
// already or earlier in `result`; when it is, a finding says so.
bool isDuplicate(const ImportContext &context, ImportResult &result, const QString &name, const QDate &first,
                 const QString &where);
// Name, descriptions, venue, web site and category of an event from another
// program, with the country, city and state of the admin defaults; the
// findings for what was cut, left out or is to be completed.
struct ForeignFields {
    QString name, description, venue, address, website, category;
};
void fillForeign(const ForeignFields &fields, const ImportContext &context, const QString &where, NewEvent &event,
                 ImportResult &result);
// Texts of other programs in the form Vantel keeps them: line breaks as
// "\n", no control characters but the tab.
QString plainText(const QString &text);

} // namespace interop
