#include "launch.h"

#include "globals.h"
#include "runtime.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QSaveFile>
#include <QStandardPaths>

#include <cstdio>
#include <memory>
#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace launch {

void settleAllocator()
{
#ifdef __GLIBC__
    // Setting the threshold keeps it fixed: left alone, glibc raises it to
    // the size of the first large block freed and keeps later ones in its heap.
    mallopt(M_MMAP_THRESHOLD, 128 * 1024);
#endif
}

namespace {

const QString kProgram = QStringLiteral("vantel");

// The one lock of this run, released when the program ends.
std::unique_ptr<QLockFile> &heldLock()
{
    static std::unique_ptr<QLockFile> lock;
    return lock;
}

// The folder that lock stands for.
QString &heldKey()
{
    static QString key;
    return key;
}

} // namespace

QString userFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QLatin1Char('/') + kProgram
           + QLatin1Char('/');
}

bool enterUserFolder(QString *error)
{
    const QString folder = userFolder();
    if (!QDir().mkpath(folder)) {
        *error = QStringLiteral("The folder %1 could not be made.").arg(folder);
        return false;
    }
    const QString ini = folder + gs_ini_file_name;
    if (!QFileInfo::exists(ini)) {
        // Written rather than copied: a copy would keep the template's
        // read-only mode, and the settings are written back at every start.
        QFile shipped(QStringLiteral(":/template/vantel.ini"));
        QSaveFile out(ini);
        if (!shipped.open(QIODevice::ReadOnly) || !out.open(QIODevice::WriteOnly)
            || out.write(shipped.readAll()) < 0 || !out.commit()) {
            *error = QStringLiteral("The settings file %1 could not be written: %2").arg(ini, out.errorString());
            return false;
        }
    }
    if (!QDir::setCurrent(folder)) {
        *error = QStringLiteral("The folder %1 could not be entered.").arg(folder);
        return false;
    }
    return true;
}

QString lockKey(const QString &folder)
{
    QString existing = QDir::cleanPath(QDir::current().absoluteFilePath(folder));
    QString rest;
    while (!QFileInfo(existing).exists()) {
        const qsizetype slash = existing.lastIndexOf(QLatin1Char('/'));
        if (slash <= 0)
            break;
        rest = existing.mid(slash) + rest;
        existing.truncate(slash);
    }
    const QString canonical = QFileInfo(existing).canonicalFilePath();
    return QDir::cleanPath((canonical.isEmpty() ? existing : canonical) + rest);
}

QString lockFilePath(const QString &folder)
{
    const QByteArray hash = QCryptographicHash::hash(lockKey(folder).toUtf8(), QCryptographicHash::Sha1).toHex();
    return QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation) + QStringLiteral("/vantel-")
           + QString::fromLatin1(hash) + QStringLiteral(".lock");
}

bool lockDataFolder(const QString &folder)
{
    const QString key = lockKey(folder);
    auto lock = std::make_unique<QLockFile>(lockFilePath(folder));
    // Only a lock whose owner is gone is stale, however long it has been held.
    lock->setStaleLockTime(0);
    if (lock->tryLock(0)) {
        heldLock() = std::move(lock);
        heldKey() = key;
        return true;
    }
    if (lock->error() != QLockFile::LockFailedError) {
        std::fprintf(stderr, "vantel: cannot lock the data folder %s in %s; running without the lock\n",
                     qUtf8Printable(key),
                     qUtf8Printable(QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation)));
        return true;
    }
    std::fprintf(stderr, "vantel: the data folder %s is already open in another instance\n", qUtf8Printable(key));
    rt::MessageBox(QStringLiteral("Vantel"),
                   QStringLiteral("The data folder ") + QDir::toNativeSeparators(key)
                       + QStringLiteral(" is already open in another Vantel window.") + QStringLiteral("\n\r")
                       + QStringLiteral("Please continue there, or close that window and start Vantel again."),
                   rt::Icon::Exclamation);
    return false;
}

bool moveLockTo(const QString &folder)
{
    if (heldLock() && lockKey(folder) == heldKey())
        return true;
    std::unique_ptr<QLockFile> old = std::move(heldLock());
    if (lockDataFolder(folder))
        return true; // the old folder's lock goes with `old`
    heldLock() = std::move(old);
    return false;
}

} // namespace launch
