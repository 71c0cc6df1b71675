// Message boxes in tests of windows: answered, never shown.
#pragma once

#include "runtime.h"

#include <QString>

#include <deque>
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
    // Boxes that came while the hourglass (or any pointer of the program's
    // own) was set over the windows: the user would read them with it.
    int underBusyPointer() const { return underBusyPointer_; }
    void clear() { calls_.clear(); }

private:
    std::vector<rt::MessageBoxCall> calls_;
    std::deque<int> answers_;
    int underBusyPointer_ = 0;
};

} // namespace testing_support
