#include "launch.h"

#include "folderlock.h"
#include "globals.h"
#include "replacefile.h"
#include "runtime.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
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

void quietRuntimeFolderWarning()
{
    if (qEnvironmentVariableIsSet("XDG_RUNTIME_DIR"))
        return;
    static QtMessageHandler passOn = nullptr;
    passOn = qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &context, const QString &text) {
        if (type == QtWarningMsg && text.startsWith(QLatin1String("QStandardPaths: XDG_RUNTIME_DIR not set")))
            return;
        passOn(type, context, text);
    });
}

namespace {

const QString kProgram = QStringLiteral("vantel");

// The one lock of this run, released when the program ends.
std::unique_ptr<folderlock::Lock> &heldLock()
{
    static std::unique_ptr<folderlock::Lock> lock;
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
        QString why;
        if (!shipped.open(QIODevice::ReadOnly)) {
            why = shipped.errorString();
        } else if (!rt::ReplaceFile(ini, shipped.readAll(), rt::NewFileMode::Usual, &why)) {
            // why says it
        } else {
            why.clear(); // a folder that could not be synced does not stop the start
        }
        if (!why.isEmpty()) {
            *error = QStringLiteral("The settings file %1 could not be written: %2").arg(ini, why);
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
    return folderlock::filePath(lockKey(folder));
}

namespace {

const QString kTitle = QStringLiteral("Vantel");

void sayTaken(const QString &key, const folderlock::Holder &holder)
{
    const QString who = holder.known() ? QStringLiteral(" (") + holder.describe() + QStringLiteral(")") : QString();
    std::fprintf(stderr, "vantel: the data folder %s is already open in another instance%s\n", qUtf8Printable(key),
                 qUtf8Printable(who));
    const bool here = !holder.known() || holder.onThisHost();
    rt::MessageBox(kTitle,
                   QStringLiteral("The data folder ") + QDir::toNativeSeparators(key)
                       + (here ? QStringLiteral(" is already open in another Vantel window")
                               : QStringLiteral(" is already open in Vantel on another computer"))
                       + who + QStringLiteral(".") + QStringLiteral("\n\r")
                       + (here ? QStringLiteral("Please continue there, or close that window and start Vantel again.")
                               : QStringLiteral("Please continue there, or close Vantel there and start it again "
                                                "here.")),
                   rt::Icon::Exclamation);
}

// A lock that another computer left: taken only when the user says so.
bool mayTakeForeign(const QString &key, const folderlock::Holder &holder)
{
    std::fprintf(stderr, "vantel: the data folder %s was opened on the computer %s and not closed there\n",
                 qUtf8Printable(key), qUtf8Printable(holder.host));
    return rt::MessageBox(kTitle,
                          QStringLiteral("The data folder %1 was opened in Vantel on the computer %2 by user %3%4, "
                                         "and it has not been closed there.")
                                  .arg(QDir::toNativeSeparators(key), holder.host, holder.user,
                                       holder.since.isEmpty() ? QString() : QStringLiteral(" on ") + holder.since)
                              + QStringLiteral("\n\r")
                              + QStringLiteral("If Vantel still runs there, the two would save over each other's "
                                               "changes. Open the folder here only if Vantel no longer runs on %1.")
                                    .arg(holder.host)
                              + QStringLiteral("\n\r\n\r")
                              + QStringLiteral("Open the data folder here anyway ?"),
                          rt::Icon::Question, rt::Buttons::YesNo, 2)
           == 1;
}

} // namespace

bool lockDataFolder(const QString &folder)
{
    const QString key = lockKey(folder);
    // The working folder's "Files" folder is made on the first start; it is
    // made here already, so that it is locked before anything reads it.
    if (!QFileInfo(key).isDir() && key == QDir::cleanPath(QDir::current().absoluteFilePath(QStringLiteral("Files"))))
        QDir().mkdir(key);
    auto lock = std::make_unique<folderlock::Lock>();
    folderlock::Lock::Result result = lock->acquire(key);
    if (result == folderlock::Lock::Result::Foreign) {
        if (!mayTakeForeign(key, lock->holder()))
            return false;
        result = lock->acquire(key, true);
    }
    switch (result) {
    case folderlock::Lock::Result::Held:
        heldLock() = std::move(lock);
        heldKey() = key;
        return true;
    case folderlock::Lock::Result::Taken:
    case folderlock::Lock::Result::Foreign:
        sayTaken(key, lock->holder());
        return false;
    case folderlock::Lock::Result::Unlockable: break;
    }
    // A folder that cannot be written (read-only, or not there) is opened
    // all the same: nothing can be saved there, and Save says so.
    std::fprintf(stderr, "vantel: cannot lock the data folder %s (%s); running without the lock\n",
                 qUtf8Printable(key), qUtf8Printable(lock->reason()));
    heldLock().reset();
    heldKey() = key;
    return true;
}

bool moveLockTo(const QString &folder)
{
    if (lockKey(folder) == heldKey())
        return true;
    std::unique_ptr<folderlock::Lock> old = std::move(heldLock());
    if (lockDataFolder(folder))
        return true; // the old folder's lock goes with `old`
    heldLock() = std::move(old);
    return false;
}

} // namespace launch
