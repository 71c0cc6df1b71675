#include "bench_run.h"

#include <QFile>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

double Values::num(const char *key) const
{
    bool ok = false;
    const double v = has(key) ? text.at(key).toDouble(&ok) : 0;
    return ok ? v : std::nan("");
}

qint64 monotonicNs()
{
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return qint64(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

namespace {

Values parse(const QByteArray &out)
{
    Values v;
    for (const QByteArray &line : out.split('\n')) {
        const qsizetype sp = line.indexOf(' ');
        if (sp > 0)
            v.text[line.left(sp).toStdString()] = line.mid(sp + 1);
    }
    return v;
}

} // namespace

ChildRun runChild(const QString &program, const QStringList &args, const QString &workDir, const Environment &extra,
                  const QString &errorFile)
{
    ChildRun run;
    // The environment: ours, with the extra entries in place of ours.
    std::vector<QByteArray> env;
    for (char **e = environ; *e; ++e) {
        const QByteArray entry(*e);
        const QByteArray name = entry.left(entry.indexOf('='));
        bool replaced = name == "VANTEL_BENCH_T0";
        for (const auto &[k, v] : extra)
            replaced = replaced || k == name;
        if (!replaced)
            env.push_back(entry);
    }
    for (const auto &[k, v] : extra)
        env.push_back(k + '=' + v);
    const size_t t0Slot = env.size();
    env.emplace_back();

    std::vector<QByteArray> argBytes{QFile::encodeName(program)};
    for (const QString &a : args)
        argBytes.push_back(QFile::encodeName(a));
    std::vector<char *> argv, envp;
    for (QByteArray &a : argBytes)
        argv.push_back(a.data());
    argv.push_back(nullptr);

    int pipeFd[2];
    if (pipe2(pipeFd, O_CLOEXEC) != 0) {
        run.failure = QStringLiteral("pipe: %1").arg(std::strerror(errno));
        return run;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, pipeFd[1], 1);
    const QByteArray errorPath = QFile::encodeName(errorFile);
    posix_spawn_file_actions_addopen(&actions, 2, errorPath.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const QByteArray dir = QFile::encodeName(workDir);
    if (!workDir.isEmpty())
        posix_spawn_file_actions_addchdir_np(&actions, dir.constData());

    const qint64 t0 = monotonicNs();
    env[t0Slot] = "VANTEL_BENCH_T0=" + QByteArray::number(t0);
    for (QByteArray &e : env)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    // The child shares this process's memory until its exec, and the
    // system's account of its peak starts from this process's peak: that is
    // brought down to what this process holds now (clear_refs 5).
    if (FILE *refs = std::fopen("/proc/self/clear_refs", "we")) {
        std::fputs("5", refs);
        std::fclose(refs);
    }
    pid_t pid = -1;
    const int rc = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    close(pipeFd[1]);
    if (rc != 0) {
        close(pipeFd[0]);
        run.failure
            = QStringLiteral("%1 cannot be started: %2").arg(program, QString::fromLocal8Bit(std::strerror(rc)));
        return run;
    }
    QByteArray out;
    char buf[4096];
    for (;;) {
        const ssize_t n = read(pipeFd[0], buf, sizeof buf);
        if (n > 0)
            out.append(buf, n);
        else if (n == 0 || errno != EINTR)
            break;
    }
    close(pipeFd[0]);
    int status = 0;
    rusage ru{};
    while (wait4(pid, &status, 0, &ru) < 0 && errno == EINTR) {
    }
    run.wall = double(monotonicNs() - t0) / 1e9;
    run.maxRssKb = ru.ru_maxrss;
    run.values = parse(out);
    run.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    if (!run.ok)
        run.failure = QStringLiteral("%1 %2 failed (%3 %4)")
                          .arg(program, args.join(QLatin1Char(' ')),
                               WIFEXITED(status) ? QStringLiteral("exit") : QStringLiteral("signal"))
                          .arg(WIFEXITED(status) ? WEXITSTATUS(status) : WTERMSIG(status));
    if (!run.ok) {
        QFile err(errorFile);
        if (err.open(QIODevice::ReadOnly) && err.size() > 0)
            run.failure += QStringLiteral(": ") + QString::fromLocal8Bit(err.readAll().right(600)).trimmed();
    }
    return run;
}
