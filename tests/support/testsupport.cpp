#include "testsupport.h"

#include "externals.h"

#include <QDir>
#include <QFile>

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

} // namespace testing_support
