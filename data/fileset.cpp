#include "fileset.h"

#include "readfile.h"

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

namespace testing {
int (*step)(const char *what) = nullptr;
}

namespace {

constexpr char kRecordName[] = ".vantel-save";
constexpr char kRecordHeading[] = "vantel-save 1";

// Runs the test seam before a step; false (with errno set) when it makes
// the step fail.
bool at(const char *what)
{
    if (testing::step) {
        if (const int err = testing::step(what)) {
            errno = err;
            return false;
        }
    }
    return true;
}

QString errText(int err)
{
    return QString::fromLocal8Bit(std::strerror(err));
}

QString display(const QByteArray &path)
{
    return QFile::decodeName(path);
}

QByteArray folderOf(const QByteArray &path)
{
    const qsizetype slash = path.lastIndexOf('/');
    if (slash < 0)
        return ".";
    return slash == 0 ? QByteArray("/") : path.left(slash);
}

QByteArray nameOf(const QByteArray &path)
{
    return path.mid(path.lastIndexOf('/') + 1);
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

mode_t defaultMode()
{
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

// Makes the names in `folder` (renames, removals) durable.
bool syncFolder(const QByteArray &folder)
{
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool ok = ::fsync(fd) == 0 || errno == EINVAL; // some file systems cannot sync folders
    ::close(fd);
    return ok;
}

} // namespace

bool writeAll(int fd, QByteArrayView content)
{
    const char *p = content.data();
    qsizetype left = content.size();
    while (left > 0) {
        const ssize_t w = ::write(fd, p, size_t(left));
        if (w < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        p += w;
        left -= w;
    }
    return true;
}

namespace {

struct RecordEntry {
    QByteArray target, temp, old;
};

// Writes the record of a save in `folder` through a temporary file, so
// that the record is either whole or absent.
bool writeRecord(const QByteArray &folder, const std::vector<RecordEntry> &entries, QString *error)
{
    QByteArray text = QByteArray(kRecordHeading) + '\n';
    for (const RecordEntry &e : entries)
        text += e.target.toPercentEncoding() + '\t' + e.temp.toPercentEncoding() + '\t' + e.old.toPercentEncoding()
                + '\n';
    QByteArray temp = folder + '/' + kRecordName + ".XXXXXX";
    const QByteArray record = folder + '/' + kRecordName;
    int fd = -1;
    if (at("record"))
        fd = ::mkstemp(temp.data());
    if (fd < 0) {
        if (error)
            *error = QStringLiteral("%1: %2").arg(display(record), errText(errno));
        return false;
    }
    bool ok = writeAll(fd, text) && ::fsync(fd) == 0;
    int err = errno;
    if (::close(fd) != 0 && ok) {
        ok = false;
        err = errno;
    }
    if (ok && ::rename(temp.constData(), record.constData()) != 0) {
        ok = false;
        err = errno;
    }
    if (ok && !syncFolder(folder)) {
        ok = false;
        err = errno;
        ::unlink(record.constData());
    }
    if (!ok) {
        ::unlink(temp.constData());
        if (error)
            *error = QStringLiteral("%1: %2").arg(display(record), errText(err));
    }
    return ok;
}

enum class Record { None, Read, Damaged };

Record readRecord(const QByteArray &folder, std::vector<RecordEntry> &entries)
{
    QByteArray text;
    const QByteArray record = folder + '/' + kRecordName;
    switch (rt::ReadWholeFile(QFile::decodeName(record), 1 << 20, text)) {
    case rt::ReadStatus::Missing: return Record::None;
    case rt::ReadStatus::Failed: return Record::Damaged;
    case rt::ReadStatus::Read: break;
    }
    const QList<QByteArray> lines = text.split('\n');
    if (lines.size() < 2 || lines.front() != kRecordHeading || !lines.back().isEmpty())
        return Record::Damaged;
    for (qsizetype i = 1; i + 1 < lines.size(); ++i) {
        const QList<QByteArray> f = lines[i].split('\t');
        if (f.size() != 3)
            return Record::Damaged;
        RecordEntry e{QByteArray::fromPercentEncoding(f[0]), QByteArray::fromPercentEncoding(f[1]),
                      QByteArray::fromPercentEncoding(f[2])};
        if (e.target.isEmpty() || e.temp.isEmpty())
            return Record::Damaged;
        entries.push_back(std::move(e));
    }
    return Record::Read;
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
        if (std::find(folders.begin(), folders.end(), folderOf(e.target)) == folders.end())
            folders.push_back(folderOf(e.target));
    for (const QByteArray &f : folders)
        ok = syncFolder(f) && ok;
    if (ok) {
        at("rollback");
        ::unlink((folder + '/' + kRecordName).constData());
        syncFolder(folder);
    }
    return ok;
}

bool isRandomSuffix(const QByteArray &s)
{
    if (s.size() != 6)
        return false;
    for (char c : s)
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')))
            return false;
    return true;
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
    return isRandomSuffix(rest);
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
            || (records && entry.startsWith(recordTemp) && isRandomSuffix(entry.mid(recordTemp.size()))))
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

QByteArray resolveLinks(const QByteArray &path)
{
    QByteArray p = path;
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st;
        if (::lstat(p.constData(), &st) != 0 || !S_ISLNK(st.st_mode))
            return p;
        char buf[PATH_MAX];
        const ssize_t n = ::readlink(p.constData(), buf, sizeof buf);
        if (n <= 0 || size_t(n) >= sizeof buf)
            return p;
        QByteArray next(buf, n);
        if (!next.startsWith('/'))
            next = folderOf(p) + '/' + next;
        p = next;
    }
    return p;
}

void recover(const QString &path)
{
    const QByteArray abs = absolute(path);
    const QByteArray folder = folderOf(abs);
    std::vector<RecordEntry> entries;
    switch (readRecord(folder, entries)) {
    case Record::Damaged: return; // nothing is touched that is not understood
    case Record::Read:
        if (!rollBack(folder, entries, nullptr))
            return;
        break;
    case Record::None: break;
    }
    removeLeftovers(folder, nameOf(abs), true);
    const QByteArray target = resolveLinks(abs);
    if (target != abs)
        removeLeftovers(folderOf(target), nameOf(target), false);
}

bool interrupted(const QString &path)
{
    return present(folderOf(absolute(path)) + '/' + kRecordName);
}

// ---- Save -------------------------------------------------------------------------------

Save::Save(QString *error) : error_(error) {}

Save::~Save()
{
    if (!committed_)
        for (const Entry &e : entries_)
            ::unlink(e.temp.constData());
}

bool Save::fail(const QString &path, int err)
{
    if (error_)
        *error_ = QStringLiteral("%1: %2").arg(path, errText(err));
    return false;
}

bool Save::add(const QString &path, const QByteArray &content, bool ownerOnly)
{
    return add(path, [&content](int fd) { return writeAll(fd, content); }, ownerOnly);
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
        recordFolder_ = folderOf(abs);
    recover(path);
    if (const QString why = rt::UnreadableReason(path); !why.isEmpty()) {
        if (error_)
            *error_ = QStringLiteral("%1 cannot be read (%2), so it is not replaced").arg(path, why);
        return false;
    }
    const QByteArray target = resolveLinks(abs);
    struct stat st;
    const bool hadOld = ::stat(target.constData(), &st) == 0;
    const mode_t mode = ownerOnly ? 0600 : hadOld ? (st.st_mode & 07777) : defaultMode();

    QByteArray temp = folderOf(target) + "/." + nameOf(target) + ".new-XXXXXX";
    const int fd = at("temp") ? ::mkstemp(temp.data()) : -1;
    if (fd < 0)
        return fail(path, errno);
    bool ok = ::fchmod(fd, mode) == 0 && write(fd) && ::fsync(fd) == 0;
    int err = errno;
    if (::close(fd) != 0 && ok) {
        ok = false;
        err = errno;
    }
    if (!ok) {
        ::unlink(temp.constData());
        return fail(path, err);
    }
    Entry e{target, temp, QByteArray()};
    if (hadOld) {
        e.old = folderOf(target) + "/." + nameOf(target) + ".old-" + temp.right(6);
        ::unlink(e.old.constData()); // a leftover that happens to have the same name
    }
    entries_.push_back(std::move(e));
    return true;
}

int Save::commit()
{
    committed_ = true; // from here on the temporary files are looked after below
    std::vector<RecordEntry> record;
    for (const Entry &e : entries_)
        record.push_back(RecordEntry{e.target, e.temp, e.old});
    if (entries_.empty())
        return 1;
    if (!writeRecord(recordFolder_, record, error_)) {
        for (const Entry &e : entries_)
            ::unlink(e.temp.constData());
        return -1;
    }

    bool ok = true;
    for (const Entry &e : entries_) {
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
        for (const Entry &e : entries_) {
            if (!at("sync") || !syncFolder(folderOf(e.target))) {
                ok = fail(display(folderOf(e.target)), errno);
                break;
            }
        }
    }
    if (!ok) {
        QString why;
        if (rollBack(recordFolder_, record, &why))
            return -1;
        if (error_)
            *error_ += QStringLiteral("; ") + why;
        return -2;
    }

    // The new set is saved once the record is gone.
    if (!at("commit") || ::unlink((recordFolder_ + '/' + kRecordName).constData()) != 0 || !syncFolder(recordFolder_)) {
        const int err = errno;
        QString why;
        if (rollBack(recordFolder_, record, &why)) {
            fail(display(recordFolder_ + '/' + kRecordName), err);
            return -1;
        }
        if (error_)
            *error_ = display(recordFolder_ + '/' + kRecordName) + QStringLiteral(": ") + errText(err)
                      + QStringLiteral("; ") + why;
        return -2;
    }
    for (const Entry &e : entries_)
        if (!e.old.isEmpty() && at("cleanup"))
            ::unlink(e.old.constData());
    return 1;
}

} // namespace fileset
