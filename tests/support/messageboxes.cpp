#include "messageboxes.h"

#include <QGuiApplication>

namespace testing_support {

MessageBoxRecorder::MessageBoxRecorder()
{
    rt::setMessageBoxResponder([this](const rt::MessageBoxCall &call) {
        calls_.push_back(call);
        if (QGuiApplication::overrideCursor())
            ++underBusyPointer_;
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

} // namespace testing_support
