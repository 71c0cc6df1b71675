#include "externals.h"

#include "helvex1.h"

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

// Calls a function that fills a zero-terminated byte buffer of `length`
// characters prepared from `text`, then reads the buffer back.
template <typename Fn> qint32 withBuffer(QString &text, qint32 length, Fn fn)
{
    QByteArray bytes = text.toUtf8();
    const qsizetype size = std::max<qsizetype>(bytes.size(), std::max<qint32>(length, 0)) + 1;
    std::vector<char> buffer(static_cast<size_t>(size), ' ');
    std::memcpy(buffer.data(), bytes.constData(), static_cast<size_t>(bytes.size()));
    buffer[static_cast<size_t>(size - 1)] = '\0';
    const qint32 rc = fn(buffer.data());
    buffer[static_cast<size_t>(size - 1)] = '\0';
    text = QString::fromUtf8(buffer.data());
    return rc;
}

Table realTable()
{
    Table t;
    t.GetIntSetting = [](quint32 code, QString &buffer, qint32 length) {
        return withBuffer(buffer, length, [&](char *b) { return ::GetIntSetting(code, b, length); });
    };
    t.GetInstallDirectory = [](QString &buffer, qint32 length) {
        // The library writes up to 260 bytes whatever the caller's length.
        return withBuffer(buffer, std::max<qint32>(length, 260),
                          [&](char *b) { return ::GetInstallDirectory(b, length); });
    };
    t.RegisterAX = [](const QString &source, qint16 operation) {
        return ::RegisterAX(source.toUtf8().constData(), operation);
    };
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

} // namespace ext
