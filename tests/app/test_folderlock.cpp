// The lock of a data folder, in the folder itself: one holder at a time,
// named with who and since when; a lock whose process is gone (or whose
// number another process now has) is taken over, one of another computer
// only when asked to, also where the file system keeps no locks.
#include "faults.h"
#include "folderlock.h"
#include "testsupport.h"

#include <QFile>

#include <gtest/gtest.h>

#include <csignal>
#include <fstream>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

using namespace testing_support;
using Result = folderlock::Lock::Result;

namespace {

// A lock file as a run of `pid` started at `started` on `host` left it.
QByteArray lockText(const QString &host, qint64 pid, qint64 started)
{
    return "vantel-lock 1\nuser=ann\nhost=" + host.toUtf8() + "\nsince=2024-05-01 09:30\npid="
           + QByteArray::number(pid) + "\nstarted=" + QByteArray::number(started) + "\n";
}

QString thisHost()
{
    char name[256] = {};
    ::gethostname(name, sizeof name - 1);
    return QString::fromLocal8Bit(name);
}

qint64 startOf(pid_t pid)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string stat((std::istreambuf_iterator<char>(in)), {});
    std::istringstream fields(stat.substr(stat.rfind(')') + 2));
    std::string field;
    for (int i = 3; i <= 22 && fields >> field; ++i) {
    }
    return std::stoll(field);
}

// A process that runs until the test ends.
struct Sleeper {
    pid_t pid = ::fork();
    Sleeper()
    {
        if (pid == 0) {
            ::pause();
            ::_exit(0);
        }
    }
    ~Sleeper()
    {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
    }
};

TEST(FolderLock, OneHolderAtATimeNamedWithWhoAndSince)
{
    WorkingFolder wf;
    folderlock::Lock other;
    {
        folderlock::Lock mine;
        ASSERT_EQ(mine.acquire(wf.path()), Result::Held);
        ASSERT_EQ(other.acquire(wf.path()), Result::Taken);
        const folderlock::Holder &h = other.holder();
        EXPECT_EQ(h.pid, ::getpid());
        EXPECT_TRUE(h.onThisHost());
        EXPECT_TRUE(h.describe().contains(QString(", process %1 on this computer, since 20").arg(::getpid())))
            << h.describe().toStdString();
    }
    EXPECT_FALSE(QFile::exists(folderlock::filePath(wf.path()))); // gone with its holder
    EXPECT_EQ(other.acquire(wf.path()), Result::Held);
}

TEST(FolderLock, ALockWhoseProcessIsGoneOrWhoseNumberWasReusedIsTakenOver)
{
    WorkingFolder wf;
    const Sleeper running;
    const pid_t gone = ::fork();
    if (gone == 0)
        ::_exit(0);
    ::waitpid(gone, nullptr, 0);
    for (const char *locks : {"", "flock:.vantel-lock:ENOLCK"}) {
        SCOPED_TRACE(*locks ? "a file system without locks" : "locks kept");
        const Faults faults(locks);
        for (const QByteArray &left : {lockText(thisHost(), gone, 1), lockText(thisHost(), running.pid, 1)}) {
            wf.write(".vantel-lock", left);
            folderlock::Lock lock;
            EXPECT_EQ(lock.acquire(wf.path()), Result::Held) << left.toStdString();
            EXPECT_TRUE(wf.read(".vantel-lock").contains("\npid=" + QByteArray::number(::getpid()) + "\n"));
        }
    }
    // Without locks, the process the file names, still running, holds it.
    wf.write(".vantel-lock", lockText(thisHost(), running.pid, startOf(running.pid)));
    const Faults faults("flock:.vantel-lock:ENOLCK");
    folderlock::Lock lock;
    EXPECT_EQ(lock.acquire(wf.path()), Result::Taken);
    EXPECT_EQ(lock.holder().pid, running.pid);
}

TEST(FolderLock, AnotherComputersLockIsTakenOnlyWhenAskedTo)
{
    WorkingFolder wf;
    wf.write(".vantel-lock", lockText("elsewhere", 4242, 99));
    folderlock::Lock lock;
    ASSERT_EQ(lock.acquire(wf.path()), Result::Foreign);
    EXPECT_EQ(lock.holder().host, "elsewhere");
    EXPECT_EQ(lock.holder().user, "ann");
    EXPECT_EQ(lock.holder().since, "2024-05-01 09:30");
    EXPECT_TRUE(wf.read(".vantel-lock").contains("host=elsewhere"));
    ASSERT_EQ(lock.acquire(wf.path(), true), Result::Held);
    EXPECT_TRUE(wf.read(".vantel-lock").contains("host=" + thisHost().toUtf8() + "\n"));
}

} // namespace
