// Export without freezing: the window goes on while the package is made, a
// progress dialog with Cancel shows from half a second on, Cancel leaves the
// old package as it was, and neither editing nor saving is possible
// meanwhile. The packing is slowed down through the run's test hook, which
// the real zip component calls at every progress report.
#include "editor_fixture.h"

#include "exportrun.h"

#include <QElapsedTimer>
#include <QLineEdit>
#include <QProgressDialog>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <thread>

using namespace editor_tests;

namespace {

const QStringList kDataFiles = {"VantelAdmin.txt", "VantelEvents.txt", "VantelEventDates.txt"};

class ExportRunTest : public MainWindowTest {
protected:
    void TearDown() override
    {
        ExportRun::setTestHook({});
        MainWindowTest::TearDown();
    }

    QString zip() const { return dataDir() + "Vantel.zip"; }
    QStringList dataFolderEntries() const
    {
        QStringList e = QDir(dataDir()).entryList(QDir::Files | QDir::Hidden | QDir::Dirs | QDir::NoDotAndDotDot);
        e.sort();
        return e;
    }
    static QStringList withPackage()
    {
        QStringList e = kDataFiles;
        e << "Vantel.zip";
        e.sort();
        return e;
    }
    // Every progress report of the packing takes `ms` longer.
    void slowDown(int ms)
    {
        ExportRun::setTestHook([this, ms](double) {
            ++reports;
            std::this_thread::sleep_for(std::chrono::milliseconds(ms));
            return true;
        });
    }
    QProgressDialog *progressDialog() const
    {
        return w->findChild<QProgressDialog *>("dlg_export_progress");
    }
    // Runs `step` every 20 ms while the export that `click` starts goes on.
    void duringExport(std::function<void()> step)
    {
        auto *t = new QTimer(w.get());
        t->setInterval(20);
        QObject::connect(t, &QTimer::timeout, w.get(), std::move(step));
        t->start();
        watcher_ = t;
    }
    void stopWatching() { delete watcher_.data(); }
    // The caption timer, made to tick every `ms` instead of every 5 s.
    QTimer *quickenCaption(int ms)
    {
        for (QTimer *t : w->findChildren<QTimer *>())
            if (t->interval() == 5000 && t->isActive()) {
                t->setInterval(ms);
                return t;
            }
        return nullptr;
    }
    // A first package, made without delay; its bytes.
    QByteArray exportOnce()
    {
        click("pb_export");
        EXPECT_EQ(boxes.calls().size(), 1u);
        boxes.clear();
        return readData("Vantel.zip");
    }

    std::atomic<int> reports{0};
    QPointer<QTimer> watcher_;
};

TEST_F(ExportRunTest, TheWindowGoesOnAndTheDialogShowsFromHalfASecond)
{
    writeEvents(3, 2);
    openWindow();
    const QByteArray quick = exportOnce();
    ASSERT_FALSE(quick.isEmpty());
    QFile::remove(zip());

    // While the packing runs: a timer of the test, the window's caption
    // timer, painting, and the progress dialog.
    QLabel *caption = child<QLabel>("st_messages");
    ASSERT_NE(quickenCaption(100), nullptr);
    QStringList captions;
    int paints = 0;
    struct PaintCounter : QObject {
        int &n;
        explicit PaintCounter(int &count) : n(count) {}
        bool eventFilter(QObject *, QEvent *e) override
        {
            if (e->type() == QEvent::Paint)
                ++n;
            return false;
        }
    } counter(paints);
    QWidget *page = tabs()->currentWidget();
    page->installEventFilter(&counter);
    int ticks = 0;
    qint64 dialogShownAt = -1;
    bool windowModal = false;
    QElapsedTimer clock;
    duringExport([&] {
        ++ticks;
        page->update();
        if (!captions.contains(caption->text()))
            captions << caption->text();
        QProgressDialog *d = progressDialog();
        if (dialogShownAt < 0 && d && d->isVisible()) {
            dialogShownAt = clock.elapsed();
            windowModal = d->windowModality() == Qt::WindowModal;
        }
    });
    slowDown(80);
    clock.start();
    click("pb_export");
    const qint64 took = clock.elapsed();
    stopWatching();
    page->removeEventFilter(&counter);

    ASSERT_GT(took, 900) << "the slowed packing should take about a second";
    EXPECT_GT(ticks, 20);
    EXPECT_GT(paints, 5);
    EXPECT_GE(captions.size(), 4) << captions.join(", ").toStdString();
    EXPECT_GE(dialogShownAt, ExportRun::kDialogDelayMs - 50);
    EXPECT_LT(dialogShownAt, took);
    EXPECT_TRUE(windowModal);
    EXPECT_EQ(progressDialog(), nullptr); // gone with the run

    // The same package and the same message as an export that is quick.
    ASSERT_EQ(boxes.calls().size(), 1u);
    EXPECT_EQ(boxes.calls()[0].title, "Export");
    EXPECT_EQ(boxes.calls()[0].text, w->message(14));
    EXPECT_EQ(readData("Vantel.zip"), quick);
    EXPECT_EQ(dataFolderEntries(), withPackage());
}

TEST_F(ExportRunTest, CancelLeavesTheOldPackageAndNoTemporaryFile)
{
    writeEvents(3, 2);
    openWindow();
    const QByteArray old = exportOnce();
    ASSERT_FALSE(old.isEmpty());
    writeEventFiles(5, 3, true); // newer files, a different package

    int reportsAtCancel = -1;
    duringExport([&] {
        QProgressDialog *d = progressDialog();
        if (reportsAtCancel >= 0 || !d || !d->isVisible())
            return;
        auto *cancel = d->findChild<QPushButton *>();
        ASSERT_NE(cancel, nullptr);
        reportsAtCancel = reports;
        QTest::mouseClick(cancel, Qt::LeftButton);
    });
    slowDown(80);
    click("pb_export");
    stopWatching();

    ASSERT_GE(reportsAtCancel, 0) << "the dialog never showed";
    // The packing stops at the next report after Cancel.
    EXPECT_LE(reports - reportsAtCancel, 2);
    ASSERT_EQ(boxes.calls().size(), 1u);
    EXPECT_EQ(boxes.calls()[0].title, "Export");
    EXPECT_EQ(boxes.calls()[0].text, "Export cancelled; the previous package is unchanged.");
    EXPECT_EQ(readData("Vantel.zip"), old);
    EXPECT_EQ(dataFolderEntries(), withPackage());
}

// Stopped at each of its progress reports in turn, the export leaves the old
// package and nothing else.
TEST_F(ExportRunTest, StoppedAtAnyPointTheOldPackageStays)
{
    writeEvents(4, 2);
    openWindow();
    const QByteArray old = exportOnce();
    writeEventFiles(6, 2, true);
    // The reports of a whole export.
    int all = 0;
    ExportRun::setTestHook([&all](double) { return ++all > 0; });
    const QByteArray renewed = exportOnce();
    ASSERT_NE(renewed, old);
    ASSERT_GT(all, 3);
    writeData("Vantel.zip", old);

    // (How often the compressing is looked at depends on its speed: an
    // export may make fewer reports than the one counted.)
    for (int stopAt = 1; stopAt <= all; ++stopAt) {
        SCOPED_TRACE(stopAt);
        int n = 0;
        ExportRun::setTestHook([&n, stopAt](double) { return ++n < stopAt; });
        click("pb_export");
        ASSERT_EQ(boxes.calls().size(), 1u);
        if (n < stopAt) { // never asked to stop
            EXPECT_EQ(boxes.calls()[0].text, w->message(14));
            writeData("Vantel.zip", old);
            boxes.clear();
            continue;
        }
        EXPECT_EQ(boxes.calls()[0].text, "Export cancelled; the previous package is unchanged.");
        EXPECT_EQ(n, stopAt);
        EXPECT_EQ(readData("Vantel.zip"), old);
        EXPECT_EQ(dataFolderEntries(), withPackage());
        boxes.clear();
    }
}

TEST_F(ExportRunTest, WithoutAnOldPackageCancelSaysNoneWasMade)
{
    writeEvents(2);
    openWindow();
    ExportRun::setTestHook([](double) { return false; });
    click("pb_export");
    ASSERT_EQ(boxes.calls().size(), 1u);
    EXPECT_EQ(boxes.calls()[0].text, "Export cancelled; no zip file was created.");
    QStringList files = kDataFiles;
    files.sort();
    EXPECT_EQ(dataFolderEntries(), files);
}

// Neither editing nor saving nor closing during an export: before the
// dialog shows and while it shows.
TEST_F(ExportRunTest, NoEditingSavingOrClosingWhileItRuns)
{
    writeEvents(2);
    openWindow();
    ASSERT_EQ(w->SelectTab("tabpage_events_detail"), 1);
    typeInto("dw_events", "name", "Fair");
    ASSERT_TRUE(button("pb_save")->isEnabled());
    const QByteArray events = readData("VantelEvents.txt");
    auto *name = qobject_cast<QLineEdit *>(dw("dw_events")->editorFor("name"));
    ASSERT_NE(name, nullptr);

    int early = 0, late = 0;
    duringExport([&] {
        QProgressDialog *d = progressDialog();
        const bool shown = d && d->isVisible();
        int &tries = shown ? late : early;
        if (tries >= 2)
            return;
        ++tries;
        QTest::keyClicks(name, "x");
        QTest::keyClick(name, Qt::Key_S, Qt::ControlModifier);
        QTest::mouseClick(button("pb_save"), Qt::LeftButton);
        EXPECT_EQ(w->pb_save_clicked(), 3);
        EXPECT_FALSE(w->close());
        EXPECT_TRUE(w->isVisible());
    });
    slowDown(80);
    click("pb_export");
    stopWatching();

    EXPECT_EQ(early, 2);
    EXPECT_EQ(late, 2);
    EXPECT_EQ(name->text(), "Fair");
    EXPECT_EQ(readData("VantelEvents.txt"), events);
    EXPECT_TRUE(button("pb_save")->isEnabled());
    ASSERT_EQ(boxes.calls().size(), 1u);
    EXPECT_EQ(boxes.calls()[0].text, w->message(14));

    // Afterwards the window takes input again.
    activateMainWindow();
    name->setFocus(Qt::MouseFocusReason);
    QTest::keyClicks(name, "!");
    EXPECT_TRUE(name->text().endsWith("!"));
}

} // namespace
