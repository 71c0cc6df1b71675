// Private daemons for the tests: an X server, a message bus and a print
// service, each started in a temporary folder and stopped with the test.
#pragma once

#include <QTemporaryDir>

#include <string>
#include <vector>

#include <sys/types.h>

namespace hxtest {

// The full path of a program in PATH or the system folders, or empty.
std::string findProgram(const std::string &name);

// A child process that is ended (SIGTERM, then SIGKILL) when the object goes.
class ChildProcess {
public:
    ChildProcess() = default;
    ~ChildProcess() { stop(); }
    ChildProcess(const ChildProcess &) = delete;
    ChildProcess &operator=(const ChildProcess &) = delete;

    // Starts `argv` (a full program path first); open descriptors are inherited.
    bool start(const std::vector<std::string> &argv);
    void stop();
    bool running() const { return pid_ > 0; }

private:
    pid_t pid_ = -1;
};

// Reads one line from `fd` within `timeoutMs`; empty when none came.
std::string readLine(int fd, int timeoutMs);

// Waits until a Unix socket at `path` accepts connections.
bool waitForSocket(const std::string &path, int timeoutMs);

// Runs a program to its end; its exit status, or -1.
int run(const std::vector<std::string> &argv);

// Xvfb on a free display number; DISPLAY names it while the object lives.
class XServer {
public:
    struct Options {
        // Reset whenever the last client has gone, as a bare X server does
        // (connections that arrive meanwhile are dropped).
        bool resets = false;
        // Take a number far above those that other tests' servers take, so
        // that restart() finds it free again.
        bool restartable = false;
    };
    // Empty when it started, else why not.
    std::string start(const std::string &screen = "1024x768x24", int dpi = 120);
    std::string start(const std::string &screen, int dpi, Options options);
    // Ends the server; restart() starts a new one on the same display.
    void stop() { process_.stop(); }
    std::string restart();
    ~XServer();
    std::string display() const { return display_; }

private:
    std::string launch(int number); // -1: any free number
    ChildProcess process_;
    std::string display_;
    std::string previous_;
    bool hadPrevious_ = false;
    std::string screen_;
    int dpi_ = 0;
    Options options_;
};

// dbus-daemon with a bus of its own; DBUS_SYSTEM_BUS_ADDRESS names it.
class MessageBus {
public:
    std::string start();
    ~MessageBus();
    std::string address() const { return address_; }

private:
    QTemporaryDir dir_;
    ChildProcess process_;
    std::string address_;
};

// cupsd with its configuration, queues and state in a temporary folder;
// CUPS_SERVER, CUPS_SERVERROOT and HOME point there while it lives.
class PrintService {
public:
    std::string start();
    ~PrintService();
    std::string folder() const { return dir_.path().toStdString(); }
    std::string home() const { return folder() + "/home"; }
    bool addQueue(const std::string &name);
    bool removeQueue(const std::string &name);

private:
    QTemporaryDir dir_;
    ChildProcess process_;
    std::vector<std::pair<std::string, std::string>> savedEnv_;
};

} // namespace hxtest
