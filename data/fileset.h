// Replacing a set of files that belong together, so that whoever reads them
// next finds either the whole old set or the whole new set, whatever point
// a save is stopped at (a failure, a kill, a power loss).
//
// Each new file is first written to a temporary file beside its target
// (".<name>.new-XXXXXX") and flushed. Then a record of the save
// (".vantel-save", in the folder of the first file; see saverecord.h) lists
// for every file its name, its new temporary file and the name its old
// version is moved aside to (".<name>.old-XXXXXX"). Only then are the old
// files moved aside and the new ones moved in, one file after the other.
// Deleting the record is the moment the new set counts as saved; the old
// versions are removed after it. Whoever finds a record (the next save or
// the next read of a file of the set) puts every old version back and
// removes the new files: the set as last saved returns. Temporary files that
// an interrupted save left behind are removed at the same time. A record
// that cannot be used (damaged, unreadable, or made for another folder) is
// left with every file it guards, and no save replaces anything in its
// folder until it is gone.
//
// A target that is a symbolic link is saved through the link: the new file
// is written in the folder of the file the link points to and replaces that
// file; the link stays as it is.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

#include <functional>
#include <sys/types.h>
#include <utility>
#include <vector>

namespace fileset {

struct RecordEntry; // saverecord.h

class Save {
public:
    explicit Save(QString *error = nullptr);
    ~Save(); // removes the temporary files of a save that was not committed
    Save(const Save &) = delete;
    Save &operator=(const Save &) = delete;

    // Writes `content` to a temporary file beside the file `path` names
    // (through links) and starts its way to the disk; commit() waits until
    // every new file is there before anything is moved. The new file keeps the old file's mode, owner and
    // group; where there was no file, `ownerOnly` gives it mode 0600. false,
    // with the error set, when the file cannot be written, when an existing
    // file at `path` cannot be read (a file whose content was never seen is
    // never replaced), or when an interrupted save of the folder cannot be
    // undone.
    bool add(const QString &path, const QByteArray &content, bool ownerOnly);
    // The same for content written piece by piece: `write` writes it all to
    // the file descriptor it is given; false, with errno set, when it cannot.
    bool add(const QString &path, const std::function<bool(int fd)> &write, bool ownerOnly);

    // Replaces the files. 1: all replaced (the error, when set, is a
    // warning: the folder could not be synced, so a power cut now might
    // still lose the save). -1: none replaced, every file is as it was. -2:
    // the replacement failed and not every old file could be put back; the
    // record stays so that the next read or save puts them back. The error
    // names the file and the reason. `beforeReplace`, when given, is called
    // once the record is written, before anything is moved: with the new
    // files, which keep their identity (device, inode) as they move in.
    int commit(const std::function<void(const QList<QByteArray> &newFiles)> &beforeReplace = {});

private:
    bool fail(const QString &path, int err);
    void closeUnsynced();
    QString *error_;
    std::vector<RecordEntry> entries_;
    // The new files whose way to the disk add() started, open until
    // commit() has waited for them: each with the path add() was given.
    std::vector<std::pair<int, QString>> unsynced_;
    QByteArray recordFolder_;
    bool committed_ = false;
};

// Completes an interrupted save whose record lies in the folder of `path`
// (putting the files as last saved back), and removes temporary files of
// interrupted saves of the file `path` names. Called before a file of a
// set is read or saved. Answers why a record that is there could not be
// used (damaged, unreadable, made for another folder, or its files could
// not be put back); empty when none stands in the way.
QString recover(const QString &path);

// Whether the record of an interrupted save still lies in the folder of
// `path` (recover() could not put the files back, or did not try).
bool interrupted(const QString &path);

// What the user is told about an interrupted save in the folder of `path`
// that recover() could not undo (`problem` is its answer): why, what is
// kept, and how to resolve it. A save there is refused with this text.
QString blockedMessage(const QString &path, const QString &problem);

namespace testing {
// Called before every step that changes a folder ("temp", "flush", "record",
// "aside", "replace", "sync", "commit", "durable", "cleanup",
// "rollback"); a nonzero answer makes the step fail with that error number.
extern int (*step)(const char *what);
} // namespace testing

} // namespace fileset
