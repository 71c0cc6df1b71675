#include "saverecord.h"

#include "fileset.h"
#include "readfile.h"
#include "replacefile.h"

#include <QDir>
#include <QFile>
#include <QList>

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fileset {

namespace testing {
int (*step)(const char *what) = nullptr;
}

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

namespace {

constexpr char kHeading[] = "vantel-save 2";
constexpr char kOldHeading[] = "vantel-save 1";

bool sameFolder(const QByteArray &a, const QByteArray &b)
{
    struct stat sa, sb;
    return ::stat(a.constData(), &sa) == 0 && ::stat(b.constData(), &sb) == 0 && sa.st_dev == sb.st_dev
           && sa.st_ino == sb.st_ino;
}

// Whether the file `target` of an old record belongs to `folder`: it lies
// there, or a link there leads to it.
bool belongsTo(const QByteArray &folder, const QByteArray &target)
{
    if (sameFolder(rt::FolderOf(target), folder))
        return true;
    DIR *dir = ::opendir(folder.constData());
    if (!dir)
        return false;
    bool found = false;
    while (const dirent *d = ::readdir(dir)) {
        const QByteArray path = folder + '/' + d->d_name;
        struct stat st;
        if (::lstat(path.constData(), &st) != 0 || !S_ISLNK(st.st_mode))
            continue;
        const QByteArray leadsTo = rt::ResolveLinks(path);
        if (rt::NameOf(leadsTo) == rt::NameOf(target) && sameFolder(rt::FolderOf(leadsTo), rt::FolderOf(target))) {
            found = true;
            break;
        }
    }
    ::closedir(dir);
    return found;
}

QByteArray relativeTo(const QByteArray &folder, const QByteArray &path)
{
    if (rt::FolderOf(path) == folder)
        return rt::NameOf(path);
    return QFile::encodeName(QDir(QFile::decodeName(folder)).relativeFilePath(QFile::decodeName(path)));
}

} // namespace

bool writeRecord(const QByteArray &folder, const std::vector<RecordEntry> &entries, QString *error)
{
    QByteArray text = QByteArray(kHeading) + '\n';
    for (const RecordEntry &e : entries)
        text += relativeTo(folder, e.given).toPercentEncoding() + '\t' + rt::NameOf(e.temp).toPercentEncoding()
                + '\t' + (e.old.isEmpty() ? QByteArray() : rt::NameOf(e.old).toPercentEncoding()) + '\n';
    QByteArray temp = folder + '/' + kRecordName + ".XXXXXX";
    const QByteArray record = folder + '/' + kRecordName;
    auto fail = [&](int err) {
        if (error)
            *error = QStringLiteral("%1: %2").arg(QFile::decodeName(record),
                                                  QString::fromLocal8Bit(std::strerror(err)));
        return false;
    };
    int fd = -1;
    if (at("record"))
        fd = ::mkstemp(temp.data());
    if (fd < 0)
        return fail(errno);
    bool ok = rt::WriteAll(fd, text) && ::fsync(fd) == 0;
    int err = errno;
    if (::close(fd) != 0 && ok) {
        ok = false;
        err = errno;
    }
    if (ok && ::rename(temp.constData(), record.constData()) != 0) {
        ok = false;
        err = errno;
    }
    if (ok && !rt::SyncFolder(folder)) {
        ok = false;
        err = errno;
        ::unlink(record.constData());
    }
    if (!ok) {
        ::unlink(temp.constData());
        return fail(err);
    }
    return true;
}

Record readRecord(const QByteArray &folder)
{
    Record r;
    QByteArray text;
    QString reason;
    switch (rt::ReadWholeFile(QFile::decodeName(folder + '/' + kRecordName), 1 << 20, text, &reason)) {
    case rt::ReadStatus::Missing: return r;
    case rt::ReadStatus::Failed:
        r.state = Record::State::Unusable;
        r.problem = QStringLiteral("it cannot be read (%1)").arg(reason);
        return r;
    case rt::ReadStatus::Read: break;
    }
    r.state = Record::State::Unusable;
    r.problem = QStringLiteral("it is damaged or incomplete");
    const QList<QByteArray> lines = text.split('\n');
    const bool relative = !lines.isEmpty() && lines.front() == kHeading;
    if (lines.size() < 2 || !(relative || lines.front() == kOldHeading) || !lines.back().isEmpty())
        return r;
    for (qsizetype i = 1; i + 1 < lines.size(); ++i) {
        const QList<QByteArray> f = lines[i].split('\t');
        if (f.size() != 3)
            return r;
        RecordEntry e;
        const QByteArray first = QByteArray::fromPercentEncoding(f[0]), temp = QByteArray::fromPercentEncoding(f[1]),
                         old = QByteArray::fromPercentEncoding(f[2]);
        if (first.isEmpty() || temp.isEmpty())
            return r;
        if (relative) {
            if (temp.contains('/') || old.contains('/'))
                return r;
            e.given = first.startsWith('/') ? first : folder + '/' + first;
            e.target = rt::ResolveLinks(e.given);
            e.temp = rt::FolderOf(e.target) + '/' + temp;
            e.old = old.isEmpty() ? QByteArray() : rt::FolderOf(e.target) + '/' + old;
        } else {
            e = RecordEntry{first, first, temp, old};
            if (!belongsTo(folder, e.target)) {
                r.problem = QStringLiteral("it was made by an earlier version of Vantel for the folder %1, not for "
                                           "this one (the folder has been moved or copied since)")
                                .arg(QFile::decodeName(rt::FolderOf(e.target)));
                return r;
            }
        }
        r.entries.push_back(std::move(e));
    }
    r.state = Record::State::Read;
    r.problem.clear();
    return r;
}

} // namespace fileset
