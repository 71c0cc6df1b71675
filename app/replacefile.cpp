#include "replacefile.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#include <vector>

namespace rt {

namespace {

QString errText(int err)
{
    return QString::fromLocal8Bit(std::strerror(err));
}

// The process's umask, read without changing it (changing it, even for a
// moment, would touch files other threads create meanwhile).
mode_t currentUmask()
{
    if (FILE *f = std::fopen("/proc/self/status", "re")) {
        char line[256];
        unsigned mask = 0;
        bool found = false;
        while (!found && std::fgets(line, sizeof line, f))
            found = std::sscanf(line, "Umask: %o", &mask) == 1;
        std::fclose(f);
        if (found)
            return mode_t(mask);
    }
    const mode_t mask = ::umask(022);
    ::umask(mask);
    return mask;
}

bool failWith(QString *error, const QByteArray &path, int err)
{
    if (error)
        *error = QStringLiteral("%1: %2").arg(QFile::decodeName(path), errText(err));
    return false;
}

} // namespace

bool WriteAll(int fd, QByteArrayView content)
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

bool SyncFolder(const QByteArray &folder)
{
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool ok = ::fsync(fd) == 0 || errno == EINVAL; // some file systems cannot sync folders
    const int err = errno;
    ::close(fd);
    errno = err;
    return ok;
}

QByteArray FolderOf(const QByteArray &path)
{
    const qsizetype slash = path.lastIndexOf('/');
    if (slash < 0)
        return ".";
    return slash == 0 ? QByteArray("/") : path.left(slash);
}

QByteArray NameOf(const QByteArray &path)
{
    return path.mid(path.lastIndexOf('/') + 1);
}

QByteArray ResolveLinks(const QByteArray &path)
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
            next = FolderOf(p) + '/' + next;
        p = next;
    }
    return p;
}

bool IsRandomSuffix(QByteArrayView s)
{
    if (s.size() != 6)
        return false;
    for (char c : s)
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')))
            return false;
    return true;
}

bool TakeOverMode(int fd, const struct stat *old, NewFileMode mode)
{
    mode_t bits = 0600;
    if (old && mode != NewFileMode::AlwaysOwnerOnly)
        bits = old->st_mode & 07777;
    else if (!old && mode == NewFileMode::Usual)
        bits = 0666 & ~currentUmask();
    if (old && (old->st_uid != ::geteuid() || old->st_gid != ::getegid())) {
        // As the file was: a save by another user (root) must not take it
        // from its owner. Whoever may not give a file away keeps at least
        // its group where they belong to it.
        if (::fchown(fd, old->st_uid, old->st_gid) != 0) {
            [[maybe_unused]] const int groupKept = ::fchown(fd, uid_t(-1), old->st_gid);
        }
    }
    return ::fchmod(fd, bits) == 0;
}

bool ReplaceFile(const QString &path, QByteArrayView bytes, NewFileMode mode, QString *error)
{
    return ReplaceFileInPieces(
        path, [bytes](const PieceWriter &write) { return write(bytes); }, mode, error);
}

bool ReplaceFileInPieces(const QString &path, const std::function<bool(const PieceWriter &)> &produce,
                         NewFileMode mode, QString *error)
{
    if (error)
        error->clear();
    const QByteArray target = ResolveLinks(QFile::encodeName(path));
    struct stat old;
    const bool hadOld = ::stat(target.constData(), &old) == 0;
    QByteArray temp = target + ".XXXXXX";
    const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
    if (fd < 0)
        return failWith(error, target, errno);
    // Held while the file is written, so that a clean-up of leftovers by
    // another start leaves it alone.
    (void)::flock(fd, LOCK_EX | LOCK_NB);
    int writeErr = 0;
    const PieceWriter write = [fd, &writeErr](QByteArrayView piece) {
        if (writeErr == 0 && !WriteAll(fd, piece))
            writeErr = errno;
        return writeErr == 0;
    };
    bool ok = TakeOverMode(fd, hadOld ? &old : nullptr, mode);
    int err = errno;
    if (ok && !produce(write)) {
        ok = false;
        err = writeErr != 0 ? writeErr : ECANCELED;
    }
    if (ok && ::fdatasync(fd) != 0) {
        ok = false;
        err = errno;
    }
    if (::close(fd) != 0 && ok) {
        ok = false;
        err = errno;
    }
    if (ok && ::rename(temp.constData(), target.constData()) != 0) {
        ok = false;
        err = errno;
    }
    if (!ok) {
        ::unlink(temp.constData());
        return failWith(error, target, err);
    }
    if (!SyncFolder(FolderOf(target)) && error)
        *error = QStringLiteral("%1 was written, but its folder could not be synced to the disk: %2")
                     .arg(QFile::decodeName(target), errText(errno));
    return true;
}

void RemoveReplaceLeftovers(const QString &path)
{
    const QByteArray given = QFile::encodeName(path);
    const QByteArray target = ResolveLinks(given);
    const std::vector<QByteArray> files = target == given ? std::vector<QByteArray>{given}
                                                          : std::vector<QByteArray>{given, target};
    for (const QByteArray &file : files) {
        const QByteArray folder = FolderOf(file), stem = NameOf(file) + '.';
        DIR *dir = ::opendir(folder.constData());
        if (!dir)
            continue;
        std::vector<QByteArray> doomed;
        while (const dirent *d = ::readdir(dir)) {
            const QByteArrayView entry(d->d_name);
            // Six lower-case letters are taken for a word ("vantel.ini.backup"),
            // not for what a write left.
            const QByteArrayView suffix = entry.sliced(std::min(entry.size(), stem.size()));
            if (entry.startsWith(stem) && IsRandomSuffix(suffix)
                && std::any_of(suffix.begin(), suffix.end(), [](char c) { return c < 'a' || c > 'z'; }))
                doomed.push_back(folder + '/' + entry.toByteArray());
        }
        ::closedir(dir);
        for (const QByteArray &leftover : doomed) {
            const int fd = ::open(leftover.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
            if (fd < 0)
                continue;
            struct stat st;
            // A file that a running write holds is left; so is anything
            // that is not a plain file.
            if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)
                && (::flock(fd, LOCK_EX | LOCK_NB) == 0 || errno != EWOULDBLOCK))
                ::unlink(leftover.constData());
            ::close(fd);
        }
    }
}

} // namespace rt
