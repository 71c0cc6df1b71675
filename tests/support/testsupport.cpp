#include "testsupport.h"

#include "externals.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

#include <grp.h>
#include <pwd.h>
#include <sys/wait.h>
#include <unistd.h>

namespace testing_support {

MessageBoxRecorder::MessageBoxRecorder()
{
    rt::setMessageBoxResponder([this](const rt::MessageBoxCall &call) {
        calls_.push_back(call);
        if (answers_.empty())
            return 1;
        const int a = answers_.front();
        answers_.pop_front();
        return a;
    });
}

MessageBoxRecorder::~MessageBoxRecorder()
{
    rt::setMessageBoxResponder({});
}

bool MessageBoxRecorder::sawTitle(const QString &title) const
{
    for (const auto &c : calls_)
        if (c.title == title)
            return true;
    return false;
}

EnvironmentScope::EnvironmentScope(const char *name, const char *value) : name_(name)
{
    if (const char *old = std::getenv(name))
        old_ = old, had_ = true;
    setenv(name, value, 1);
    tzset();
}

EnvironmentScope::~EnvironmentScope()
{
    if (had_)
        setenv(name_.c_str(), old_.c_str(), 1);
    else
        unsetenv(name_.c_str());
    tzset();
}

WorkingFolder::WorkingFolder() : previous_(QDir::currentPath())
{
    QDir::setCurrent(dir_.path());
}

WorkingFolder::~WorkingFolder()
{
    QDir::setCurrent(previous_);
}

void WorkingFolder::write(const QString &name, const QByteArray &content) const
{
    QFile f(file(name));
    if (f.open(QIODevice::WriteOnly))
        f.write(content);
}

QByteArray WorkingFolder::read(const QString &name) const
{
    QFile f(file(name));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

ExternalsGuard::~ExternalsGuard()
{
    ext::resetTable();
}

QByteArray runAsNobody(const std::function<QByteArray()> &body, QString *skip)
{
    const passwd *pw = ::getpwnam("nobody");
    if (!pw) {
        *skip = "no user \"nobody\" on this machine";
        return {};
    }
    int fds[2];
    if (::pipe(fds) != 0) {
        *skip = "no pipe";
        return {};
    }
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(fds[0]);
        QByteArray result;
        if (::setgroups(0, nullptr) != 0 || ::setgid(pw->pw_gid) != 0 || ::setuid(pw->pw_uid) != 0)
            result = "setuid failed";
        else
            result = body();
        [[maybe_unused]] const ssize_t sent = ::write(fds[1], result.constData(), size_t(result.size()));
        ::_exit(0);
    }
    ::close(fds[1]);
    QByteArray out;
    char buf[512];
    ssize_t n;
    while ((n = ::read(fds[0], buf, sizeof buf)) > 0)
        out.append(buf, n);
    ::close(fds[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    return out;
}

} // namespace testing_support
