#include "importcommand.h"

#include "datetext.h"
#include "eventdocument.h"
#include "exportcommand.h"
#include "folderlock.h"
#include "globals.h"
#include "icalimport.h"
#include "profile.h"
#include "recordset.h"
#include "spreadsheet.h"

#include <QDir>
#include <QFileInfo>

#include <cstdio>

namespace interop {

int runImportCommand(const QString &path)
{
    QString error;
    const QString folder = workingDataFolder(&error);
    if (!error.isEmpty())
        return commandFailed(error);
    if (!QFileInfo(folder).isDir())
        return commandFailed(QStringLiteral("The data folder %1 is not there.").arg(QDir::toNativeSeparators(folder)));

    // The folder is written: no window may have it open meanwhile.
    folderlock::Lock lock;
    switch (lock.acquire(folder)) {
    case folderlock::Lock::Result::Held: break;
    case folderlock::Lock::Result::Taken:
    case folderlock::Lock::Result::Foreign:
        return commandFailed(QStringLiteral("The data folder %1 is open in Vantel (%2): close it there first.")
                                 .arg(QDir::toNativeSeparators(folder), lock.holder().describe()));
    case folderlock::Lock::Result::Unlockable:
        return commandFailed(QStringLiteral("The data folder %1 cannot be written: %2")
                                 .arg(QDir::toNativeSeparators(folder), lock.reason()));
    }

    EventDocument doc;
    const LoadResult load = doc.load(folder);
    if (!load.interruptedSave.isEmpty())
        return commandFailed(load.interruptedSave);
    if (const QStringList unreadable = load.unreadable(); !unreadable.isEmpty())
        return commandFailed(unreadable.join(QLatin1Char(' ')));
    if (doc.unsavedWork().state != UnsavedWork::State::None)
        return commandFailed(QStringLiteral("%1 holds unsaved changes of an earlier session: open Vantel to keep or "
                                            "discard them before importing.")
                                 .arg(QDir::toNativeSeparators(folder)));

    const ImportFile file = readImportFile(path);
    if (!file.ok())
        return commandFailed(file.error);
    const QString pattern = usablePattern(gs_short_date_format);
    const ImportContext context = contextFor(doc.admin(), doc.events(), doc.dates(), pattern);
    ImportResult result;
    if (file.kind == FileKind::Calendar) {
        result = importCalendar(file.bytes, context);
    } else {
        const Spreadsheet sheet = readSpreadsheet(file.bytes);
        if (!sheet.ok())
            return commandFailed(sheet.error);
        const QString kept =
            rt::ProfileString(gs_ini_file_name, QStringLiteral("Import"), QStringLiteral("Columns"), QString());
        result = importSpreadsheet(sheet, keptMapping(kept, sheet.header, guessMapping(sheet.header)), context);
    }
    if (!result.ok())
        return commandFailed(result.error);
    // The report says what was added: it comes once the events are saved.
    const auto report = [&result] {
        for (const QString &line : result.reportLines())
            std::printf("%s\n", qUtf8Printable(line));
        std::fflush(stdout);
    };
    if (result.events.empty()) {
        report();
        return 0;
    }
    const AdminValues admin = doc.adminValues();
    doc.addImported([&](RecordSet &events, RecordSet &dates) {
        addToRecordSets(result, events, dates, admin.login, admin.password);
    });
    const SaveResult saved = doc.save(folder);
    if (!saved.ok())
        return commandFailed(saved.error);
    report();
    if (!saved.error.isEmpty())
        std::fprintf(stderr, "vantel: %s\n", qUtf8Printable(saved.error));
    doc.discardUnsavedWork();
    return 0;
}

} // namespace interop
