// Replacing a set of files that belong together, so that whoever reads them
// next finds either the whole old set or the whole new set, whatever point
// a save is stopped at (a failure, a kill, a power loss).
//
// Each new file is first written to a temporary file beside its target
// (".<name>.new-XXXXXX") and flushed. Then a record of the save
// (".vantel-save", in the folder of the first file) lists for every file
// its target, its new temporary file and the name its old version is moved
// aside to (".<name>.old-XXXXXX"). Only then are the old files moved aside
// and the new ones moved in, one file after the other. Deleting the record
// is the moment the new set counts as saved; the old versions are removed
// after it. Whoever finds a record (the next save or the next read of a
// file of the set) puts every old version back and removes the new files:
// the set as last saved returns. Temporary files that an interrupted save
// left behind are removed at the same time.
//
// A target that is a symbolic link is saved through the link: the new file
// is written in the folder of the file the link points to and replaces that
// file; the link stays as it is.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <functional>
#include <sys/types.h>
#include <vector>

namespace fileset {

class Save {
public:
    explicit Save(QString *error = nullptr);
    ~Save(); // removes the temporary files of a save that was not committed
    Save(const Save &) = delete;
    Save &operator=(const Save &) = delete;

    // Writes `content` to a temporary file beside the file `path` names
    // (through links). `ownerOnly` gives the new file mode 0600, otherwise it
    // keeps the old file's mode. false, with the error set, when the file
    // cannot be written or when an existing file at `path` cannot be read:
    // a file whose content was never seen is never replaced.
    bool add(const QString &path, const QByteArray &content, bool ownerOnly);
    // The same for content written piece by piece: `write` writes it all to
    // the file descriptor it is given; false, with errno set, when it cannot.
    bool add(const QString &path, const std::function<bool(int fd)> &write, bool ownerOnly);

    // Replaces the files. 1: all replaced. -1: none replaced, every file is
    // as it was. -2: the replacement failed and not every old file could be
    // put back; the record stays so that the next read or save puts them
    // back. The error names the file and the reason.
    int commit();

private:
    struct Entry {
        QByteArray target;  // the file replaced (links resolved)
        QByteArray temp;    // its new content, until moved in
        QByteArray old;     // where the old file is kept meanwhile; empty when there was none
    };
    bool fail(const QString &path, int err);
    QString *error_;
    std::vector<Entry> entries_;
    QByteArray recordFolder_;
    bool committed_ = false;
};

// Writes all of `bytes` to `fd`; false, with errno set, when it cannot.
bool writeAll(int fd, QByteArrayView bytes);

// Completes an interrupted save whose record lies in the folder of `path`
// (putting the files as last saved back), and removes temporary files of
// interrupted saves of the file `path` names. Called before a file of a
// set is read or saved.
void recover(const QString &path);

// Whether the record of an interrupted save still lies in the folder of
// `path` (recover() could not put the files back, or did not try).
bool interrupted(const QString &path);

// The path a save of `path` replaces: `path` with its links followed.
QByteArray resolveLinks(const QByteArray &path);

namespace testing {
// Called before every step that changes a folder ("temp", "record",
// "aside", "replace", "sync", "commit", "cleanup", "rollback"); a nonzero
// answer makes the step fail with that error number.
extern int (*step)(const char *what);
} // namespace testing

} // namespace fileset
