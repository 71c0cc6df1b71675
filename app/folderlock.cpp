#include "folderlock.h"


#include <QDateTime>
#include <QFile>
#include <QList>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace folderlock {

namespace {

constexpr char kFileName[] = ".vantel-lock";
constexpr char kHeading[] = "vantel-lock 1";

QByteArray readSmall(const char *path)
{
    QFile f(QString::fromLatin1(path));
    if (!f.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return {};
    return f.read(4096);
}

QString hostName()
{
    char name[256] = {};
    if (::gethostname(name, sizeof name - 1) != 0)
        return QStringLiteral("localhost");
    return QString::fromLocal8Bit(name);
}

// The start of process `pid` in clock ticks since boot; 0 when unknown.
qint64 processStart(qint64 pid)
{
    const QByteArray stat = readSmall(QByteArray("/proc/" + QByteArray::number(pid) + "/stat").constData());
    const qsizetype close = stat.lastIndexOf(')');
    if (close < 0)
        return 0;
    // After the name come the fields from the third on; the start is the 22nd.
    const QList<QByteArray> fields = stat.mid(close + 2).split(' ');
    return fields.size() > 19 ? fields[19].toLongLong() : 0;
}

const Holder &thisProcess()
{
    static const Holder me = [] {
        Holder h;
        const passwd *pw = ::getpwuid(::geteuid());
        h.user = pw ? QString::fromLocal8Bit(pw->pw_name) : QString::number(::geteuid());
        h.host = hostName();
        h.pid = ::getpid();
        h.boot = readSmall("/proc/sys/kernel/random/boot_id").trimmed();
        h.started = processStart(h.pid);
        return h;
    }();
    return me;
}

Holder parse(const QByteArray &text)
{
    Holder h;
    const QList<QByteArray> lines = text.split('\n');
    if (lines.isEmpty() || lines.front() != kHeading)
        return h;
    for (const QByteArray &line : lines) {
        const qsizetype eq = line.indexOf('=');
        if (eq <= 0)
            continue;
        const QByteArray key = line.left(eq), value = line.mid(eq + 1);
        if (key == "user")
            h.user = QString::fromUtf8(value);
        else if (key == "host")
            h.host = QString::fromUtf8(value);
        else if (key == "since")
            h.since = QString::fromUtf8(value);
        else if (key == "pid")
            h.pid = value.toLongLong();
        else if (key == "boot")
            h.boot = value;
        else if (key == "started")
            h.started = value.toLongLong();
    }
    return h;
}

QByteArray content(const Holder &h)
{
    return QByteArray(kHeading) + "\nuser=" + h.user.toUtf8() + "\nhost=" + h.host.toUtf8() + "\nsince="
           + h.since.toUtf8() + "\npid=" + QByteArray::number(h.pid) + "\nboot=" + h.boot
           + "\nstarted=" + QByteArray::number(h.started) + '\n';
}

QByteArray readFd(int fd)
{
    QByteArray text(4096, Qt::Uninitialized);
    const ssize_t n = ::pread(fd, text.data(), size_t(text.size()), 0);
    text.truncate(n > 0 ? qsizetype(n) : 0);
    return text;
}

// Whether the process a lock of this computer names still runs: the same
// boot, the same number, and the same start (a number used again by
// another process, Vantel or not, does not count).
bool stillRuns(const Holder &h)
{
    if (h.pid <= 0 || (!h.boot.isEmpty() && h.boot != thisProcess().boot))
        return false;
    if (::kill(pid_t(h.pid), 0) != 0 && errno != EPERM)
        return false;
    return h.started == 0 || processStart(h.pid) == h.started;
}

bool sameFile(int fd, const QByteArray &path)
{
    struct stat a, b;
    return ::fstat(fd, &a) == 0 && ::stat(path.constData(), &b) == 0 && a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

} // namespace

bool Holder::onThisHost() const
{
    return host == thisProcess().host;
}

QString Holder::describe() const
{
    QString text = QStringLiteral("user %1").arg(user.isEmpty() ? QStringLiteral("unknown") : user);
    if (onThisHost())
        text += QStringLiteral(", process %1 on this computer").arg(pid);
    else
        text += QStringLiteral(" on the computer %1").arg(host);
    if (!since.isEmpty())
        text += QStringLiteral(", since ") + since;
    return text;
}

QString filePath(const QString &folder)
{
    QString path = folder;
    if (!path.endsWith(QLatin1Char('/')))
        path += QLatin1Char('/');
    return path + QLatin1String(kFileName);
}

Lock::~Lock() { release(); }

void Lock::release()
{
    if (fd_ < 0)
        return;
    // Removed while still locked; whoever opened it meanwhile notices that
    // the name now leads elsewhere and tries again.
    if (ours_ && sameFile(fd_, path_))
        ::unlink(path_.constData());
    ::close(fd_);
    fd_ = -1;
    ours_ = false;
}

Lock::Result Lock::acquire(const QString &folder, bool takeForeign)
{
    release();
    path_ = QFile::encodeName(filePath(folder));
    holder_ = Holder();
    reason_.clear();
    for (int attempt = 0; attempt < 10; ++attempt) {
        bool writable = true;
        int fd = ::open(path_.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0666);
        if (fd < 0 && (errno == EACCES || errno == EROFS || errno == EPERM)) {
            const int err = errno;
            writable = false;
            fd = ::open(path_.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
            if (fd < 0)
                errno = err;
        }
        if (fd < 0) {
            reason_ = QString::fromLocal8Bit(std::strerror(errno));
            return Result::Unlockable;
        }
        bool locks = true; // whether this file system keeps locks
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            if (errno == EWOULDBLOCK) {
                holder_ = parse(readFd(fd));
                ::close(fd);
                return Result::Taken;
            }
            locks = false;
        }
        if (!sameFile(fd, path_)) {
            ::close(fd); // released and removed meanwhile: the next one counts
            continue;
        }
        const Holder found = parse(readFd(fd));
        const Holder &me = thisProcess();
        const bool mine = found.pid == me.pid && found.onThisHost() && found.started == me.started;
        if (found.known() && !mine) {
            if (!found.onThisHost() && !takeForeign) {
                holder_ = found;
                ::close(fd);
                return Result::Foreign;
            }
            if (found.onThisHost() && !locks && stillRuns(found)) {
                holder_ = found;
                ::close(fd);
                return Result::Taken;
            }
        }
        if (!writable) {
            // Another user's file: it goes, and this run makes its own,
            // where the folder allows.
            if (found.known() && !mine && ::unlink(path_.constData()) == 0) {
                ::close(fd);
                continue;
            }
            fd_ = fd;
            return Result::Held;
        }
        Holder h = me;
        h.since = QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm"));
        const QByteArray text = content(h);
        if (::ftruncate(fd, 0) == 0 && ::pwrite(fd, text.constData(), size_t(text.size()), 0) == text.size())
            (void)::fdatasync(fd);
        fd_ = fd;
        ours_ = true;
        return Result::Held;
    }
    reason_ = QStringLiteral("the lock file keeps being replaced");
    return Result::Unlockable;
}

} // namespace folderlock
