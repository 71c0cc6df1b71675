// The folders of a benchmark run: the generated master copies, the work
// folders the program runs in, and the checks that tell whether a
// measured run did what it was measured for and touched nothing else.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <map>

extern const QStringList kDataFiles; // admin, events, dates

qint64 folderBytes(const QString &dir);

// Size, mode, modification time and SHA-1 of each data file of `dir`:
// equal fingerprints mean that nobody wrote there.
using Fingerprint = std::map<QString, QByteArray>;
Fingerprint fingerprint(const QString &dir);

// `admin` (the bytes of an admin file) naming `folder` as its data folder.
QByteArray adminNaming(const QByteArray &admin, const QString &folder);

// A working folder for one start of the program: `work`/vantel.ini naming
// `work` and `work`/Files/, which receives the events and dates files of
// `master` and its admin record naming `work`/Files/ (so that the program
// works there and not in the master copy). Whatever `work` held before goes.
// Answers the data folder, empty when it cannot be made.
QString prepareWorkFolder(const QString &master, const QString &work, QString *why);

// True when `path` resolves (links followed) to `root` or below it.
bool resolvesInside(const QString &path, const QString &root);

// vantel.ini of `work` still names folders inside `work`.
bool settingsStayInside(const QString &work, QString *why);

// The files saved in `saved` after the session edited the name of event
// `row` to `name`: the admin record of `reference` naming `saved`, the
// events of `reference` with only that name (and the row's focused-column
// field) changed, its date lines unchanged; byte for byte.
bool savedAsEdited(const QString &reference, const QString &saved, long row, const QByteArray &name, QString *why);

// `archive` passes unzip's test and holds exactly the data files of `dir`,
// in order, with their lengths and CRCs.
bool archiveHolds(const QString &archive, const QString &dir, QString *why);

// The event_id of event `row` (from 1) of the events file of `dir`.
QByteArray eventIdOfRow(const QString &dir, long row);
