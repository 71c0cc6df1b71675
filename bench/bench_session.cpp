#include "bench_session.h"

#include "bench_run.h"
#include "datafiles.h"
#include "datawindow.h"
#include "definition.h"
#include "globals.h"
#include "helvex1calls.h"
#include "launch.h"
#include "peakmemory.h"
#include "recordset.h"
#include "runtime.h"
#include "startfolder.h"
#include "vantel.h"
#include "w_event.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

namespace {

const QStringList kFiles = {QStringLiteral("VantelAdmin.txt"), QStringLiteral("VantelEvents.txt"),
                            QStringLiteral("VantelEventDates.txt")};

double seconds(const QElapsedTimer &t) { return double(t.nsecsElapsed()) / 1e9; }

bool sameFiles(const QString &a, const QString &b)
{
    for (const QString &f : kFiles) {
        QFile x(a + f), y(b + f);
        if (!x.open(QIODevice::ReadOnly) || !y.open(QIODevice::ReadOnly) || x.readAll() != y.readAll())
            return false;
    }
    return true;
}

// The longest time the event loop was kept from running over `ms`: a
// timer asks every 5 ms and the largest gap between its calls counts.
double longestStallMs(int ms)
{
    QElapsedTimer clock;
    clock.start();
    qint64 last = 0, worst = 0;
    QTimer tick;
    tick.setInterval(5);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        worst = std::max(worst, now - last);
        last = now;
    });
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    tick.start();
    loop.exec();
    return double(std::max(worst, clock.nsecsElapsed() - last)) / 1e6;
}

bool activate(QWidget *w)
{
    w->activateWindow();
    if (QWindow *handle = w->windowHandle())
        handle->requestActivate();
    return QTest::qWaitFor([w] { return QApplication::activeWindow() == w; }, 2000);
}

} // namespace

int childIo(const QString &dir, const QString &out)
{
    RecordSet admin(definition("d_admin")), events(definition("d_list")), dates(definition("d_event_dates"));
    RecordSet *sets[] = {&admin, &events, &dates};
    QElapsedTimer t;
    t.start();
    for (int i = 0; i < 3; ++i)
        sets[i]->ImportFile(dir + kFiles[i]);
    const double read = seconds(t);
    QDir().mkpath(out);
    t.restart();
    const bool saved
        = datafiles::saveAll({{&admin, out + kFiles[0]}, {&events, out + kFiles[1]}, {&dates, out + kFiles[2]}}).ok();
    const double write = seconds(t);
    std::printf("read %.6f\nwrite %.6f\nsame %d\nrows_events %ld\nrows_dates %ld\n", read, write,
                saved && sameFiles(dir, out) ? 1 : 0, events.RowCount(), dates.RowCount());
    return 0;
}

int childSession(int argc, char **argv, int steps, bool exportToo)
{
    const qint64 t0 = qgetenv("VANTEL_BENCH_T0").toLongLong();
    launch::settleAllocator(); // as the program's main does
    ext::useHelvex1();
    QApplication qapp(argc, argv);
    QStringList boxes;
    rt::setMessageBoxResponder([&boxes](const rt::MessageBoxCall &call) {
        boxes << call.title + QStringLiteral(": ") + call.text.left(40);
        return 1;
    });
    w_event *w = nullptr;
    vantel app([&w] {
        if (!launch::lockDataFolder(datafiles::dataFolderAtStart(gs_directory)))
            return false;
        w = new w_event;
        w->open();
        return true;
    });
    app.create();
    if (!app.open() || !w)
        return 2;
    // Usable: the window shows its first page (the admin record), every
    // event is loaded and the first one is chosen. The event pages are
    // built when the first of them shows: that is timed on its own below.
    QElapsedTimer limit;
    limit.start();
    while (!(w->document().events().RowCount() > 0 && !w->is_event_id.isEmpty())) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        if (limit.elapsed() > 600000)
            return 3;
    }
    QCoreApplication::processEvents();
    w->repaint();
    const double ready = double(monotonicNs() - t0) / 1e9;
    std::printf("ready %.6f\nhwm_start_kb %ld\nrows %ld\n", ready, vmHwmKb(), w->document().events().RowCount());
    if (steps == 0) { // the start alone, for profiling
        std::fflush(stdout);
        _exit(0);
    }
    std::printf("stall_ms %.3f\n", longestStallMs(1000));

    // Switching: the list page in front (its first showing timed, painted),
    // its grid with the focus.
    std::printf("active %d\n", activate(w) ? 1 : 0);
    QElapsedTimer first;
    first.start();
    w->SelectTab(QStringLiteral("tabpage_event_list"));
    QCoreApplication::processEvents();
    w->repaint();
    std::printf("first_switch_ms %.3f\n", seconds(first) * 1e3);
    DataWindow *list = w->findChild<DataWindow *>(QStringLiteral("dw_event_list"));
    if (!list || list->GetRow() != 1)
        return 5;
    QTableView *grid = list->gridView();
    grid->setFocus();
    QCoreApplication::processEvents();
    QElapsedTimer t, one;
    double worst = 0;
    t.start();
    for (int i = 0; i < steps; ++i) {
        one.start();
        QTest::keyClick(grid, Qt::Key_Down);
        QCoreApplication::processEvents();
        worst = std::max(worst, seconds(one));
    }
    std::printf("step %.9f\nstep_max %.6f\nrow %ld\nedited_id %s\n", seconds(t) / steps, worst, list->GetRow(),
                qPrintable(w->is_event_id));

    // The name of that event typed anew on the detail page, then Save clicked.
    w->SelectTab(QStringLiteral("tabpage_events_detail"));
    QWidget *name = w->findChild<DataWindow *>(QStringLiteral("dw_events"))->editorFor(QStringLiteral("name"));
    if (!name)
        return 4;
    name->setFocus(Qt::MouseFocusReason);
    QCoreApplication::processEvents();
    QTest::keyClick(name, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(name, QString::fromLatin1(kEditedName));
    QCoreApplication::processEvents();

    auto *save = w->findChild<QPushButton *>(QStringLiteral("pb_save"));
    const bool edited = save->isEnabled();
    t.restart();
    save->click();
    std::printf("save %.6f\nsaved %d\nhwm_save_kb %ld\n", seconds(t), edited && !save->isEnabled() ? 1 : 0, vmHwmKb());
    if (exportToo) {
        const QString zip = gs_directory + gs_zip_filename;
        QFile::remove(zip);
        t.restart();
        w->findChild<QPushButton *>(QStringLiteral("pb_export"))->click();
        std::printf("export %.6f\nexported %d\n", seconds(t), QFileInfo::exists(zip) ? 1 : 0);
    }
    std::printf("boxes %lld\n", qlonglong(boxes.size()));
    for (qsizetype i = 0; i < boxes.size(); ++i)
        std::printf("box%lld %s\n", qlonglong(i + 1),
                    qPrintable(QString(boxes[i]).replace('\n', ' ').replace('\r', ' ')));
    std::printf("folder %s\nhwm_end_kb %ld\n", qPrintable(gs_directory), vmHwmKb());
    std::fflush(stdout);
    _exit(0); // the window's teardown is not part of any figure
}
