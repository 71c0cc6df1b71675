// Fuzz target of the settings-file reader and writer. The bytes are the
// file; a folder is written to "Files" of "General". Whatever the file,
// nothing may crash, the folder must read back as written, and the other
// values must read as before.
#include "profile.h"

#include <QDir>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

namespace {

[[noreturn]] void broken(const char *what)
{
    std::fprintf(stderr, "settings round trip broken: %s\n", what);
    std::abort();
}

const QString &filePath()
{
    static const QString path = QDir::tempPath() + QStringLiteral("/vantel-fuzz-%1.ini").arg(::getpid());
    return path;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString &path = filePath();
    const QByteArray name = path.toLocal8Bit();
    const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (fd < 0 || ::write(fd, data, size) != ssize_t(size) || ::close(fd) != 0)
        broken("cannot write the test file");

    // Plain, Windows-1252 and beyond.
    static const char *const values[] = {"/data/", "/home/Ren\xc3\xa9" "e/Files/", "/srv/\xc5\x81\xc3\xb3" "d\xc5\xba/",
                                         "C:\\Vantel\\"};
    const QString value = QString::fromUtf8(values[size % 4]);
    const QString none = QStringLiteral("<none>");
    const QString app = rt::ProfileString(path, QStringLiteral("General"), QStringLiteral("App"), none);
    const QString other = rt::ProfileString(path, QStringLiteral("Other"), QStringLiteral("Key"), none);
    if (rt::SetProfileString(path, QStringLiteral("General"), QStringLiteral("Files"), value) != 1)
        broken("write failed");
    if (rt::ProfileString(path, QStringLiteral("General"), QStringLiteral("Files"), none) != value)
        broken("Files does not read back as written");
    if (rt::ProfileString(path, QStringLiteral("General"), QStringLiteral("App"), none) != app)
        broken("App changed");
    if (rt::ProfileString(path, QStringLiteral("Other"), QStringLiteral("Key"), none) != other)
        broken("Other/Key changed");
    ::unlink(name.constData());
    return 0;
}
