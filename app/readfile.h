// Reading a whole file into memory without trusting what lies at the path:
// only a regular file is read (a pipe, a device or a folder is refused
// without blocking), the size may be limited, and a file that changes while
// it is being read is reported instead of being half read.
#pragma once

#include "mappedfile.h"

#include <QByteArray>
#include <QString>

namespace rt {

enum class ReadStatus {
    Read,    // `bytes` holds the whole file
    Missing, // nothing is there (or a folder on the way is missing)
    Failed,  // something is there but could not be read; `reason` says why
};

// Reads `path` into `bytes` with one read loop. `maxSize` < 0 means no limit.
ReadStatus ReadWholeFile(const QString &path, qint64 maxSize, QByteArray &bytes, QString *reason = nullptr);

// Reads `path` as ReadWholeFile does, without limit, but maps it into
// memory instead where it can be held so (see MapUnderLease): no copy is
// made, and nothing that happens to the file later changes the bytes.
ReadStatus MapWholeFile(const QString &path, HeldBytes &bytes, QString *reason = nullptr);

// Why an existing path cannot be read as a regular file; empty when it can
// (or when nothing is there).
QString UnreadableReason(const QString &path);

// Keeps `bytes` (what was read from `path`) as "<path>.bak-<date>-<time>",
// readable by its owner only; answers the backup's path, or an empty
// string when it could not be written.
QString KeepBackup(const QString &path, const QByteArray &bytes);

// Whether anything is at `path` (a file, a folder, ...); false for an empty
// path.
bool FileExists(const QString &path);

namespace readfile_testing {
// Called once the file is open and measured, before its bytes are read.
extern void (*afterOpen)(int fd);
} // namespace readfile_testing

} // namespace rt
