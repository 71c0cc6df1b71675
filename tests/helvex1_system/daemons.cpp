// Private daemons for the tests.
#include "daemons.h"

#include <QDir>
#include <QFile>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char **environ;

namespace hxtest {

std::string findProgram(const std::string &name)
{
    std::string dirs = std::getenv("PATH") ? std::getenv("PATH") : "";
    dirs += ":/usr/sbin:/usr/bin:/sbin:/bin";
    size_t start = 0;
    while (start <= dirs.size()) {
        const size_t end = dirs.find(':', start);
        const std::string dir = dirs.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (!dir.empty()) {
            const std::string path = dir + '/' + name;
            if (access(path.c_str(), X_OK) == 0)
                return path;
        }
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
    return {};
}

bool ChildProcess::start(const std::vector<std::string> &argv)
{
    std::vector<char *> args;
    for (const std::string &a : argv)
        args.push_back(const_cast<char *>(a.c_str()));
    args.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    // Quiet daemons: their output goes nowhere.
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    const int r = posix_spawn(&pid_, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (r != 0)
        pid_ = -1;
    return r == 0;
}

void ChildProcess::stop()
{
    if (pid_ <= 0)
        return;
    kill(pid_, SIGTERM);
    for (int i = 0; i < 200; ++i) {
        if (waitpid(pid_, nullptr, WNOHANG) == pid_) {
            pid_ = -1;
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
    pid_ = -1;
}

std::string readLine(int fd, int timeoutMs)
{
    std::string line;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < deadline) {
        pollfd p{fd, POLLIN, 0};
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (poll(&p, 1, static_cast<int>(std::max<long>(1, left.count()))) <= 0)
            continue;
        char c = 0;
        if (read(fd, &c, 1) != 1)
            break;
        if (c == '\n')
            return line;
        line += c;
    }
    return {};
}

bool waitForSocket(const std::string &path, int timeoutMs)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < deadline) {
        const int s = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        std::strncpy(addr.sun_path, path.c_str(), sizeof addr.sun_path - 1);
        const bool ok = connect(s, reinterpret_cast<sockaddr *>(&addr), sizeof addr) == 0;
        close(s);
        if (ok)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

int run(const std::vector<std::string> &argv)
{
    std::vector<char *> args;
    for (const std::string &a : argv)
        args.push_back(const_cast<char *>(a.c_str()));
    args.push_back(nullptr);
    pid_t pid = -1;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    const int r = posix_spawn(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (r != 0)
        return -1;
    int status = 0;
    if (waitpid(pid, &status, 0) != pid || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

// ---- Xvfb ----------------------------------------------------------------

std::string XServer::start(const std::string &screen, int dpi)
{
    return start(screen, dpi, Options{});
}

std::string XServer::start(const std::string &screen, int dpi, Options options)
{
    screen_ = screen;
    dpi_ = dpi;
    options_ = options;
    std::string problem;
    if (!options.restartable) {
        problem = launch(-1);
    } else {
        const int first = 200 + static_cast<int>(getpid() % 500);
        for (int n = first; n < first + 20; ++n)
            if ((problem = launch(n)).empty() || problem == "Xvfb is not installed")
                break;
    }
    if (!problem.empty())
        return problem;
    if (const char *old = std::getenv("DISPLAY")) {
        previous_ = old;
        hadPrevious_ = true;
    }
    setenv("DISPLAY", display_.c_str(), 1);
    return {};
}

std::string XServer::restart()
{
    process_.stop();
    return launch(std::stoi(display_.substr(1)));
}

std::string XServer::launch(int number)
{
    const std::string xvfb = findProgram("Xvfb");
    if (xvfb.empty())
        return "Xvfb is not installed";
    int fds[2];
    if (pipe(fds) != 0)
        return "no pipe";
    // -displayfd: the server writes its display number here once it accepts
    // clients (and picks a free one when none is given); -noreset: it must
    // not reset (and refuse clients) whenever the last client has gone.
    std::vector<std::string> argv{xvfb};
    if (number >= 0)
        argv.push_back(":" + std::to_string(number));
    for (const std::string &a : {std::string("-displayfd"), std::to_string(fds[1]), std::string("-nolisten"),
                                 std::string("tcp"), std::string("-screen"), std::string("0"), screen_,
                                 std::string("-dpi"), std::to_string(dpi_)})
        argv.push_back(a);
    if (!options_.resets)
        argv.push_back("-noreset");
    const bool started = process_.start(argv);
    close(fds[1]);
    const std::string answer = started ? readLine(fds[0], 10000) : std::string();
    close(fds[0]);
    if (answer.empty()) {
        process_.stop();
        return "Xvfb did not start";
    }
    display_ = ":" + answer;
    return {};
}

XServer::~XServer()
{
    process_.stop();
    if (hadPrevious_)
        setenv("DISPLAY", previous_.c_str(), 1);
    else
        unsetenv("DISPLAY");
}

// ---- dbus-daemon ---------------------------------------------------------

std::string MessageBus::start()
{
    const std::string daemon = findProgram("dbus-daemon");
    if (daemon.empty())
        return "dbus-daemon is not installed";
    if (!dir_.isValid())
        return "no temporary folder";
    const std::string socket = dir_.filePath("bus").toStdString();
    const std::string config = dir_.filePath("bus.conf").toStdString();
    QFile f(QString::fromStdString(config));
    if (!f.open(QIODevice::WriteOnly))
        return "cannot write the bus configuration";
    f.write(("<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
             " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
             "<busconfig>\n"
             "  <type>custom</type>\n"
             "  <listen>unix:path=" + socket + "</listen>\n"
             "  <auth>EXTERNAL</auth>\n"
             "  <policy context=\"default\">\n"
             "    <allow user=\"*\"/>\n"
             "    <allow own=\"*\"/>\n"
             "    <allow send_destination=\"*\"/>\n"
             "    <allow receive_sender=\"*\"/>\n"
             "  </policy>\n"
             "</busconfig>\n").c_str());
    f.close();
    int fds[2];
    if (pipe(fds) != 0)
        return "no pipe";
    const bool started = process_.start({daemon, "--config-file=" + config, "--nofork", "--nopidfile",
                                         "--print-address=" + std::to_string(fds[1])});
    close(fds[1]);
    address_ = started ? readLine(fds[0], 10000) : std::string();
    close(fds[0]);
    if (address_.empty())
        return "dbus-daemon did not start";
    setenv("DBUS_SYSTEM_BUS_ADDRESS", address_.c_str(), 1);
    return {};
}

MessageBus::~MessageBus()
{
    process_.stop();
    unsetenv("DBUS_SYSTEM_BUS_ADDRESS");
}

// ---- cupsd ---------------------------------------------------------------

std::string PrintService::start()
{
    const std::string cupsd = findProgram("cupsd");
    if (cupsd.empty())
        return "cupsd is not installed";
    if (findProgram("lpadmin").empty())
        return "lpadmin is not installed";
    if (!dir_.isValid())
        return "no temporary folder";
    const QString d = dir_.path();
    for (const char *sub : {"spool", "cache", "state", "tmp", "log", "home"})
        QDir(d).mkpath(QString::fromLatin1(sub));
    const std::string folder = d.toStdString();
    const std::string socket = folder + "/cups.sock";
    auto write = [&](const char *name, const std::string &text) {
        QFile f(d + '/' + QString::fromLatin1(name));
        return f.open(QIODevice::WriteOnly) && f.write(text.c_str()) == qint64(text.size());
    };
    const bool written =
        write("cupsd.conf", "Listen " + socket + "\n"
                            "Browsing No\nWebInterface No\nLogLevel warn\nDefaultAuthType None\n"
                            "<Location />\n  Order allow,deny\n  Allow all\n</Location>\n"
                            "<Policy default>\n  <Limit All>\n    Order deny,allow\n  </Limit>\n</Policy>\n") &&
        write("cups-files.conf", "ServerRoot " + folder + "\nStateDir " + folder + "/state\n"
                                 "CacheDir " + folder + "/cache\nRequestRoot " + folder + "/spool\n"
                                 "TempDir " + folder + "/tmp\nErrorLog " + folder + "/log/error_log\n"
                                 "AccessLog " + folder + "/log/access_log\nPageLog " + folder + "/log/page_log\n"
                                 "FileDevice Yes\nSandboxing Relaxed\n");
    if (!written)
        return "cannot write the print service's configuration";
    // The client library reads these once per thread: set them before any
    // call into it.
    for (const char *name : {"CUPS_SERVER", "CUPS_SERVERROOT", "HOME"}) {
        const char *old = std::getenv(name);
        savedEnv_.emplace_back(name, old ? old : std::string("\x01"));
    }
    setenv("CUPS_SERVER", socket.c_str(), 1);
    setenv("CUPS_SERVERROOT", folder.c_str(), 1);
    setenv("HOME", home().c_str(), 1);
    if (!process_.start({cupsd, "-f", "-c", folder + "/cupsd.conf", "-s", folder + "/cups-files.conf"}))
        return "cupsd did not start";
    if (!waitForSocket(socket, 10000))
        return "cupsd does not answer";
    return {};
}

PrintService::~PrintService()
{
    process_.stop();
    for (const auto &[name, value] : savedEnv_) {
        if (value == "\x01")
            unsetenv(name.c_str());
        else
            setenv(name.c_str(), value.c_str(), 1);
    }
}

bool PrintService::addQueue(const std::string &name)
{
    return run({findProgram("lpadmin"), "-p", name, "-E", "-v", "file:/dev/null"}) == 0;
}

bool PrintService::removeQueue(const std::string &name)
{
    return run({findProgram("lpadmin"), "-x", name}) == 0;
}

} // namespace hxtest
