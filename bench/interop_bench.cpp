// The calendar file of a large data folder: Vantel writing it from the
// saved files and reading it back into an import plan, against Python's
// icalendar module reading the same file and writing the same calendar.
// Each side runs in a process of its own, in alternated rounds, so that its
// peak memory is its own.
#include "bench_run.h"
#include "bench_table.h"
#include "exportcommand.h"
#include "generate.h"
#include "icalimport.h"
#include "usage.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>

namespace {

const char kUsage[] =
    "Usage: vantel_interop_bench [--events N] [--lines-per-event K] [--rounds R] [--python PATH]\n"
    "\n"
    "Generates a data folder of N events (100000 by default) with K date lines each (2), and\n"
    "in R alternated rounds (5 at least) measures, each side in a process of its own:\n"
    "\n"
    "  export   the calendar file written from the saved files   against icalendar writing the same calendar\n"
    "  import   the calendar file read into an import plan       against icalendar parsing the file\n"
    "\n"
    "and the peak memory of each side. Vantel's time should be at most half the peer's\n"
    "(ratio <= 0.5). The import reads the file without the 50 MB limit of the window and of\n"
    "--import (the calendar of 100,000 events is about 600 MB). A round whose export and import\n"
    "do not agree with each other and with the peer (events, entries, date lines, nothing\n"
    "skipped) makes its figures a MISS. The peer is bench/peer_ical.py run by PATH (by default\n"
    "/usr/bin/python3, which has Debian's python3-icalendar).\n";

constexpr const char *kZone = "Europe/Berlin";

// The child's side of a round: prints "key value" lines.
int exportChild(const QString &data, const QString &target)
{
    interop::ExportRequest request;
    request.dataFolder = data;
    request.target = target;
    request.timeZone = kZone;
    QElapsedTimer t;
    t.start();
    const interop::ExportOutcome out = interop::exportSavedData(request);
    const double seconds = double(t.nsecsElapsed()) / 1e9;
    if (!out.ok()) {
        std::fprintf(stderr, "export failed: %s\n", qPrintable(out.error));
        return 1;
    }
    std::printf("seconds %.6f\nevents %ld\nnotes %lld\n", seconds, out.events, qlonglong(out.notes.size()));
    return 0;
}

int importChild(const QString &file)
{
    interop::ImportContext ctx;
    ctx.timeZone = kZone;
    QElapsedTimer t;
    t.start();
    const interop::ImportFile in = interop::readImportFile(file, std::numeric_limits<qint64>::max());
    if (!in.ok()) {
        std::fprintf(stderr, "import failed: %s\n", qPrintable(in.error));
        return 1;
    }
    const interop::ImportResult plan = interop::importCalendar(in.bytes, ctx);
    const double seconds = double(t.nsecsElapsed()) / 1e9;
    if (!plan.ok()) {
        std::fprintf(stderr, "import failed: %s\n", qPrintable(plan.error));
        return 1;
    }
    long skipped = 0;
    for (const interop::Finding &f : plan.findings)
        skipped += f.kind == interop::Finding::Skipped;
    std::printf("seconds %.6f\nevents %lld\nlines %ld\nskipped %ld\n", seconds, qlonglong(plan.events.size()),
                plan.lineCount(), skipped);
    return 0;
}

// The VEVENTs of a calendar file, counted without holding it.
long entriesIn(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    long n = 0;
    while (!f.atEnd())
        n += f.readLine().startsWith("BEGIN:VEVENT");
    return n;
}

} // namespace

int main(int argc, char **argv)
{
    if (answerHelp(argc, argv, kUsage))
        return 0;
    QCoreApplication app(argc, argv);
    if (argc == 4 && !std::strcmp(argv[1], "export"))
        return exportChild(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]));
    if (argc == 3 && !std::strcmp(argv[1], "import"))
        return importChild(QString::fromLocal8Bit(argv[2]));

    long events = 100000, perEvent = 2, rounds = 5;
    QString python = QStringLiteral("/usr/bin/python3");
    for (int i = 1; i + 1 < argc; i += 2) {
        if (!std::strcmp(argv[i], "--events"))
            events = std::atol(argv[i + 1]);
        else if (!std::strcmp(argv[i], "--lines-per-event"))
            perEvent = std::atol(argv[i + 1]);
        else if (!std::strcmp(argv[i], "--rounds"))
            rounds = std::max(5L, std::atol(argv[i + 1]));
        else if (!std::strcmp(argv[i], "--python"))
            python = QString::fromLocal8Bit(argv[i + 1]);
    }
    QTemporaryDir dir;
    const QString data = dir.filePath(QStringLiteral("data/"));
    const QString ics = dir.filePath(QStringLiteral("vantel.ics")), peerIcs = dir.filePath(QStringLiteral("peer.ics"));
    const QString errors = dir.filePath(QStringLiteral("stderr.txt"));
    const QString self = QCoreApplication::applicationFilePath();
    const QString peerScript = QStringLiteral(VANTEL_BENCH_SOURCE_DIR "/peer_ical.py");
    std::printf("%ld events, %ld date lines: generating ...\n", events, events * perEvent);
    std::fflush(stdout);
    generate(data, events, events * perEvent, {true, false});

    Figure exportTime("calendar export", "s", 1, "icalendar write", 0.5);
    Figure importTime("calendar import", "s", 1, "icalendar parse", 0.5);
    Figure exportMemory("export peak memory", "MB", 1.0 / 1024, "icalendar");
    Figure importMemory("import peak memory", "MB", 1.0 / 1024, "icalendar");
    const std::vector<Figure *> all{&exportTime, &importTime, &exportMemory, &importMemory};
    double megabytes = 0;
    long entries = -1;
    for (long r = 0; r < rounds; ++r) {
        const int round = int(r);
        const auto failAll = [&](const QString &why) {
            for (Figure *f : all)
                f->fail(round, why);
        };
        ChildRun ours, back, peer;
        const auto runOurs = [&] {
            ours = runChild(self, {QStringLiteral("export"), data, ics}, QString(), {}, errors);
            if (ours.ok)
                back = runChild(self, {QStringLiteral("import"), ics}, QString(), {}, errors);
        };
        const auto runPeer = [&] { peer = runChild(python, {peerScript, ics, peerIcs}, QString(), {}, errors); };
        if (r == 0) // the peer reads what the export wrote
            runOurs();
        else if (r % 2 == 0) {
            runOurs();
            runPeer();
        } else {
            runPeer();
            runOurs();
        }
        if (r == 0) {
            runPeer();
            entries = entriesIn(ics);
            megabytes = double(QFile(ics).size()) / 1e6;
        }
        if (!ours.ok || !back.ok || !peer.ok) {
            failAll(QStringLiteral("a side failed: %1").arg(!ours.ok ? ours.failure : !back.ok ? back.failure : peer.failure));
            continue;
        }
        const long exported = long(ours.values.num("events")), imported = long(back.values.num("events"));
        if (exported != events || imported != exported)
            failAll(QStringLiteral("events exported %1, imported %2, in the folder %3").arg(exported).arg(imported).arg(events));
        if (long(back.values.num("lines")) != events * perEvent || back.values.num("skipped") != 0)
            failAll(QStringLiteral("the import planned %1 date lines of %2 and skipped %3")
                        .arg(QString::fromUtf8(back.values.str("lines")), QString::number(events * perEvent),
                             QString::fromUtf8(back.values.str("skipped"))));
        if (long(peer.values.num("events")) != entries)
            failAll(QStringLiteral("the peer read %1 VEVENTs of %2").arg(QString::fromUtf8(peer.values.str("events"))).arg(entries));
        exportTime.add(ours.values.num("seconds"), peer.values.num("write"));
        importTime.add(back.values.num("seconds"), peer.values.num("parse"));
        exportMemory.add(double(ours.maxRssKb), double(peer.maxRssKb));
        importMemory.add(double(back.maxRssKb), double(peer.maxRssKb));
        std::printf("round %ld of %ld: export %.2f s, import %.2f s, icalendar %.2f s + %.2f s\n", r + 1, rounds,
                    ours.values.num("seconds"), back.values.num("seconds"), peer.values.num("parse"),
                    peer.values.num("write"));
        std::fflush(stdout);
    }
    std::printf("\n%ld VEVENTs, %.1f MB (icalendar's memory is that of its parse and write together)\n\n", entries,
                megabytes);
    printTableHead();
    for (const Figure *f : all)
        printFigure(*f);
    printChecks({all.begin(), all.end()});
    return 0;
}
