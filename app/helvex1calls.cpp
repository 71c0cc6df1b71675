// The functions of libhelvex1 in the table of external functions: the
// program and its window tests link the library and install them first.
#include "externals.h"

#include "helvex1.h"
#include "helvex1calls.h"

#include <QByteArray>

#include <algorithm>
#include <cstring>
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

} // namespace

void useHelvex1()
{
    setLibraryFunctions([](Table &t) {
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
    });
}

} // namespace ext
