#include "externals.h"

#include <QDir>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>
#include <vector>

namespace ext {

namespace {

constexpr qint32 kGeneralFailure = -1024;

std::function<void(Table &)> &libraryFunctions()
{
    static std::function<void(Table &)> install;
    return install;
}

Table realTable()
{
    Table t;
    // Until the program installs libhelvex1: a general failure.
    t.GetIntSetting = [](quint32, QString &, qint32) { return kGeneralFailure; };
    t.GetInstallDirectory = [](QString &, qint32) { return kGeneralFailure; };
    t.RegisterAX = [](const QString &, qint16) { return kGeneralFailure; };
    t.Sleep = [](qint32 ms) { std::this_thread::sleep_for(std::chrono::milliseconds(std::max(ms, 0))); };
    t.GetCurrentDirectoryA = [](quint32 textlen, QString &dirtext) -> quint32 {
        std::vector<char> cwd(4096);
        if (!getcwd(cwd.data(), cwd.size()))
            return 0;
        const QByteArray path(cwd.data());
        if (static_cast<quint32>(path.size()) + 1 > textlen)
            return static_cast<quint32>(path.size()) + 1;
        dirtext = QString::fromUtf8(path);
        return static_cast<quint32>(path.size());
    };
    t.CreateDirectoryA = [](const QString &name) {
        return mkdir(QFile::encodeName(name).constData(), 0777) == 0;
    };
    if (libraryFunctions())
        libraryFunctions()(t);
    return t;
}

} // namespace

Table &table()
{
    static Table t = realTable();
    return t;
}

void resetTable()
{
    table() = realTable();
}

void setLibraryFunctions(std::function<void(Table &)> install)
{
    libraryFunctions() = std::move(install);
    resetTable();
}

} // namespace ext
