#include "exportcommand.h"

#include "icalexport.h"
#include "jsonld.h"
#include "profile.h"
#include "readfile.h"
#include "replacefile.h"
#include "globals.h"
#include "savedfolder.h"
#include "startfolder.h"

#include <QDir>
#include <QFileInfo>

#include <cstdio>
#include <limits>

namespace interop {

namespace {

// Writes `bytes` to `path` whole or not at all, every step checked (a full
// disk never leaves a shortened file); the reason when not.
QString writeWhole(const QString &path, const QByteArray &bytes)
{
    QString error;
    if (!rt::ReplaceFile(path, bytes, rt::NewFileMode::Usual, &error))
        return QStringLiteral("%1 cannot be written: %2").arg(QDir::toNativeSeparators(path), error);
    return {};
}

} // namespace

ExportOutcome exportSavedData(const ExportRequest &request)
{
    ExportOutcome out;
    SavedData data = readSavedData(request.dataFolder);
    if (!data.ok()) {
        out.error = data.error;
        return out;
    }
    out.unsavedInFolder = data.unsaved;
    if (!data.problems.isEmpty())
        out.notes << QStringLiteral("%1 line(s) of the data files could not be read and are not in the export.")
                         .arg(data.problems.size());

    if (request.format == ExportFormat::WebData) {
        const WebData web = writeWebData(*data.events, *data.dates, request.timeZone);
        if (const QString e = writeWhole(request.target, web.json); !e.isEmpty()) {
            out.error = e;
            return out;
        }
        out.events = web.events;
        out.notes << web.leftOut;
        return out;
    }

    // What the last export wrote of each line; a state that cannot be read
    // counts as none (every line starts again at SEQUENCE 0).
    const QString statePath = request.dataFolder + SequenceState::fileName();
    SequenceState state;
    QByteArray before;
    if (rt::ReadWholeFile(statePath, 64LL * 1024 * 1024, before) == rt::ReadStatus::Read)
        state.parse(before);
    CalendarOptions options;
    options.timeZone = request.timeZone;
    options.stamp = request.stamp;
    // Written as it is made: a calendar of many events is larger than the
    // data files by far.
    CalendarFile file;
    QString error;
    const bool written = rt::ReplaceFileInPieces(
        request.target,
        [&](const rt::PieceWriter &write) {
            file = writeCalendar(*data.events, *data.dates, state, options, write);
            return file.complete;
        },
        rt::NewFileMode::Usual, &error);
    if (!written) {
        out.error = QStringLiteral("%1 cannot be written: %2").arg(QDir::toNativeSeparators(request.target), error);
        return out;
    }
    out.events = file.events;
    out.notes << file.leftOut;
    if (!file.warning.isEmpty())
        out.notes << file.warning;
    if (const QString e = writeWhole(statePath, state.bytes()); !e.isEmpty())
        out.notes << QStringLiteral("The calendar file is written, but what it holds could not be kept for the "
                                    "next export (%1): its entries will not show as changed.")
                         .arg(e);
    return out;
}

QString workingDataFolder(QString *error)
{
    if (!QFileInfo(gs_ini_file_name).isFile()) {
        *error = QStringLiteral("The ini file %1 is not in %2.")
                     .arg(gs_ini_file_name, QDir::toNativeSeparators(QDir::currentPath()));
        return {};
    }
    if (const rt::ProfileCheck check = rt::CheckProfileFile(gs_ini_file_name); !check.unreadable.isEmpty()) {
        *error = QStringLiteral("The ini file %1 cannot be read: %2.").arg(gs_ini_file_name, check.unreadable);
        return {};
    }
    const QString files = rt::ProfileString(gs_ini_file_name, QStringLiteral("General"), QStringLiteral("Files"),
                                            QStringLiteral("GETDIR"));
    QString folder = datafiles::dataFolderAtStart(files);
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    return folder;
}

int commandFailed(const QString &why)
{
    std::fprintf(stderr, "vantel: %s\n", qUtf8Printable(why));
    return 1;
}

int runExportCommand(const QString &target, ExportFormat format)
{
    QString error;
    ExportRequest request;
    request.dataFolder = workingDataFolder(&error);
    if (!error.isEmpty())
        return commandFailed(error);
    request.target = target;
    request.format = format;
    const ExportOutcome outcome = exportSavedData(request);
    if (!outcome.ok())
        return commandFailed(outcome.error);
    if (outcome.unsavedInFolder)
        std::fprintf(stderr, "vantel: %s\n",
                     qUtf8Printable(QStringLiteral("There are unsaved changes in %1; the export holds the data as "
                                                   "last saved, without them.")
                                        .arg(QDir::toNativeSeparators(request.dataFolder))));
    for (const QString &note : outcome.notes)
        std::fprintf(stderr, "vantel: %s\n", qUtf8Printable(note));
    return 0;
}

} // namespace interop
