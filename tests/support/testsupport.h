// Helpers shared by the tests.
#pragma once

#include "runtime.h"

#include <QString>
#include <QTemporaryDir>

#include <deque>
#include <functional>
#include <string>
#include <vector>

namespace testing_support {

// Answers every message box instead of showing it, and records each one.
class MessageBoxRecorder {
public:
    MessageBoxRecorder();
    ~MessageBoxRecorder();
    MessageBoxRecorder(const MessageBoxRecorder &) = delete;
    MessageBoxRecorder &operator=(const MessageBoxRecorder &) = delete;

    void queueAnswer(int button) { answers_.push_back(button); } // default answer is 1
    const std::vector<rt::MessageBoxCall> &calls() const { return calls_; }
    bool sawTitle(const QString &title) const;
    void clear() { calls_.clear(); }

private:
    std::vector<rt::MessageBoxCall> calls_;
    std::deque<int> answers_;
};

// A fresh temporary folder that is the working folder while the object
// lives; the previous working folder comes back afterwards.
class WorkingFolder {
public:
    WorkingFolder();
    ~WorkingFolder();
    WorkingFolder(const WorkingFolder &) = delete;
    WorkingFolder &operator=(const WorkingFolder &) = delete;

    QString path() const { return dir_.path(); }        // without trailing "/"
    QString folder() const { return dir_.path() + '/'; } // with trailing "/"
    QString file(const QString &name) const { return dir_.filePath(name); }
    void write(const QString &name, const QByteArray &content) const;
    QByteArray read(const QString &name) const;

private:
    QTemporaryDir dir_;
    QString previous_;
};

// Runs `body` in a child process as the unprivileged user "nobody" and
// answers what it wrote to `out` (one line per finding); empty with a skip
// reason when no such user exists.
QByteArray runAsNobody(const std::function<QByteArray()> &body, QString *skip);

// An environment variable set for the life of the object (TZ is also
// passed on to the C library's time functions); the previous value, or its
// absence, comes back afterwards.
class EnvironmentScope {
public:
    EnvironmentScope(const char *name, const char *value);
    ~EnvironmentScope();
    EnvironmentScope(const EnvironmentScope &) = delete;
    EnvironmentScope &operator=(const EnvironmentScope &) = delete;

private:
    std::string name_, old_;
    bool had_ = false;
};

// Restores the external function table when a test ends.
class ExternalsGuard {
public:
    ExternalsGuard() = default;
    ~ExternalsGuard();
};

} // namespace testing_support
