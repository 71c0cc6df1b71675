#include "fileset.h"

#include "readfile.h"
#include "replacefile.h"
#include "saverecord.h"

#include <QFile>
#include <QFileInfo>
#include <QList>

#include <cerrno>
#include <climits>
#include <cstring>
#include <dirent.h>
#include <algorithm>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fileset {

namespace {

QString errText(int err)
{
    return QString::fromLocal8Bit(std::strerror(err));
}

QString display(const QByteArray &path)
{
    return QFile::decodeName(path);
}

QByteArray absolute(const QString &path)
{
    return QFile::encodeName(QFileInfo(path).absoluteFilePath());
}

bool present(const QByteArray &path)
{
    struct stat st;
    return ::lstat(path.constData(), &st) == 0;
}

// Puts every old file of a recorded save back and removes its new files;
// then the record goes. false when a file could not be put back (the
// record then stays for the next attempt).
bool rollBack(const QByteArray &folder, const std::vector<RecordEntry> &entries, QString *error)
{
    bool ok = true;
    for (const RecordEntry &e : entries) {
        if (!e.old.isEmpty()) {
            // Moved aside: it goes back over whatever took its place.
            if (present(e.old) && (!at("rollback") || ::rename(e.old.constData(), e.target.constData()) != 0)) {
                if (ok && error)
                    *error = QStringLiteral("%1 could not be put back (%2); it is kept as %3")
                                 .arg(display(e.target), errText(errno), display(e.old));
                ok = false;
            }
        } else if (!present(e.temp) && present(e.target)) {
            // There was no old file and the new one was moved in: it goes.
            if (!at("rollback") || ::unlink(e.target.constData()) != 0) {
                if (ok && error)
                    *error = QStringLiteral("%1 could not be removed (%2)").arg(display(e.target), errText(errno));
                ok = false;
            }
        }
        ::unlink(e.temp.constData());
    }
    std::vector<QByteArray> folders;
    for (const RecordEntry &e : entries)
        if (std::find(folders.begin(), folders.end(), rt::FolderOf(e.target)) == folders.end())
            folders.push_back(rt::FolderOf(e.target));
    for (const QByteArray &f : folders)
        ok = rt::SyncFolder(f) && ok;
    if (ok) {
        at("rollback");
        ::unlink((folder + '/' + kRecordName).constData());
        rt::SyncFolder(folder);
    }
    return ok;
}

// Whether `entry` is a temporary file that a save of the file `name` makes
// (or made in earlier versions: ".<name>.XXXXXX" and "<name>.previous").
bool isLeftoverOf(const QByteArray &entry, const QByteArray &name)
{
    if (entry == name + ".previous")
        return true;
    const QByteArray stem = '.' + name + '.';
    if (!entry.startsWith(stem))
        return false;
    QByteArray rest = entry.mid(stem.size());
    if (rest.startsWith("new-") || rest.startsWith("old-"))
        rest = rest.mid(4);
    return rt::IsRandomSuffix(rest);
}

void removeLeftovers(const QByteArray &folder, const QByteArray &name, bool records)
{
    DIR *dir = ::opendir(folder.constData());
    if (!dir)
        return;
    std::vector<QByteArray> doomed;
    while (const dirent *d = ::readdir(dir)) {
        const QByteArray entry(d->d_name);
        const QByteArray recordTemp = QByteArray(kRecordName) + '.';
        if (isLeftoverOf(entry, name)
            || (records && entry.startsWith(recordTemp) && rt::IsRandomSuffix(entry.mid(recordTemp.size()))))
            doomed.push_back(folder + '/' + entry);
    }
    ::closedir(dir);
    for (const QByteArray &path : doomed) {
        struct stat st;
        if (::lstat(path.constData(), &st) == 0 && S_ISREG(st.st_mode) && at("cleanup"))
            ::unlink(path.constData());
    }
}

} // namespace

QString recover(const QString &path)
{
    const QByteArray abs = absolute(path);
    const QByteArray folder = rt::FolderOf(abs);
    const Record record = readRecord(folder);
    switch (record.state) {
    case Record::State::Unusable: return record.problem; // nothing is touched that is not understood
    case Record::State::Read: {
        QString why;
        if (!rollBack(folder, record.entries, &why))
            return why;
        break;
    }
    case Record::State::None: break;
    }
    removeLeftovers(folder, rt::NameOf(abs), true);
    const QByteArray target = rt::ResolveLinks(abs);
    if (target != abs)
        removeLeftovers(rt::FolderOf(target), rt::NameOf(target), false);
    return QString();
}

bool interrupted(const QString &path)
{
    return present(rt::FolderOf(absolute(path)) + '/' + kRecordName);
}

QString blockedMessage(const QString &path, const QString &problem)
{
    const QByteArray folder = rt::FolderOf(absolute(path));
    return QStringLiteral("An earlier save in %1 was interrupted, and the files as last saved cannot be put back "
                          "from its record %2%3.\r\n"
                          "Every file is kept as it is, and Vantel saves nothing in this folder until this is "
                          "resolved. To resolve it, close Vantel; where a file named .<data file>.old-XXXXXX lies in "
                          "the folder, it holds that data file as last saved: rename it back to the data file's name. "
                          "Then delete %2 and the files whose names end in .new-XXXXXX.")
        .arg(display(folder), QString::fromLatin1(kRecordName),
             problem.isEmpty() ? QString() : QStringLiteral(": ") + problem);
}

// ---- Save -------------------------------------------------------------------------------

Save::Save(QString *error) : error_(error) {}

Save::~Save()
{
    closeUnsynced();
    if (!committed_)
        for (const RecordEntry &e : entries_)
            ::unlink(e.temp.constData());
}

void Save::closeUnsynced()
{
    for (const auto &[fd, path] : unsynced_)
        ::close(fd);
    unsynced_.clear();
}

bool Save::fail(const QString &path, int err)
{
    if (error_)
        *error_ = QStringLiteral("%1: %2").arg(path, errText(err));
    return false;
}

bool Save::add(const QString &path, const QByteArray &content, bool ownerOnly)
{
    return add(path, [&content](int fd) { return rt::WriteAll(fd, content); }, ownerOnly);
}

bool Save::add(const QString &path, const std::function<bool(int fd)> &write, bool ownerOnly)
{
    if (path.isEmpty()) {
        if (error_)
            *error_ = QStringLiteral("No file name given");
        return false;
    }
    const QByteArray abs = absolute(path);
    if (entries_.empty())
        recordFolder_ = rt::FolderOf(abs);
    // The files an interrupted save guards are never replaced before they
    // are back in place.
    if (const QString problem = recover(path); !problem.isEmpty() || interrupted(path)) {
        if (error_)
            *error_ = blockedMessage(path, problem);
        return false;
    }
    if (const QString why = rt::UnreadableReason(path); !why.isEmpty()) {
        if (error_)
            *error_ = QStringLiteral("%1 cannot be read (%2), so it is not replaced").arg(path, why);
        return false;
    }
    const QByteArray target = rt::ResolveLinks(abs);
    struct stat st;
    const bool hadOld = ::stat(target.constData(), &st) == 0;

    QByteArray temp = rt::FolderOf(target) + "/." + rt::NameOf(target) + ".new-XXXXXX";
    const int fd = at("temp") ? ::mkstemp(temp.data()) : -1;
    if (fd < 0) {
        const int err = errno;
        if (err == EROFS || err == EACCES || err == EPERM) {
            if (error_)
                *error_ = QStringLiteral("The folder %1 cannot be written (%2): nothing can be saved there")
                              .arg(display(rt::FolderOf(target)), errText(err));
            return false;
        }
        return fail(path, err);
    }
    const rt::NewFileMode mode = ownerOnly ? rt::NewFileMode::OwnerOnly : rt::NewFileMode::Usual;
    // The file's pages go to the disk while the next file is written; the
    // sync in commit() then mostly finds them there, and the files of a
    // set share the file system's commits instead of one each.
    const bool ok = rt::TakeOverMode(fd, hadOld ? &st : nullptr, mode) && write(fd)
                    && (::sync_file_range(fd, 0, 0, SYNC_FILE_RANGE_WRITE) == 0 || errno == ENOSYS
                        || errno == EINVAL || errno == ESPIPE);
    if (!ok) {
        const int err = errno;
        ::close(fd);
        ::unlink(temp.constData());
        return fail(path, err);
    }
    unsynced_.emplace_back(fd, path);
    RecordEntry e{abs, target, temp, QByteArray()};
    if (hadOld) {
        e.old = rt::FolderOf(target) + "/." + rt::NameOf(target) + ".old-" + temp.right(6);
        ::unlink(e.old.constData()); // a leftover that happens to have the same name
    }
    entries_.push_back(std::move(e));
    return true;
}

int Save::commit(const std::function<void(const QList<QByteArray> &newFiles)> &beforeReplace)
{
    committed_ = true; // from here on the temporary files are looked after below
    if (entries_.empty())
        return 1;
    // Every new file on the disk before the record names it.
    bool synced = true;
    for (const auto &[fd, path] : unsynced_) {
        if (synced && (!at("flush") || ::fsync(fd) != 0))
            synced = fail(path, errno);
        if (::close(fd) != 0 && synced)
            synced = fail(path, errno);
    }
    unsynced_.clear();
    if (!synced) {
        for (const RecordEntry &e : entries_)
            ::unlink(e.temp.constData());
        return -1;
    }
    if (!writeRecord(recordFolder_, entries_, error_)) {
        for (const RecordEntry &e : entries_)
            ::unlink(e.temp.constData());
        return -1;
    }
    if (beforeReplace) {
        QList<QByteArray> newFiles;
        for (const RecordEntry &e : entries_)
            newFiles << e.temp;
        beforeReplace(newFiles);
    }

    bool ok = true;
    for (const RecordEntry &e : entries_) {
        if (!e.old.isEmpty() && (!at("aside") || ::rename(e.target.constData(), e.old.constData()) != 0)) {
            ok = fail(display(e.target), errno);
            break;
        }
        if (!at("replace") || ::rename(e.temp.constData(), e.target.constData()) != 0) {
            ok = fail(display(e.target), errno);
            break;
        }
    }
    if (ok) {
        // Each folder once: a sync of a folder makes every rename in it last.
        std::vector<QByteArray> synced;
        for (const RecordEntry &e : entries_) {
            const QByteArray folder = rt::FolderOf(e.target);
            if (std::find(synced.begin(), synced.end(), folder) != synced.end())
                continue;
            if (!at("sync") || !rt::SyncFolder(folder)) {
                ok = fail(display(folder), errno);
                break;
            }
            synced.push_back(folder);
        }
    }
    if (!ok) {
        QString why;
        if (rollBack(recordFolder_, entries_, &why))
            return -1;
        if (error_)
            *error_ += QStringLiteral("; ") + why;
        return -2;
    }

    // The new set is saved once the record is gone; from then on nothing
    // is put back, for no record would guide the next start.
    const QByteArray record = recordFolder_ + '/' + kRecordName;
    if ((!at("commit") || ::unlink(record.constData()) != 0) && present(record)) {
        const int err = errno;
        QString why;
        if (rollBack(recordFolder_, entries_, &why)) {
            fail(display(record), err);
            return -1;
        }
        if (error_)
            *error_ = display(record) + QStringLiteral(": ") + errText(err) + QStringLiteral("; ") + why;
        return -2;
    }
    if (!at("durable") || !rt::SyncFolder(recordFolder_)) {
        // The old versions stay until the next start: should the record
        // come back after a power cut, they are what it puts back.
        if (error_)
            *error_ = QStringLiteral("The data was saved, but the folder %1 could not be synced to the disk (%2): "
                                     "should the power fail now, the save may be lost")
                          .arg(display(recordFolder_), errText(errno));
        return 1;
    }
    for (const RecordEntry &e : entries_)
        if (!e.old.isEmpty() && at("cleanup"))
            ::unlink(e.old.constData());
    return 1;
}

} // namespace fileset
