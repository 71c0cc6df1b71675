// Every timed figure of the program against a peer measured in the same run,
// printed as a ratio beside its target; run by hand, never by CTest.
//
//   vantel_bench_all [--events N] [--lines M] [--steps S] [--rounds R] [--keep DIR]
//   vantel_bench_all app 0        (in a kept work folder: the start-up alone, to profile it)
//
// A data folder of N events (100,000) and M date lines (5 x N) is generated
// first. Each figure is then measured in a process of its own, so that one
// measurement's memory and caches do not colour the next:
//
//   read / write   the data-file reader and writer     Python's csv module (peer_csv.py)
//   save           Save in the main window, checks     Python writing the three files with
//                  included, nothing edited            fsync (the same run of peer_csv.py)
//   export         Export into Vantel.zip              zip -9 -j of the same files
//   start-up       the program's start on the folder   vantel_bench_bare: maps the files,
//                  until the list is filled and the    splits the fields and fills a table
//                  first event selected; peak memory   view
//   switching      Down in the event list, per step    the bare program moving its row
//
// The window runs on the offscreen platform. --keep DIR leaves the folders there.
#include "datafiles.h"
#include "definition.h"
#include "externals.h"
#include "generate.h"
#include "globals.h"
#include "launch.h"
#include "package.h"
#include "peakmemory.h"
#include "recordset.h"
#include "runtime.h"
#include "startfolder.h"
#include "vantel.h"
#include "w_event.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <map>
#include <string>
#include <thread>
#include <unistd.h>

#include "datawindow.h"

namespace {

const QStringList kFiles = {QStringLiteral("VantelAdmin.txt"), QStringLiteral("VantelEvents.txt"),
                            QStringLiteral("VantelEventDates.txt")};

qint64 monotonicNs()
{
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return qint64(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

double seconds(const QElapsedTimer &t) { return double(t.nsecsElapsed()) / 1e9; }

qint64 folderBytes(const QString &dir)
{
    qint64 n = 0;
    for (const QString &f : kFiles)
        n += QFileInfo(dir + f).size();
    return n;
}

bool sameFiles(const QString &a, const QString &b)
{
    for (const QString &f : kFiles) {
        QFile x(a + f), y(b + f);
        if (!x.open(QIODevice::ReadOnly) || !y.open(QIODevice::ReadOnly) || x.readAll() != y.readAll())
            return false;
    }
    return true;
}

void copyFolder(const QString &from, const QString &to)
{
    QDir().mkpath(to);
    for (const QString &f : kFiles) {
        QFile::remove(to + f);
        QFile::copy(from + f, to + f);
    }
}

// ---- children ------------------------------------------------------------------

// The reader and the writer of the data layer, alone.
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
    const int rc = datafiles::saveAll({{&admin, out + kFiles[0]}, {&events, out + kFiles[1]}, {&dates, out + kFiles[2]}});
    const double write = seconds(t);
    std::printf("read %.6f\nwrite %.6f\nsame %d\n", read, write, rc == 1 && sameFiles(dir, out) ? 1 : 0);
    return 0;
}

// The program started in the current folder (its vantel.ini names the data
// folder), then Down pressed in the event list, then Save with nothing
// edited.
int childApp(int argc, char **argv, int steps)
{
    const qint64 t0 = qgetenv("VANTEL_BENCH_T0").toLongLong();
    launch::settleAllocator(); // as the program's main does
    QApplication qapp(argc, argv);
    int boxes = 0;
    rt::setMessageBoxResponder([&boxes](const rt::MessageBoxCall &call) {
        ++boxes;
        std::fprintf(stderr, "message box: %s: %s\n", qPrintable(call.title), qPrintable(call.text));
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
    DataWindow *list = w->findChild<DataWindow *>(QStringLiteral("dw_event_list"));
    QElapsedTimer limit;
    limit.start();
    while (!(w->document().events().RowCount() > 0 && list->GetRow() == 1 && !w->is_event_id.isEmpty())) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        if (limit.elapsed() > 600000)
            return 3;
    }
    QCoreApplication::processEvents();
    w->repaint();
    const double ready = double(monotonicNs() - t0) / 1e9;
    const long hwm = vmHwmKb();
    if (steps == 0) { // start-up alone, for profiling
        std::printf("ready %.6f\nhwm_kb %ld\n", ready, hwm);
        std::fflush(stdout);
        _exit(0);
    }

    // Switching: the list page in front, its grid with the focus.
    w->SelectTab(QStringLiteral("tabpage_event_list"));
    QTableView *grid = list->gridView();
    grid->setFocus();
    QCoreApplication::processEvents();
    QElapsedTimer t;
    t.start();
    for (int i = 0; i < steps; ++i) {
        QTest::keyClick(grid, Qt::Key_Down);
        QCoreApplication::processEvents();
    }
    const double perStep = seconds(t) / steps;
    const long row = list->GetRow();

    // Save, as the button does, with nothing edited.
    auto *save = w->findChild<QPushButton *>(QStringLiteral("pb_save"));
    w->document().setModified(true);
    t.restart();
    save->click();
    const double saved = seconds(t);
    std::printf("ready %.6f\nhwm_kb %ld\nstep %.9f\nrow %ld\nsave %.6f\nsaved %d\nboxes %d\n", ready, hwm, perStep,
                row, saved, save->isEnabled() ? 0 : 1, boxes);
    std::fflush(stdout);
    _exit(0); // the window's teardown is not part of any figure
}

// ---- the driver -----------------------------------------------------------------

using Values = std::map<std::string, double>;

Values runChild(const QString &program, const QStringList &args, const QString &workDir = QString())
{
    QProcess p;
    p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    if (!workDir.isEmpty())
        p.setWorkingDirectory(workDir);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("VANTEL_BENCH_T0"), QString::number(monotonicNs()));
    p.setProcessEnvironment(env);
    p.start(program, args);
    Values v;
    if (!p.waitForFinished(-1) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        std::fprintf(stderr, "%s %s failed (exit %d)\n", qPrintable(program), qPrintable(args.join(' ')), p.exitCode());
        return v;
    }
    for (const QByteArray &line : p.readAllStandardOutput().split('\n')) {
        const qsizetype sp = line.indexOf(' ');
        if (sp > 0)
            v[line.left(sp).toStdString()] = line.mid(sp + 1).toDouble();
    }
    return v;
}

struct ZipFigure {
    double wall = 0;
    qint64 bytes = 0;
    bool ok = false;
};

bool soundArchive(const QString &archive)
{
    QProcess test, list;
    test.start(QStringLiteral("unzip"), {QStringLiteral("-tqq"), archive});
    list.start(QStringLiteral("unzip"), {QStringLiteral("-Z1"), archive});
    return test.waitForFinished(-1) && test.exitCode() == 0 && list.waitForFinished(-1)
           && QString::fromUtf8(list.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts) == kFiles;
}

ZipFigure exportOnce(const QString &dir)
{
    QFile::remove(dir + QStringLiteral("Vantel.zip"));
    ZipFigure f;
    QElapsedTimer t;
    t.start();
    const PackageResult r = pack_data_files(dir, kFiles, QStringLiteral("Vantel.zip"));
    f.wall = seconds(t);
    f.bytes = QFileInfo(dir + QStringLiteral("Vantel.zip")).size();
    f.ok = r.kind == PackageResult::Ok && soundArchive(dir + QStringLiteral("Vantel.zip"));
    return f;
}

ZipFigure zipOnce(const QString &dir, const QString &archive)
{
    QFile::remove(archive);
    QStringList args = {QStringLiteral("-q"), QStringLiteral("-9"), QStringLiteral("-j"), archive};
    for (const QString &name : kFiles)
        args << dir + name;
    ZipFigure f;
    QProcess zip;
    QElapsedTimer t;
    t.start();
    zip.start(QStringLiteral("zip"), args);
    f.ok = zip.waitForFinished(-1) && zip.exitStatus() == QProcess::NormalExit && zip.exitCode() == 0;
    f.wall = seconds(t);
    f.bytes = QFileInfo(archive).size();
    f.ok = f.ok && soundArchive(archive);
    return f;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

// One line of the table: the figure, its peer, the ratio and the target.
void row(const char *what, const QString &ours, const QString &peer, double ratio, const char *cmp, double target)
{
    const bool pass = std::strcmp(cmp, "<=") == 0 ? ratio <= target : ratio >= target;
    std::printf("  %-22s %-24s %-24s %7.2fx   %s %.1fx  %s\n", what, qPrintable(ours), qPrintable(peer), ratio, cmp,
                target, pass ? "PASS" : "MISS");
}

QString fmt(const char *format, double v) { return QString::asprintf(format, v); }

int driver(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    long events = 100000, lines = -1;
    int steps = 200, rounds = 1;
    QString keep;
    const QStringList args = app.arguments();
    static const char usage[] = "usage: vantel_bench_all [--events N] [--lines M] [--steps S] [--rounds R]"
                                " [--keep DIR]\n"
                                "  --events N  events in the generated data folder (100000)\n"
                                "  --lines M   date lines (5 x the events)\n"
                                "  --steps S   Down presses in the event list (200)\n"
                                "  --rounds R  measurements of each figure (1)\n"
                                "  --keep DIR  generate into DIR and leave it there\n";
    for (int i = 1; i < args.size(); i += 2) {
        if (args[i] == "--help" || args[i] == "-h") {
            std::fputs(usage, stdout);
            return 0;
        }
        static const QStringList options = {"--events", "--lines", "--steps", "--rounds", "--keep"};
        if (i + 1 >= args.size() || !options.contains(args[i])) {
            std::fputs(usage, stderr);
            return 2;
        }
        if (args[i] == "--events")
            events = args[i + 1].toLong();
        else if (args[i] == "--lines")
            lines = args[i + 1].toLong();
        else if (args[i] == "--steps")
            steps = args[i + 1].toInt();
        else if (args[i] == "--rounds")
            rounds = std::max(1, args[i + 1].toInt());
        else if (args[i] == "--keep")
            keep = args[i + 1];
    }
    if (lines < 0)
        lines = events * 5;
    if (!keep.isEmpty() && !QDir().mkpath(keep)) {
        std::fprintf(stderr, "cannot make the folder %s\n", qPrintable(keep));
        return 1;
    }
    QTemporaryDir tmp(keep.isEmpty() ? QDir::tempPath() + QStringLiteral("/vantel-bench-XXXXXX")
                                     : keep + QStringLiteral("/vantel-bench-XXXXXX"));
    if (!tmp.isValid()) { // an empty path would put every folder below /
        std::fprintf(stderr, "cannot make a work folder: %s\n", qPrintable(tmp.errorString()));
        return 1;
    }
    tmp.setAutoRemove(keep.isEmpty());
    const QString root = tmp.path() + QLatin1Char('/');
    const QString data = root + QStringLiteral("data/");
    generate(data, events, lines);
    const qint64 bytes = folderBytes(data);
    const double mb = double(bytes) / 1e6;
    const QString self = QCoreApplication::applicationFilePath();
    const QString bin = QCoreApplication::applicationDirPath() + QLatin1Char('/');
    qputenv("XDG_DATA_HOME", (root + QStringLiteral("xdg")).toLocal8Bit());
    qputenv("XDG_RUNTIME_DIR", (root + QStringLiteral("run")).toLocal8Bit());
    QDir().mkpath(root + QStringLiteral("run"));
    QFile::setPermissions(root + QStringLiteral("run"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    std::printf("Vantel against its peers: %ld events, %ld date lines, %.1f MB of data files in %s\n", events, lines,
                mb, qPrintable(data));
    std::printf("  %u cores; each figure measured in a process of its own\n\n", std::thread::hardware_concurrency());

    // Reading and writing: the data layer, then Python.
    const Values io = runChild(self, {QStringLiteral("io"), data, root + QStringLiteral("io/")});
    const Values py = runChild(QStringLiteral("python3"), {QStringLiteral(VANTEL_BENCH_SOURCE_DIR "/peer_csv.py"), data,
                                                           root + QStringLiteral("py/")});

    // The program: start-up, switching and save, on a copy of the folder
    // named by the settings file of a working folder of its own.
    const QString work = root + QStringLiteral("work/");
    const QString appData = work + QStringLiteral("Files/");
    copyFolder(data, appData);
    {
        QFile ini(work + QStringLiteral("vantel.ini"));
        ini.open(QIODevice::WriteOnly);
        ini.write("[General]\r\nApp=" + work.toUtf8() + "\r\nFiles=" + appData.toUtf8() + "\r\n");
    }
    const Values prog = runChild(self, {QStringLiteral("app"), QString::number(steps)}, work);
    const Values bare = runChild(bin + QStringLiteral("vantel_bench_bare"), {data, QString::number(steps)});
    const bool savedSame = prog.count("saved") && prog.at("saved") == 1 && sameFiles(data, appData);

    // Export against zip -9, taking turns.
    // The zip component is registered in this run's own registry (XDG_DATA_HOME).
    std::vector<double> exportWall, zipWall;
    ZipFigure e, z;
    bool zipOk = ext::RegisterAX(ext::zip_component_library, 1) == 0;
    for (int i = 0; i < rounds && zipOk; ++i) {
        e = exportOnce(data);
        z = zipOnce(data, root + QStringLiteral("peer.zip"));
        zipOk = e.ok && z.ok;
        exportWall.push_back(e.wall);
        zipWall.push_back(z.wall);
    }

    auto get = [](const Values &v, const char *k) { return v.count(k) ? v.at(k) : std::nan(""); };
    std::printf("  %-22s %-24s %-24s %8s   %s\n", "figure", "Vantel", "peer", "ratio", "target");
    const double readMb = mb / get(io, "read"), pyReadMb = mb / get(py, "read");
    const double writeMb = mb / get(io, "write"), pyWriteMb = mb / get(py, "write");
    row("read", fmt("%.0f MB/s", readMb), fmt("%.0f MB/s python csv", pyReadMb), readMb / pyReadMb, ">=", 3.0);
    row("write (fsync)", fmt("%.0f MB/s", writeMb), fmt("%.0f MB/s python csv", pyWriteMb), writeMb / pyWriteMb, ">=",
        3.0);
    row("save (checks+write)", fmt("%.3f s", get(prog, "save")), fmt("%.3f s python+fsync", get(py, "write")),
        get(prog, "save") / get(py, "write"), "<=", 0.6);
    if (!exportWall.empty()) {
        const double ew = median(exportWall), zw = median(zipWall);
        row("export time", fmt("%.2f s", ew), fmt("%.2f s zip -9", zw), ew / zw, "<=", 0.5);
        row("export size", QString::number(e.bytes) + " B", QString::number(z.bytes) + " B zip -9",
            double(e.bytes) / double(z.bytes), "<=", 1.0);
    }
    row("start-up", fmt("%.3f s", get(prog, "ready")), fmt("%.3f s bare", get(bare, "ready")),
        get(prog, "ready") / get(bare, "ready"), "<=", 1.0);
    row("peak memory", fmt("%.0f MB", get(prog, "hwm_kb") / 1024), fmt("%.0f MB bare", get(bare, "hwm_kb") / 1024),
        get(prog, "hwm_kb") * 1024 / double(bytes), "<=", 1.5);
    std::printf("  %-22s %-24s %-24s (multiple of the files' %.0f MB; the bare program %.2fx)\n", "", "", "", mb,
                get(bare, "hwm_kb") * 1024 / double(bytes));
    row("switching (Down)", fmt("%.3f ms", get(prog, "step") * 1e3), fmt("%.3f ms bare", get(bare, "step") * 1e3),
        get(prog, "step") / get(bare, "step"), "<=", 1.0);
    std::printf("\n  checks: reader/writer round trip %s; save %s and left the files %s; %d message box(es); "
                "Down reached row %.0f of %d; unzip -t and entry order %s\n",
                get(io, "same") == 1 ? "byte-identical" : "DIFFERS",
                get(prog, "saved") == 1 ? "succeeded" : "FAILED", savedSame ? "byte-identical" : "CHANGED",
                int(get(prog, "boxes")), get(prog, "row"), steps + 1, zipOk ? "ok" : "FAILED");
    if (!keep.isEmpty())
        std::printf("  folders kept in %s\n", qPrintable(root));
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc == 4 && std::strcmp(argv[1], "io") == 0) {
        QCoreApplication app(argc, argv);
        return childIo(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]));
    }
    if (argc == 3 && std::strcmp(argv[1], "app") == 0)
        return childApp(1, argv, std::max(0, std::atoi(argv[2])));
    return driver(argc, argv);
}
