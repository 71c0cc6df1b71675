#include "savedfolder.h"

#include "datafiles.h"
#include "definition.h"
#include "fileset.h"
#include "globals.h"
#include "journal.h"
#include "readfile.h"
#include "recordset.h"

namespace interop {

namespace {

// Appends the rows of `path` to `rs`; false, with the reason in `error`,
// when the file is there and cannot be read, or is missing and `required`.
bool readInto(RecordSet &rs, const QString &path, bool required, SavedData &out)
{
    QByteArray bytes;
    QString reason;
    switch (rt::ReadWholeFile(path, std::numeric_limits<qint64>::max(), bytes, &reason)) {
    case rt::ReadStatus::Missing:
        if (required)
            out.error = QStringLiteral("%1 does not exist: there is no saved data to export.").arg(path);
        return !required;
    case rt::ReadStatus::Failed:
        out.error = QStringLiteral("%1 cannot be read: %2.").arg(path, reason);
        return false;
    case rt::ReadStatus::Read:
        break;
    }
    QStringList problems;
    datafiles::importBytes(rs, bytes, path, &problems);
    out.problems << problems;
    return true;
}

} // namespace

SavedData readSavedData(const QString &folder)
{
    SavedData out;
    const QString eventsPath = folder + gs_event_filename;
    if (fileset::interrupted(eventsPath)) {
        out.error = QStringLiteral("A save of the data in %1 was interrupted; start Vantel once to put the data "
                                   "as last saved back, then export.")
                        .arg(folder);
        return out;
    }
    auto admin = std::make_unique<RecordSet>(definition(QStringLiteral("d_admin")));
    auto events = std::make_unique<RecordSet>(definition(QStringLiteral("d_events")));
    auto dates = std::make_unique<RecordSet>(definition(QStringLiteral("d_event_dates")));
    if (!readInto(*events, eventsPath, true, out) || !readInto(*admin, folder + gs_admin_filename, false, out)
        || !readInto(*dates, folder + gs_event_dates_filename, false, out))
        return out;
    const UnsavedWork work = readJournal(folder, {admin->RowCount(), events->RowCount(), dates->RowCount()});
    out.unsaved = work.state == UnsavedWork::State::Found && (!work.changes.empty() || work.typing.has_value());
    out.admin = std::move(admin);
    out.events = std::move(events);
    out.dates = std::move(dates);
    return out;
}

} // namespace interop
