#include "exportcommand.h"

#include "icalexport.h"
#include "jsonld.h"
#include "profile.h"
#include "readfile.h"
#include "globals.h"
#include "savedfolder.h"
#include "startfolder.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

#include <cstdio>
#include <limits>

namespace interop {

namespace {

// Writes `bytes` to `path` whole or not at all; the reason when not.
QString writeWhole(const QString &path, const QByteArray &bytes)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return QStringLiteral("%1 cannot be written: %2.").arg(path, file.errorString());
    if (file.write(bytes) != bytes.size() || !file.commit())
        return QStringLiteral("%1 cannot be written: %2.").arg(path, file.errorString());
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
    if (data.unsaved)
        out.notes << QStringLiteral("There are unsaved changes in %1; the export holds the data as last saved, "
                                    "without them.")
                         .arg(QDir::toNativeSeparators(request.dataFolder));
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
    const CalendarFile file = writeCalendar(*data.events, *data.dates, state, options);
    if (const QString e = writeWhole(request.target, file.text); !e.isEmpty()) {
        out.error = e;
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

int runExportCommand(const QString &target, ExportFormat format)
{
    auto fail = [](const QString &why) {
        std::fprintf(stderr, "vantel: %s\n", qUtf8Printable(why));
        return 1;
    };
    if (!QFileInfo(gs_ini_file_name).isFile())
        return fail(QStringLiteral("The ini file %1 is not in %2.")
                        .arg(gs_ini_file_name, QDir::toNativeSeparators(QDir::currentPath())));
    if (const rt::ProfileCheck check = rt::CheckProfileFile(gs_ini_file_name); !check.unreadable.isEmpty())
        return fail(QStringLiteral("The ini file %1 cannot be read: %2.").arg(gs_ini_file_name, check.unreadable));
    const QString files = rt::ProfileString(gs_ini_file_name, QStringLiteral("General"), QStringLiteral("Files"),
                                            QStringLiteral("GETDIR"));
    ExportRequest request;
    request.dataFolder = datafiles::dataFolderAtStart(files);
    if (!request.dataFolder.endsWith(QLatin1Char('/')))
        request.dataFolder += QLatin1Char('/');
    request.target = target;
    request.format = format;
    const ExportOutcome outcome = exportSavedData(request);
    if (!outcome.ok())
        return fail(outcome.error);
    for (const QString &note : outcome.notes)
        std::fprintf(stderr, "vantel: %s\n", qUtf8Printable(note));
    return 0;
}

} // namespace interop
