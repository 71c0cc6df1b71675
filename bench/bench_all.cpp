// Every timed figure of the program against a peer measured in the same run,
// printed as a ratio beside its target; run by hand, never by CTest.
#include "bench_folders.h"
#include "bench_run.h"
#include "bench_session.h"
#include "bench_table.h"
#include "generate.h"
#include "usage.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStorageInfo>
#include <QTemporaryDir>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <optional>
#include <thread>

namespace {

const char kUsage[] =
    "Usage: vantel_bench_all [--events N[,N...]] [--lines-per-event K] [--steps S] [--rounds R] [--keep DIR]\n"
    "       vantel_bench_all app 0     (in a kept work folder: the start-up alone, to profile it)\n"
    "\n"
    "For each number of events (default 10000,100000; 1000000 makes about 1.1 GB per copy) a data\n"
    "folder with K date lines per event (5) is generated twice, once as UTF-8 and once as\n"
    "Windows-1252, every line holding a non-ASCII character. Then, in R rounds (at least 5, the\n"
    "default), the program and its peers are measured, each in a process of its own, the program\n"
    "first in even rounds and the peers first in odd ones:\n"
    "\n"
    "  read / write          the data-file reader and writer    Python's csv module (peer_csv.py)\n"
    "  start-up              the main window until its first    vantel_bench_bare: maps the files,\n"
    "                        page is painted, every event       splits the fields, fills a table view\n"
    "                        loaded and the first one chosen\n"
    "  longest stall         the longest wait of the window's event loop in the second after the\n"
    "                        start, the first switch to the event list (its page built and\n"
    "                        painted) and the slowest of the Downs\n"
    "  switching (Down)      S Downs in the event list (300)    the bare program moving its row\n"
    "  save, small edit      Save after one name typed anew     Python writing the files with fsync\n"
    "  save, every line      the same on the Windows-1252 copy, Python reading Windows-1252 and\n"
    "                        so that every line is written anew writing UTF-8 with fsync\n"
    "  export                Export in the window               zip -9 -j of the same files\n"
    "  peak memory           at start, and over the whole session (start, Downs, edit, Save,\n"
    "                        Export): the process's high-water mark at its end, over the files' size\n"
    "\n"
    "A figure is the median of the rounds' ratios with their range; one whose check failed in any\n"
    "round (a save not byte for byte as expected, a damaged archive, a write outside the work\n"
    "folders, ...) is a MISS. With more than one size, the time per event at each size follows.\n"
    "The program runs on the offscreen platform in work folders of its own; the generated master\n"
    "copies are never written. --keep DIR makes the run's folder in DIR and leaves it there.\n";

struct Options {
    std::vector<long> sizes{10000, 100000};
    long linesPerEvent = 5;
    int steps = 300;
    int rounds = 5;
    QString keep;
};

std::optional<Options> parseOptions(const QStringList &args)
{
    Options o;
    for (int i = 1; i < args.size(); i += 2) {
        if (i + 1 >= args.size())
            return std::nullopt;
        const QString &v = args[i + 1];
        bool ok = true;
        if (args[i] == "--events") {
            o.sizes.clear();
            for (const QString &n : v.split(QLatin1Char(','))) {
                o.sizes.push_back(n.toLong(&ok));
                if (!ok || o.sizes.back() < 1)
                    return std::nullopt;
            }
        } else if (args[i] == "--lines-per-event") {
            o.linesPerEvent = v.toLong(&ok);
        } else if (args[i] == "--steps") {
            o.steps = v.toInt(&ok);
            ok = ok && o.steps > 0;
        } else if (args[i] == "--rounds") {
            o.rounds = std::max(5, v.toInt(&ok)); // fewer cannot give a median worth its name
        } else if (args[i] == "--keep") {
            o.keep = v;
        } else {
            return std::nullopt;
        }
        if (!ok || o.linesPerEvent < 0)
            return std::nullopt;
    }
    std::sort(o.sizes.begin(), o.sizes.end());
    return o;
}

QString loadAverage()
{
    QFile f(QStringLiteral("/proc/loadavg"));
    return f.open(QIODevice::ReadOnly) ? QString::fromLatin1(f.readAll()).section(QLatin1Char(' '), 0, 2)
                                       : QStringLiteral("?");
}

// Adds `why` to every figure in `figures` for round `r` when `ok` is false.
void check(bool ok, int r, const QString &why, std::initializer_list<Figure *> figures)
{
    if (!ok)
        for (Figure *f : figures)
            f->fail(r, why);
}

struct Run {
    QString root;       // this size's folder
    QString self, bare, peerScript;
    QString errors;     // where the children's standard error goes
    Environment env;
    Options opt;
};

struct Figures {
    Figure read{"read", "s", 1, "python csv", 0.33};
    Figure write{"write (fsync)", "s", 1, "python csv", 0.33};
    Figure startup{"start-up", "s", 1, "bare reader", 0.8};
    Figure usable{"start-up, window usable", "s", 1, "", 3.0, true};
    Figure stall{"longest stall after start", "ms", 1, "", 100, true};
    Figure firstSwitch{"first switch to the events", "ms", 1, "", 100, true};
    Figure slowestDown{"slowest Down", "ms", 1e3, "", 100, true};
    Figure switching{"switching (Down)", "ms", 1e3, "bare reader", 0.8};
    Figure saveSmall{"save, small edit", "s", 1, "python+fsync", 0.3};
    Figure saveWorst{"save, every line changed", "s", 1, "python+fsync", 0.3};
    Figure exportTime{"export", "s", 1, "zip -9", 0.35};
    Figure exportSize{"export size", "MB", 1e-6, "zip -9", 1.0};
    Figure memStart{"peak memory at start", "MB", 1e-6, "files"};
    Figure memSaved{"peak memory until Save", "MB", 1e-6, "files"};
    Figure memSession{"peak memory, session", "MB", 1e-6, "files", 1.2};
    Figure memBare{"peak memory, bare reader", "MB", 1e-6, "files"};
    std::vector<Figure *> all()
    {
        return {&read, &write, &startup, &usable, &stall, &firstSwitch, &slowestDown, &switching, &saveSmall,
                &saveWorst, &exportTime, &exportSize, &memStart, &memSaved, &memSession, &memBare};
    }
};

// Runs the program's side and the peers' side of one block, the program
// first in even rounds.
void alternate(int round, const std::function<void()> &program, const std::function<void()> &peers)
{
    if (round % 2 == 0) {
        program();
        peers();
    } else {
        peers();
        program();
    }
}

// Whether a session did its steps and stayed in its own folders.
QString sessionFault(const ChildRun &s, const QString &work, const QString &files, long events, int steps)
{
    QString why;
    if (!s.ok)
        return s.failure;
    if (s.values.num("rows") != events)
        return QStringLiteral("the list held %1 events").arg(s.values.num("rows"));
    if (s.values.num("row") != steps + 1)
        return QStringLiteral("Down reached row %1 of %2").arg(s.values.num("row")).arg(steps + 1);
    const QString folder = QString::fromUtf8(s.values.str("folder"));
    if (QFileInfo(folder).canonicalFilePath() != QFileInfo(files).canonicalFilePath())
        return QStringLiteral("the program worked in %1, not in %2").arg(folder, files);
    if (!settingsStayInside(work, &why))
        return why;
    return QString();
}

struct Expected {
    QString master, cp1252; // the generated copies
    double bytes;           // of the data files
    long events, lines;
    int steps;
    bool rowsOk(const Values &v) const
    {
        return v.num("rows_admin") == 1 && v.num("rows_events") == events && v.num("rows_dates") == lines;
    }
};

// Reader and writer, and the session on the UTF-8 copy; against Python, the
// bare reader and zip.
void measureSession(const Run &run, const Expected &x, int r, Figures &f)
{
    QString why;
    const QString work = run.root + QStringLiteral("work/");
    const QString files = prepareWorkFolder(x.master, work, &why);
    ChildRun io, session, py, bare, zip;
    const QString peerZip = run.root + QStringLiteral("peer.zip");
    alternate(
        r,
        [&] {
            io = runChild(run.self, {"io", x.master, run.root + "io/"}, QString(), run.env, run.errors);
            session = runChild(run.self, {"app", QString::number(x.steps), "1"}, work, run.env, run.errors);
        },
        [&] {
            py = runChild("python3", {run.peerScript, x.master, run.root + "py/"}, QString(), run.env, run.errors);
            bare = runChild(run.bare, {x.master, QString::number(x.steps)}, QString(), run.env, run.errors);
            QFile::remove(peerZip);
            QStringList args = {"-q", "-9", "-j", peerZip};
            for (const QString &name : kDataFiles)
                args << x.master + name;
            zip = runChild("zip", args, QString(), run.env, run.errors);
        });
    const Values &s = session.values;
    f.read.add(io.values.num("read"), py.values.num("read"));
    f.write.add(io.values.num("write"), py.values.num("write"));
    check(io.ok && io.values.num("same") == 1 && io.values.num("rows_events") == x.events
              && io.values.num("rows_dates") == x.lines,
          r, io.ok ? QStringLiteral("the reader and writer did not give the files back") : io.failure,
          {&f.read, &f.write});
    check(py.ok && x.rowsOk(py.values), r, py.ok ? QStringLiteral("Python read other rows") : py.failure,
          {&f.read, &f.write, &f.saveSmall});
    check(bare.ok && bare.values.num("rows") == x.events && bare.values.num("row") == x.steps + 1, r,
          bare.ok ? QStringLiteral("the bare reader held other rows") : bare.failure,
          {&f.startup, &f.switching, &f.memBare});

    const QString fault = files.isEmpty() ? why : sessionFault(session, work, files, x.events, x.steps);
    check(fault.isEmpty(), r, fault,
          {&f.startup, &f.usable, &f.stall, &f.firstSwitch, &f.slowestDown, &f.switching, &f.saveSmall,
           &f.exportTime, &f.exportSize, &f.memStart, &f.memSaved, &f.memSession});
    f.startup.add(s.num("ready"), bare.values.num("ready"));
    f.usable.add(s.num("ready"), std::nan(""));
    f.stall.add(s.num("stall_ms"), std::nan(""));
    f.firstSwitch.add(s.num("first_switch_ms"), std::nan(""));
    f.slowestDown.add(s.num("step_max"), std::nan(""));
    f.switching.add(s.num("step"), bare.values.num("step"));
    f.memStart.add(s.num("hwm_start_kb") * 1024, x.bytes);
    f.memSaved.add(s.num("hwm_save_kb") * 1024, x.bytes);
    // Each process's own high-water mark at its end: the system's account of
    // a spawned process starts from the peak of the one that spawned it
    // (posix_spawn shares its memory until the exec), here this benchmark's.
    f.memSession.add(s.num("hwm_end_kb") * 1024, x.bytes);
    f.memBare.add(bare.values.num("hwm_end_kb") * 1024, x.bytes);

    const long row = long(s.num("row"));
    const bool sameEvent = fault.isEmpty() && eventIdOfRow(x.master, row) == s.str("edited_id");
    check(sameEvent, r, QStringLiteral("the edited event is not the one Down reached"), {&f.saveSmall});
    const bool saved = s.num("saved") == 1 && savedAsEdited(x.master, files, row, kEditedName, &why);
    check(saved, r, s.num("saved") == 1 ? why : QStringLiteral("Save did not succeed"), {&f.saveSmall, &f.memSession});
    f.saveSmall.add(s.num("save"), py.values.num("write"));

    const QString zipPath = files + QStringLiteral("Vantel.zip");
    check(s.num("exported") == 1 && s.num("boxes") == 1 && s.str("box1").startsWith("Export: A zip file named"), r,
          QStringLiteral("Export did not end with its message (%1)").arg(QString::fromUtf8(s.str("box1"))),
          {&f.exportTime, &f.exportSize, &f.memSession});
    const bool packed = archiveHolds(zipPath, files, &why);
    check(packed, r, why, {&f.exportTime, &f.exportSize});
    const bool zipped = zip.ok && archiveHolds(peerZip, x.master, &why);
    check(zipped, r, zip.ok ? why : zip.failure, {&f.exportTime, &f.exportSize});
    f.exportTime.add(s.num("export"), zip.wall);
    f.exportSize.add(double(QFileInfo(zipPath).size()), double(QFileInfo(peerZip).size()));
}

// The session on the Windows-1252 copy, its Save against Python reading
// Windows-1252 and writing UTF-8.
void measureEveryLineSaved(const Run &run, const Expected &x, int r, Figures &f)
{
    QString why;
    const QString work = run.root + QStringLiteral("work-1252/");
    const QString files = prepareWorkFolder(x.cp1252, work, &why);
    ChildRun session, py;
    alternate(
        r, [&] { session = runChild(run.self, {"app", QString::number(x.steps), "0"}, work, run.env, run.errors); },
        [&] {
            py = runChild("python3", {run.peerScript, "--encoding", "cp1252", x.cp1252, run.root + "py-1252/"},
                          QString(), run.env, run.errors);
        });
    const Values &s = session.values;
    const QString fault = files.isEmpty() ? why : sessionFault(session, work, files, x.events, x.steps);
    check(fault.isEmpty(), r, fault, {&f.saveWorst});
    const bool saved = s.num("saved") == 1 && savedAsEdited(x.master, files, long(s.num("row")), kEditedName, &why);
    check(saved, r, s.num("saved") == 1 ? why : QStringLiteral("Save did not succeed"), {&f.saveWorst});
    check(s.num("boxes") == 0, r, QStringLiteral("a message: %1").arg(QString::fromUtf8(s.str("box1"))),
          {&f.saveWorst});
    check(py.ok && x.rowsOk(py.values), r, py.ok ? QStringLiteral("Python read other rows") : py.failure,
          {&f.saveWorst});
    f.saveWorst.add(s.num("save"), py.values.num("write"));
}

void runRounds(const Run &run, long events, long lines, Figures &f)
{
    Expected x{run.root + QStringLiteral("data/"), run.root + QStringLiteral("data-1252/"), 0, events, lines,
               run.opt.steps};
    x.bytes = double(folderBytes(x.master));
    for (int r = 0; r < run.opt.rounds; ++r) {
        std::printf("  round %d of %d (%s first; load %s)\n", r + 1, run.opt.rounds, r % 2 ? "peers" : "Vantel",
                    qPrintable(loadAverage()));
        std::fflush(stdout);
        measureSession(run, x, r, f);
        measureEveryLineSaved(run, x, r, f);
    }
}

// Generates the size's master copies, measures every figure and prints the
// table; answers the medians for the time per event.
std::vector<Scaling> measureSize(Run run, long events)
{
    const long lines = events * run.opt.linesPerEvent;
    const QString master = run.root + QStringLiteral("data/"), cp1252 = run.root + QStringLiteral("data-1252/");
    const qint64 estimate = qint64(events) * 1200 * 9; // two masters, six copies, two archives
    QDir().mkpath(run.root);
    if (QStorageInfo(run.root).bytesAvailable() < estimate) {
        std::printf("\n%ld events: skipped, less than %.1f GB free for its folders\n", events, double(estimate) / 1e9);
        return {};
    }
    std::printf("\n%ld events, %ld date lines: generating ...\n", events, lines);
    std::fflush(stdout);
    generate(master, events, lines, {true, false});
    generate(cp1252, events, lines, {true, true});
    const Fingerprint before = fingerprint(master), before1252 = fingerprint(cp1252);
    const double mb = double(folderBytes(master)) / 1e6;
    std::printf("%.1f MB of data files in %s (and as Windows-1252 in %s); load %s\n", mb, qPrintable(master),
                qPrintable(cp1252), qPrintable(loadAverage()));

    Figures f;
    runRounds(run, events, lines, f);
    if (fingerprint(master) != before || fingerprint(cp1252) != before1252)
        for (Figure *fig : f.all())
            fig->fail(-1, QStringLiteral("a master copy was written"));

    std::printf("\n%ld events, %.1f MB, %d rounds, %u cores, load at the end %s\n", events, mb, run.opt.rounds,
                std::thread::hardware_concurrency(), qPrintable(loadAverage()));
    printTableHead();
    std::vector<const Figure *> shown;
    for (Figure *fig : f.all()) {
        printFigure(*fig);
        shown.push_back(fig);
    }
    printChecks(shown);
    std::fflush(stdout);

    std::vector<Scaling> out;
    for (auto [fig, perStep] : {std::pair{&f.startup, false}, {&f.saveSmall, false}, {&f.saveWorst, false},
                                {&f.exportTime, false}, {&f.switching, true}}) {
        std::vector<double> ours;
        for (const Sample &s : fig->rounds)
            ours.push_back(s.ours);
        out.push_back({fig->name, perStep, {{events, median(ours)}}, fig->failures.empty()});
    }
    if (run.opt.keep.isEmpty())
        QDir(run.root).removeRecursively();
    return out;
}

int driver(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const std::optional<Options> opt = parseOptions(app.arguments());
    if (!opt) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    if (!opt->keep.isEmpty() && !QDir().mkpath(opt->keep)) {
        std::fprintf(stderr, "cannot make the folder %s\n", qPrintable(opt->keep));
        return 1;
    }
    QTemporaryDir tmp((opt->keep.isEmpty() ? QDir::tempPath() : QFileInfo(opt->keep).absoluteFilePath())
                      + QStringLiteral("/vantel-bench-XXXXXX"));
    if (!tmp.isValid()) { // an empty path would put every folder below /
        std::fprintf(stderr, "cannot make a work folder: %s\n", qPrintable(tmp.errorString()));
        return 1;
    }
    tmp.setAutoRemove(opt->keep.isEmpty());
    const QString root = tmp.path() + QLatin1Char('/');
    Run run;
    run.opt = *opt;
    run.self = QCoreApplication::applicationFilePath();
    run.bare = QCoreApplication::applicationDirPath() + QStringLiteral("/vantel_bench_bare");
    run.peerScript = QStringLiteral(VANTEL_BENCH_SOURCE_DIR "/peer_csv.py");
    // Everything the children keep (component registry, lock, settings,
    // caches) stays in the run's folder.
    run.env = {{"QT_QPA_PLATFORM", "offscreen"}};
    for (const char *name : {"XDG_DATA_HOME", "XDG_RUNTIME_DIR", "XDG_CONFIG_HOME", "XDG_CACHE_HOME"}) {
        const QString dir = root + QString::fromLatin1(name).toLower();
        QDir().mkpath(dir);
        QFile::setPermissions(dir, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        run.env.emplace_back(name, QFile::encodeName(dir));
    }
    std::printf("Vantel against its peers, %d rounds each; folders in %s\n", opt->rounds, qPrintable(root));

    std::vector<Scaling> scaling;
    for (long events : opt->sizes) {
        run.root = root + QString::number(events) + QLatin1Char('/');
        run.errors = root + QStringLiteral("stderr.txt");
        const std::vector<Scaling> one = measureSize(run, events);
        for (size_t i = 0; i < one.size(); ++i) {
            if (scaling.size() <= i)
                scaling.push_back({one[i].name, one[i].perStep, {}, true});
            scaling[i].median.insert(one[i].median.begin(), one[i].median.end());
            scaling[i].checked = scaling[i].checked && one[i].checked;
        }
    }
    printScaling(scaling, 1.3);
    if (!opt->keep.isEmpty())
        std::printf("\nfolders kept in %s\n", qPrintable(root));
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    if (answerHelp(argc, argv, kUsage))
        return 0;
    if (argc == 4 && std::strcmp(argv[1], "io") == 0) {
        QCoreApplication app(argc, argv);
        return childIo(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]));
    }
    if ((argc == 3 || argc == 4) && std::strcmp(argv[1], "app") == 0)
        return childSession(1, argv, std::max(0, std::atoi(argv[2])), argc == 3 || std::atoi(argv[3]) != 0);
    return driver(argc, argv);
}
