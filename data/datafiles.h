// Reading and writing the tab-separated data files, and the developer's
// country-list conversion.
//
// Layout: one line per row, every column in definition order, one tab
// between fields, CRLF line ends, no heading. Null is an empty field, dates
// are yyyy-mm-dd, text is UTF-8. A value holding a tab, CR or LF, or one
// starting with a double quote, is written in double quotes with inner
// quotes doubled (as is one starting with a byte order mark); every other
// value is written as it stands.
#pragma once

#include "mappedfile.h"
#include "recordset.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

struct ImportReport {
    QStringList problems;   // per file: file name, line number, what is wrong
    QString backupPath;     // copy of the original file kept when it had problems
    QString readError;      // the file is there but could not be read: its path and why
};

int convertCountryList(const QString &inFile = "countries.txt", const QString &outFile = "CountriesData.txt"); // developer tool; 1 / -1

namespace datafiles {

// Appends the rows of `path`; answers the rows read, 0 for an empty file, -1
// when it is missing or cannot be read (the report then says why). An
// interrupted save of the set that `path` belongs to is undone first.
long importFile(RecordSet &rs, const QString &path, ImportReport *report);
// Appends the rows held in `bytes` (the content of a file named `fileName`
// for messages); answers the rows read.
long importBytes(RecordSet &rs, const QByteArray &bytes, const QString &fileName, QStringList *problems);
// The text of the passing rows as written to a file.
QByteArray serialize(const RecordSet &rs);
// Writes the passing rows through a temporary file beside the file (links
// are followed) that then replaces it; 1, or -1 with the old file left whole
// (-2: see SaveOutcome::PutBackPending).
int saveAs(const RecordSet &rs, const QString &path, QString *error = nullptr);
// How a save of several files together ended.
struct SaveOutcome {
    enum Kind {
        Saved,         // every file is replaced; `error`, when set, is a warning
        NotSaved,      // nothing was replaced: every file is as it was
        PutBackPending // failed, and not every old file could be put back yet (the next start does it)
    } kind = Saved;
    QString error; // which file failed and why
    bool ok() const { return kind == Saved; }
};
// Writes several files together: all go to temporary files first, and only
// when every one was written are the old files replaced; until the last one
// is in place the old set can be put back (see fileset.h). An existing file
// that cannot be read is never replaced. `beforeReplace`: see
// fileset::Save::commit. `which`: the passing rows of each record set, or
// every row whichever a filter passes (in the order a cleared filter gives
// them).
enum class Rows { Passing, Every };
SaveOutcome saveAll(const std::vector<std::pair<const RecordSet *, QString>> &files,
                    const std::function<void(const QList<QByteArray> &newFiles)> &beforeReplace = {},
                    Rows which = Rows::Passing);

// Reading a file in two steps, so that the reading can run on a thread of
// its own: readFile() parses the file into the record set's store and
// touches nothing else (no signal, no other state of the record set,
// nothing on disk); finishRead() then makes the rows the record set's own
// and keeps a copy of a damaged file, answering and reporting as
// importFile() does. dropRead() forgets a read that is not wanted. Between
// the two steps nobody else may use the record set's store. readFile() does
// not undo an interrupted save (importFile does: fileset::recover).
struct FileRead {
    enum Status { Missing, Failed, Read } status = Missing;
    rt::HeldBytes bytes;          // the file as read (mapped where it can be)
    rt::HeldBytes text;           // what the parsed rows point into
    std::vector<quint32> ids;     // the parsed rows, in the store only
    QStringList problems;         // what the parsing found, in order
    QString readError;            // Failed: the path and why
    int indexCol = 0;             // the column indexed for filters along with the reading (0: none)
    RecordSet::IndexEntries index;
};
// `indexCol`: a column (1-based) that filters will look at, whose index is
// made with the reading and taken when the rows read are all the rows.
FileRead readFile(RecordSet &rs, const QString &path, int indexCol = 0);
long finishRead(RecordSet &rs, FileRead &read, const QString &path, ImportReport *report);
void dropRead(RecordSet &rs, FileRead &read);

bool isValidUtf8(const char *data, qsizetype size);

} // namespace datafiles
