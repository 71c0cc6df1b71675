// GetInstallDirectory: lets the user pick a folder in a dialog.
#include "helvex1.h"
#include "qtdialoghost.h"

#include <QApplication>
#include <QFileDialog>
#include <QGuiApplication>
#include <QScreen>

#include <sys/vfs.h>

#include <cstring>
#include <memory>

namespace helvex1 {

QApplication *dialogApplication()
{
    if (auto *app = qobject_cast<QApplication *>(QCoreApplication::instance()))
        return app;
    if (QCoreApplication::instance())
        return nullptr; // a console or GUI-less application object: no widgets possible
    static int argc = 1;
    static char name[] = "helvex1";
    static char *argv[] = {name, nullptr};
    static std::unique_ptr<QApplication> own;
    own = std::make_unique<QApplication>(argc, argv);
    return own.get();
}

} // namespace helvex1

namespace {

constexpr size_t kMinBuffer = 260;

// Removable optical media and memory-backed file systems: data put there
// would not survive, so the user must choose again.
bool isUnsuitableFileSystem(const QByteArray &path)
{
    struct statfs fs {};
    if (statfs(path.constData(), &fs) != 0)
        return false;
    switch (static_cast<unsigned long>(fs.f_type)) {
    case 0x9660UL:     // iso9660
    case 0x15013346UL: // udf
    case 0x01021994UL: // tmpfs
    case 0x858458f6UL: // ramfs
        return true;
    default:
        return false;
    }
}

QString pickFolder()
{
    QFileDialog dialog(nullptr, QStringLiteral("Please select a installation folder:"));
    dialog.setObjectName(QStringLiteral("helvex1_folder_dialog"));
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOptions(QFileDialog::ShowDirsOnly | QFileDialog::DontUseNativeDialog);
    dialog.setWindowFlag(Qt::WindowStaysOnTopHint, true);
    dialog.setAttribute(Qt::WA_ShowWithoutActivating, true);
    if (QScreen *screen = QGuiApplication::primaryScreen()) {
        dialog.adjustSize();
        QRect r = dialog.frameGeometry();
        r.moveCenter(screen->availableGeometry().center());
        dialog.move(r.topLeft());
    }
    if (dialog.exec() != QDialog::Accepted)
        return {};
    const QStringList files = dialog.selectedFiles();
    return files.isEmpty() ? QString() : files.first();
}

} // namespace

extern "C" HELVEX1_API int32_t GetInstallDirectory(char *buffer, int32_t /*unused*/)
{
    if (!buffer)
        return HX_SUCCESS;
    QByteArray result;
    if (helvex1::dialogApplication()) {
        for (;;) {
            const QString chosen = pickFolder();
            if (chosen.isEmpty())
                break;
            QString path = QDir::cleanPath(chosen);
            QByteArray bytes = path.toUtf8();
            if (isUnsuitableFileSystem(bytes))
                continue;
            result = bytes;
            break;
        }
    }
    if (static_cast<size_t>(result.size()) >= kMinBuffer)
        result.clear(); // no room for it in the buffer the caller is promised to need
    std::memcpy(buffer, result.constData(), static_cast<size_t>(result.size()));
    buffer[result.size()] = '\0';
    return HX_SUCCESS;
}
