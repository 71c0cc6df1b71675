// The event data as last saved in a data folder, read for an export
// without the window: the three data files as they are on disk (nothing is
// written, nothing put back), and whether the folder's journal holds
// changes that are not saved yet.
#pragma once

#include "recordset.h"

#include <QString>
#include <QStringList>

#include <memory>

namespace interop {

struct SavedData {
    std::unique_ptr<RecordSet> admin, events, dates;
    QString error;        // nothing could be read: why (the record sets are then null)
    QStringList problems; // lines of the files that could not be read; the rest was
    bool unsaved = false; // the journal holds changes the files do not
    bool ok() const { return error.isEmpty(); }
};

// Reads the files of `folder` (ending in "/") named as the program names
// them. A missing events file is an error; missing admin or date files
// count as empty. So is a save of the folder that was interrupted and not
// yet put back, since the files are then no set.
SavedData readSavedData(const QString &folder);

} // namespace interop
