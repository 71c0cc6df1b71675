// Export without freezing the window. The packing runs on a thread of its
// own while the window goes on painting and its caption timer goes on
// ticking; from half a second on a window-modal progress dialog with Cancel
// shows. Until the run has ended the window takes no input (before the
// dialog shows as well), so nothing can be edited or saved meanwhile. Cancel
// stops the packing soon, between files or between the pieces the zip
// component compresses, and leaves the package as it was.
#pragma once

#include "package.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <atomic>
#include <functional>

class EventDocument;
class PackageMail;
class QWidget;

class ExportRun : public QObject {
    Q_OBJECT
public:
    // Runs on behalf of `window`, which it blocks while a run goes on.
    ExportRun(QWidget *window, const EventDocument &document);
    ~ExportRun() override;

    // Export (pb_export): packs the saved data files of `directory` into its
    // zip package and then shows the messages after export, and hands the
    // package to the mail program when the user asks for it. Returns when
    // the run has ended; nothing happens while another run is going on.
    void exportDataFiles(const QString &directory);
    // The developer packaging (cb_1): packs the program's files of
    // `deployFolder` into `zipName` there; `made` is the text shown when
    // the package was made.
    void exportDeployment(const QString &deployFolder, const QString &zipName, const QString &made);

    // Runs `job` off the window's thread and answers its result once it has
    // ended; meanwhile the program's events go on (a nested event loop, as a
    // modal dialog has). `label` is the text of the progress dialog.
    PackageResult run(const PackageJob &job, const QString &label);
    bool running() const { return running_; }

    // How long a run goes on before the progress dialog shows.
    static constexpr int kDialogDelayMs = 500;

    // Tests: called on the packing thread at every progress report of a
    // run, with the share done, before the run asks whether to go on;
    // answering false stops the run as Cancel does. Empty: none.
    using TestHook = std::function<bool(double done)>;
    static void setTestHook(TestHook hook);

private:
    QPointer<QWidget> window_;
    const EventDocument &document_;
    bool running_ = false;
    std::atomic<bool> cancel_{false};
    std::atomic<int> permille_{0};
    PackageMail *mail_;
};
