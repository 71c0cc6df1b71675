// The calendar file of a large data folder: Vantel writing it from the
// saved files and reading it back into an import plan, against Python's
// icalendar module reading the same file and writing the same calendar, in
// alternated rounds.
#include "exportcommand.h"
#include "generate.h"
#include "icalimport.h"
#include "usage.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

const char kUsage[] =
    "Usage: vantel_interop_bench [--events N] [--lines-per-event K] [--rounds R] [--python PATH]\n"
    "\n"
    "Generates a data folder of N events (20000 by default) with K date lines each (2), and\n"
    "in R rounds (3) measures:\n"
    "\n"
    "  export   the calendar file written from the saved files   against icalendar writing the same calendar\n"
    "  import   the calendar file read into an import plan       against icalendar parsing the file\n"
    "\n"
    "Vantel's time should be at most half the peer's (ratio <= 0.5). The peer is bench/peer_ical.py\n"
    "run by PATH (by default /usr/bin/python3, which has Debian's python3-icalendar).\n"
    "\n"
    "Both readers hold the whole calendar in memory: Vantel's side peaks at about 1.7 GB for\n"
    "10,000 events with two lines of three times (60,000 entries, 60 MB), so --events 100000\n"
    "wants a machine with well over 17 GB free for each side.\n";

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

} // namespace

int main(int argc, char **argv)
{
    if (answerHelp(argc, argv, kUsage))
        return 0;
    QCoreApplication app(argc, argv);
    long events = 20000, perEvent = 2, rounds = 3;
    QString python = QStringLiteral("/usr/bin/python3");
    for (int i = 1; i + 1 < argc; i += 2) {
        if (!std::strcmp(argv[i], "--events"))
            events = std::atol(argv[i + 1]);
        else if (!std::strcmp(argv[i], "--lines-per-event"))
            perEvent = std::atol(argv[i + 1]);
        else if (!std::strcmp(argv[i], "--rounds"))
            rounds = std::atol(argv[i + 1]);
        else if (!std::strcmp(argv[i], "--python"))
            python = QString::fromLocal8Bit(argv[i + 1]);
    }
    QTemporaryDir dir;
    const QString data = dir.filePath(QStringLiteral("data/"));
    std::printf("%ld events, %ld date lines: generating ...\n", events, events * perEvent);
    std::fflush(stdout);
    generate(data, events, events * perEvent, {true, false});

    interop::ExportRequest request;
    request.dataFolder = data;
    request.target = dir.filePath(QStringLiteral("vantel.ics"));
    request.timeZone = "Europe/Berlin";
    std::vector<double> exportTimes, importTimes, peerWrite, peerParse;
    long entries = 0, peerEntries = 0;
    for (long r = 0; r < rounds; ++r) {
        QElapsedTimer t;
        t.start();
        const interop::ExportOutcome out = interop::exportSavedData(request);
        exportTimes.push_back(double(t.nsecsElapsed()) / 1e9);
        if (!out.ok()) {
            std::fprintf(stderr, "export failed: %s\n", qPrintable(out.error));
            return 1;
        }
        QFile file(request.target);
        file.open(QIODevice::ReadOnly);
        const QByteArray bytes = file.readAll();
        interop::ImportContext ctx;
        ctx.timeZone = "Europe/Berlin";
        t.restart();
        const interop::ImportResult plan = interop::importCalendar(bytes, ctx);
        importTimes.push_back(double(t.nsecsElapsed()) / 1e9);
        entries = plan.lineCount();

        QProcess peer;
        peer.start(python, {QStringLiteral(VANTEL_BENCH_SOURCE_DIR "/peer_ical.py"), request.target,
                            dir.filePath(QStringLiteral("peer.ics"))});
        if (!peer.waitForFinished(-1) || peer.exitCode() != 0) {
            std::fprintf(stderr, "the peer failed: %s\n", peer.readAllStandardError().constData());
            return 1;
        }
        for (const QByteArray &line : peer.readAllStandardOutput().split('\n')) {
            const QList<QByteArray> f = line.split(' ');
            if (f.size() != 2)
                continue;
            if (f[0] == "parse")
                peerParse.push_back(f[1].toDouble());
            else if (f[0] == "write")
                peerWrite.push_back(f[1].toDouble());
            else if (f[0] == "events")
                peerEntries = f[1].toLong();
        }
        std::printf("round %ld of %ld done\n", r + 1, rounds);
        std::fflush(stdout);
    }
    std::printf("\n%-8s %12s %12s %8s\n", "", "Vantel (s)", "icalendar (s)", "ratio");
    const double e = median(exportTimes), pw = median(peerWrite), i = median(importTimes), pp = median(peerParse);
    std::printf("%-8s %12.3f %12.3f %8.2f%s\n", "export", e, pw, e / pw, e / pw <= 0.5 ? "" : "  ABOVE 0.5");
    std::printf("%-8s %12.3f %12.3f %8.2f%s\n", "import", i, pp, i / pp, i / pp <= 0.5 ? "" : "  ABOVE 0.5");
    std::printf("(%ld VEVENTs, %.1f MB, read by the peer; %ld date lines in Vantel's import plan)\n", peerEntries,
                double(QFile(request.target).size()) / 1e6, entries);
    return 0;
}
