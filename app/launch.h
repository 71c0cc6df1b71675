// How the program is launched: the per-user working folder used by the
// desktop menu entry, and the lock that keeps two instances off one data
// folder. The command line: commandline.h.
#pragma once

#include <QString>

namespace launch {

// Called first thing: large blocks (a data file's text, the lists of its
// rows and their passing copies) go back to the system as soon as they are
// freed, so that what was only needed while reading does not stay resident.
void settleAllocator();

// Called before the application object: Qt's own start looks into the
// runtime folder (for a sandbox's marker file) and warns on stderr when
// XDG_RUNTIME_DIR is unset, about a default folder that Vantel never uses.
// That one warning is not passed on; every other message is.
void quietRuntimeFolderWarning();

// $XDG_DATA_HOME/vantel/, by default ~/.local/share/vantel/, with a trailing "/".
QString userFolder();

// Makes the user folder the working folder. On the first start the folder is
// made and receives the shipped vantel.ini; a vantel.ini already there is
// left as it is. Answers false, with the reason in `error`, when the folder
// or its settings file cannot be made.
bool enterUserFolder(QString *error);

// The name the lock of `folder` goes by: its canonical path, also for a
// folder that does not exist yet (the part that exists is resolved).
QString lockKey(const QString &folder);

// Locks `folder` for the rest of the run (see folderlock.h). When another
// running instance holds it, tells the user which folder is taken, by whom
// and since when, and answers false; a lock left behind by an instance that
// is no longer running is taken over, one left by another computer only
// when the user agrees. A folder that cannot be locked (read-only) is opened
// without the lock, said on stderr. The working folder's missing "Files"
// folder is made first.
bool lockDataFolder(const QString &folder);

// The lock file that stands for `folder`: inside the folder itself.
QString lockFilePath(const QString &folder);

// Moves this run's lock to `folder` when the data folder in force changes:
// the old folder is released once the new one is held. When another
// instance holds `folder`, says so and answers false; the old lock stays.
bool moveLockTo(const QString &folder);

} // namespace launch
