// The exports without the window: the data as last saved in a data folder
// written as a calendar file or as web page data. The command line
// (--export-ics, --export-jsonld) and the window's Export menu both use it.
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>

namespace interop {

enum class ExportFormat { Calendar, WebData };

struct ExportOutcome {
    QString error;       // nothing was written: why, in one line
    QStringList notes;   // what the user should know of a written file (lines left out, ...)
    bool unsavedInFolder = false; // the folder's journal holds changes that the export (of the saved data) lacks
    long events = 0;     // events written
    bool ok() const { return error.isEmpty(); }
};

struct ExportRequest {
    QString dataFolder;  // ending in "/"
    QString target;      // the file to write (replaced whole, or not at all)
    ExportFormat format = ExportFormat::Calendar;
    QByteArray timeZone; // IANA id; empty: the system's
    QDateTime stamp;     // DTSTAMP of the calendar; invalid: now
};

// Writes the file. A calendar export also keeps what it wrote of each line
// in the data folder (icalexport.h: SequenceState), so that the next export
// raises the SEQUENCE of the lines changed in between.
ExportOutcome exportSavedData(const ExportRequest &request);

// The command line's run: the settings file of the working folder names
// the data folder as at a start of the program; the outcome goes to
// stderr (the error, or the notes), and the answer is the exit status: 0
// written, 1 not.
int runExportCommand(const QString &target, ExportFormat format);

// Shared by the commands: the data folder that the settings file of the
// working folder names (ending in "/"); empty, with the reason in `error`,
// when there is no readable settings file.
QString workingDataFolder(QString *error);
// Says `why` on stderr ("vantel: ..."); answers the exit status 1.
int commandFailed(const QString &why);

} // namespace interop
