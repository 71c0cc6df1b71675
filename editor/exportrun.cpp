#include "exportrun.h"

#include "eventdocument.h"
#include "exportmessages.h"
#include "globals.h"
#include "packagemail.h"

#include <QApplication>
#include <QEventLoop>
#include <QProgressBar>
#include <QProgressDialog>
#include <QPushButton>
#include <QScopeGuard>
#include <QThread>
#include <QTimer>
#include <QWidget>

#include <memory>

namespace {

ExportRun::TestHook &testHook()
{
    static ExportRun::TestHook hook;
    return hook;
}

// Keeps the user's input away from a window and its controls while it
// lives: the progress dialog blocks the window only once it shows, and its
// own window takes no part in this.
class InputBlock : public QObject {
public:
    explicit InputBlock(QWidget *window) : window_(window) { qApp->installEventFilter(this); }
    ~InputBlock() override { qApp->removeEventFilter(this); }
    InputBlock(const InputBlock &) = delete;
    InputBlock &operator=(const InputBlock &) = delete;

protected:
    bool eventFilter(QObject *receiver, QEvent *event) override
    {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::Wheel:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::ShortcutOverride:
        case QEvent::Shortcut:
        case QEvent::ContextMenu:
        case QEvent::TouchBegin:
        case QEvent::TouchUpdate:
        case QEvent::TouchEnd:
        case QEvent::DragEnter:
        case QEvent::DragMove:
        case QEvent::Drop:
            break;
        default:
            return false;
        }
        // A shortcut's events go to the shortcut object, a child of the
        // widget it belongs to.
        QWidget *widget = qobject_cast<QWidget *>(receiver);
        if (!widget && receiver->parent())
            widget = qobject_cast<QWidget *>(receiver->parent());
        if (!window_ || !widget || (widget != window_ && !window_->isAncestorOf(widget)))
            return false;
        // An accepted shortcut override keeps the key from any shortcut.
        if (event->type() == QEvent::ShortcutOverride)
            event->accept();
        return true;
    }

private:
    QPointer<QWidget> window_;
};

} // namespace

ExportRun::ExportRun(QWidget *window, const EventDocument &document)
    : QObject(window), window_(window), document_(document), mail_(new PackageMail(this))
{
}

ExportRun::~ExportRun() = default;

void ExportRun::setTestHook(TestHook hook)
{
    testHook() = std::move(hook);
}

void ExportRun::exportDataFiles(const QString &directory)
{
    if (running_)
        return;
    const PackageResult result =
        run(document_.exportJob(directory),
            QStringLiteral("Packing your event data into ") + gs_zip_filename + QStringLiteral(" ..."));
    if (exportmessages::showDataPackage(result, directory))
        mail_->send(directory);
}

void ExportRun::exportDeployment(const QString &deployFolder, const QString &zipName, const QString &made)
{
    if (running_)
        return;
    const PackageJob job = [deployFolder, zipName](const PackProgress &progress) {
        return pack_deployment(deployFolder, zipName, progress);
    };
    const PackageResult result = run(job, QStringLiteral("Packing the program into ") + zipName + QStringLiteral(" ..."));
    exportmessages::showDeployment(result, made, deployFolder + zipName);
}

PackageResult ExportRun::run(const PackageJob &job, const QString &label)
{
    if (running_)
        return PackageResult{PackageResult::PackFailed, {}, QStringLiteral("An export is running already.")};
    running_ = true;
    cancel_ = false;
    permille_ = 0;
    const auto ended = qScopeGuard([this] { running_ = false; });

    InputBlock block(window_);

    QProgressDialog dialog(window_);
    dialog.setObjectName(QStringLiteral("dlg_export_progress"));
    dialog.setWindowTitle(QStringLiteral("Export"));
    dialog.setWindowModality(Qt::WindowModal);
    dialog.setLabelText(label);
    dialog.setCancelButtonText(QStringLiteral("Cancel"));
    auto *bar = new QProgressBar(&dialog);
    bar->setRange(0, 1000);
    bar->setTextVisible(false);
    dialog.setBar(bar);
    dialog.setRange(0, 1000);
    dialog.setAutoClose(false);
    dialog.setAutoReset(false);
    dialog.setMinimumDuration(kDialogDelayMs);
    // Cancel stays in view, saying that the packing is stopping, until it
    // has stopped: only then is the package known to be as it was.
    disconnect(&dialog, &QProgressDialog::canceled, &dialog, nullptr);
    connect(&dialog, &QProgressDialog::canceled, &dialog, [this, &dialog] {
        if (cancel_.exchange(true))
            return;
        dialog.setLabelText(QStringLiteral("Stopping the export ..."));
        if (auto *cancel = dialog.findChild<QPushButton *>())
            cancel->setEnabled(false);
    });

    PackageResult result{PackageResult::PackFailed, {}, QStringLiteral("The export did not run.")};
    const TestHook hook = testHook();
    const PackProgress progress = [this, hook](double done) {
        if (hook && !hook(done))
            cancel_ = true;
        permille_ = int(done * 1000.0);
        return !cancel_;
    };
    std::unique_ptr<QThread> thread(QThread::create([&result, &job, &progress] { result = job(progress); }));
    thread->setObjectName(QStringLiteral("export"));

    QEventLoop loop;
    connect(thread.get(), &QThread::finished, &loop, &QEventLoop::quit);
    QTimer showDialog;
    showDialog.setSingleShot(true);
    connect(&showDialog, &QTimer::timeout, &dialog, [&dialog, &thread] {
        if (!thread->isFinished())
            dialog.show();
    });
    QTimer follow;
    connect(&follow, &QTimer::timeout, bar, [this, bar] { bar->setValue(permille_); });

    thread->start();
    showDialog.start(kDialogDelayMs);
    follow.start(50);
    if (!thread->isFinished())
        loop.exec();
    // The loop also ends when the program is told to quit: the packing is
    // then stopped and waited for.
    if (!thread->isFinished())
        cancel_ = true;
    thread->wait();
    return result;
}
