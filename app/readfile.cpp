#include "readfile.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace rt {

namespace readfile_testing {
void (*afterOpen)(int fd) = nullptr;
}

namespace {

QString errnoText(int err)
{
    return QString::fromLocal8Bit(std::strerror(err));
}

QString sizeText(qint64 bytes)
{
    if (bytes >= 1024 * 1024 && bytes % (1024 * 1024) == 0)
        return QStringLiteral("%1 MiB").arg(bytes / (1024 * 1024));
    return QStringLiteral("%1 bytes").arg(bytes);
}

// Opens `path` for reading only when it is a regular file. -1 with `status`
// and `reason` set otherwise.
int openRegular(const QString &path, struct stat &st, ReadStatus &status, QString *reason)
{
    auto fail = [&](const QString &why) {
        status = ReadStatus::Failed;
        if (reason)
            *reason = why;
        return -1;
    };
    if (path.isEmpty()) {
        status = ReadStatus::Missing;
        return -1;
    }
    // Non-blocking, so that opening a pipe with no writer does not wait.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        if (errno == ENOENT || errno == ENOTDIR) {
            status = ReadStatus::Missing;
            return -1;
        }
        return fail(errnoText(errno));
    }
    if (::fstat(fd, &st) != 0) {
        const int err = errno;
        ::close(fd);
        return fail(errnoText(err));
    }
    if (!S_ISREG(st.st_mode)) {
        ::close(fd);
        return fail(S_ISDIR(st.st_mode) ? QStringLiteral("it is a folder, not a file")
                                        : QStringLiteral("it is not a regular file (a pipe, device or socket)"));
    }
    // A regular file never blocks, but later reads should not see EAGAIN.
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

// A large fresh buffer is filled page by page by the kernel; asking for
// huge pages spares most of the page faults (several times faster than
// small pages).
void adviseLargeBuffer(QByteArray &buffer)
{
    constexpr quintptr kHuge = 2 * 1024 * 1024;
    if (buffer.size() < qsizetype(2 * kHuge))
        return;
    const quintptr begin = (reinterpret_cast<quintptr>(buffer.data()) + kHuge - 1) & ~(kHuge - 1);
    const quintptr end = (reinterpret_cast<quintptr>(buffer.data()) + quintptr(buffer.size())) & ~(kHuge - 1);
    if (end > begin)
        ::madvise(reinterpret_cast<void *>(begin), end - begin, MADV_HUGEPAGE);
}

QString changedText()
{
    return QStringLiteral("it changed while it was being read (another program is writing it)");
}

// Whether the file open at `fd` is no longer as `st` measured it.
bool changedSince(int fd, const struct stat &st)
{
    struct stat now;
    return ::fstat(fd, &now) != 0 || now.st_size != st.st_size || now.st_mtim.tv_sec != st.st_mtim.tv_sec
           || now.st_mtim.tv_nsec != st.st_mtim.tv_nsec;
}

// Reads the file open at `fd`, measured as `st`, into `bytes`; closes it.
ReadStatus readOpened(int fd, const struct stat &st, qint64 maxSize, QByteArray &bytes, QString *reason)
{
    auto fail = [&](const QString &why) {
        ::close(fd);
        bytes.clear();
        if (reason)
            *reason = why;
        return ReadStatus::Failed;
    };
    // One buffer of the measured size and one spare byte, so that a file
    // that grew is noticed without a second pass.
    qint64 capacity = qint64(st.st_size) + 1;
    bytes = QByteArray(qsizetype(capacity), Qt::Uninitialized);
    adviseLargeBuffer(bytes);
    qint64 total = 0;
    for (;;) {
        if (total == capacity) {
            if (maxSize >= 0 && total > maxSize)
                return fail(QStringLiteral("it is larger than %1").arg(sizeText(maxSize)));
            capacity = capacity * 2;
            bytes.resize(qsizetype(capacity));
        }
        const ssize_t got = ::read(fd, bytes.data() + total, size_t(capacity - total));
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return fail(errnoText(errno));
        }
        if (got == 0)
            break;
        total += got;
    }
    if (maxSize >= 0 && total > maxSize)
        return fail(QStringLiteral("it is larger than %1").arg(sizeText(maxSize)));
    if (total != qint64(st.st_size) || changedSince(fd, st))
        return fail(changedText());
    ::close(fd);
    bytes.truncate(qsizetype(total));
    return ReadStatus::Read;
}

} // namespace

ReadStatus ReadWholeFile(const QString &path, qint64 maxSize, QByteArray &bytes, QString *reason)
{
    bytes.clear();
    struct stat st;
    ReadStatus status = ReadStatus::Read;
    const int fd = openRegular(path, st, status, reason);
    if (fd < 0)
        return status;
    if (maxSize >= 0 && st.st_size > maxSize) {
        ::close(fd);
        if (reason)
            *reason = QStringLiteral("it is larger than %1").arg(sizeText(maxSize));
        return ReadStatus::Failed;
    }
    if (readfile_testing::afterOpen)
        readfile_testing::afterOpen(fd);
    return readOpened(fd, st, maxSize, bytes, reason);
}

ReadStatus MapWholeFile(const QString &path, HeldBytes &bytes, QString *reason)
{
    bytes = HeldBytes();
    struct stat st;
    ReadStatus status = ReadStatus::Read;
    const int fd = openRegular(path, st, status, reason);
    if (fd < 0)
        return status;
    if (readfile_testing::afterOpen)
        readfile_testing::afterOpen(fd);
    HeldBytes mapped;
    if (MapUnderLease(fd, st.st_size, mapped)) {
        // Under the lease nobody changes the file any more; it may have
        // changed before.
        const bool changed = changedSince(fd, st);
        ::close(fd);
        if (changed) {
            if (reason)
                *reason = changedText();
            return ReadStatus::Failed;
        }
        bytes = std::move(mapped);
        return ReadStatus::Read;
    }
    QByteArray read;
    status = readOpened(fd, st, -1, read, reason);
    if (status == ReadStatus::Read)
        bytes = HeldBytes(read);
    return status;
}

QString UnreadableReason(const QString &path)
{
    struct stat st;
    ReadStatus status = ReadStatus::Read;
    QString reason;
    const int fd = openRegular(path, st, status, &reason);
    if (fd >= 0)
        ::close(fd);
    return status == ReadStatus::Failed ? reason : QString();
}

QString KeepBackup(const QString &path, const QByteArray &bytes)
{
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-hhmmss"));
    for (int k = 0; k < 1000; ++k) {
        const QString backup = path + QStringLiteral(".bak-") + stamp + (k ? QStringLiteral("-%1").arg(k) : QString());
        const QByteArray name = QFile::encodeName(backup);
        const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd < 0) {
            if (errno == EEXIST)
                continue;
            return QString();
        }
        const char *p = bytes.constData();
        qsizetype left = bytes.size();
        bool ok = true;
        while (ok && left > 0) {
            const ssize_t w = ::write(fd, p, size_t(left));
            if (w < 0 && errno == EINTR)
                continue;
            ok = w > 0;
            if (ok) {
                p += w;
                left -= w;
            }
        }
        ok = ::fsync(fd) == 0 && ok;
        ok = ::close(fd) == 0 && ok;
        if (!ok) {
            ::unlink(name.constData());
            return QString();
        }
        return backup;
    }
    return QString();
}

bool FileExists(const QString &path)
{
    return !path.isEmpty() && QFileInfo::exists(path);
}

} // namespace rt
