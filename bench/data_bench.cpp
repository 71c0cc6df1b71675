// Reading, writing, filtering and finding over generated data folders.
//
//   vantel_bench                      generate both sizes and measure each in a fresh process
//   vantel_bench gen DIR EVENTS LINES generate a data folder
//   vantel_bench run DIR              measure one data folder
#include "datafiles.h"
#include "definition.h"
#include "generate.h"
#include "recordset.h"
#include "usage.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

long vmKb(const char *key)
{
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind(key, 0) == 0)
            return std::atol(line.c_str() + std::strlen(key));
    return -1;
}

double seconds(const QElapsedTimer &t) { return double(t.nsecsElapsed()) / 1e9; }

// CPU time of this process: the machine is shared, so wall time overstates
// what one core needs.
double cpuSeconds()
{
    struct rusage ru;
    getrusage(RUSAGE_SELF, &ru);
    return double(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) + double(ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
}

int run(const QString &dir)
{
    const long baseKb = vmKb("VmHWM:");
    const QString files[] = {dir + "/VantelAdmin.txt", dir + "/VantelEvents.txt", dir + "/VantelEventDates.txt"};
    qint64 bytes = 0;
    for (const QString &f : files)
        bytes += QFileInfo(f).size();
    RecordSet admin(definition("d_admin")), events(definition("d_list")), dates(definition("d_event_dates"));
    RecordSet *sets[] = {&admin, &events, &dates};

    QElapsedTimer t;
    t.start();
    double cpu = cpuSeconds();
    for (int i = 0; i < 3; ++i)
        sets[i]->ImportFile(files[i]);
    const double readS = seconds(t);
    const double readCpu = cpuSeconds() - cpu;
    const long hwmKb = vmKb("VmHWM:");

    QTemporaryDir out;
    t.restart();
    cpu = cpuSeconds();
    const bool saved = datafiles::saveAll({{&admin, out.filePath("VantelAdmin.txt")},
                                           {&events, out.filePath("VantelEvents.txt")},
                                           {&dates, out.filePath("VantelEventDates.txt")}})
                           .ok();
    const double writeS = seconds(t);
    const double writeCpu = cpuSeconds() - cpu;
    bool same = saved;
    for (const char *name : {"VantelEvents.txt", "VantelEventDates.txt"})
        same = same && QFileInfo(out.filePath(name)).size() == QFileInfo(dir + "/" + name).size();

    // Filter switches to a series of events, as selecting events in the list does.
    const int switches = 200;
    double worstMs = 0, totalMs = 0;
    for (int i = 0; i < switches; ++i) {
        const QString key = events.GetItemString(1 + (i * 7919L) % events.RowCount(), "event_id");
        t.restart();
        dates.SetFilter("event_id = '" + key + "'");
        dates.Filter();
        const double ms = seconds(t) * 1e3;
        worstMs = std::max(worstMs, ms);
        totalMs += ms;
    }
    const long perEvent = dates.RowCount();
    dates.SetFilter("");
    t.restart();
    dates.Filter();
    const double clearMs = seconds(t) * 1e3;

    // Find of a key near the end: the event by its key, a date line by its key.
    const QString lastEvent = events.GetItemString(events.RowCount(), "event_id");
    const QString lastLine = dates.GetItemString(dates.RowCount() - 1, "time_id");
    t.restart();
    const long foundEvent = events.Find("event_id = '" + lastEvent + "'", 1, events.RowCount());
    const double findEventMs = seconds(t) * 1e3;
    t.restart();
    const long foundLine = dates.Find("time_id = '" + lastLine + "'", 1, dates.RowCount());
    const double findLineMs = seconds(t) * 1e3;

    const double mb = double(bytes) / 1e6;
    std::printf("%ld events, %ld date lines, %.1f MB of file text\n", events.RowCount(), dates.RowCount(), mb);
    std::printf("  read  : %7.3f s wall %7.1f MB/s; %7.3f s CPU %7.1f MB/s\n", readS, mb / readS, readCpu,
                mb / readCpu);
    std::printf("  write : %7.3f s wall %7.1f MB/s; %7.3f s CPU %7.1f MB/s (with fsync; %s)\n", writeS, mb / writeS,
                writeCpu, mb / writeCpu, same ? "same sizes" : "SIZES DIFFER");
    std::printf("  filter switch: mean %.3f ms, worst %.3f ms over %d events (%ld lines each); clear %.2f ms\n",
                totalMs / switches, worstMs, switches, perEvent, clearMs);
    std::printf("  find event key: %.3f ms (row %ld); find date-line key: %.3f ms (row %ld)\n", findEventMs,
                foundEvent, findLineMs, foundLine);
    std::printf("  peak memory after loading: %.1f MB (%.2f x file size; %.1f MB before loading)\n",
                hwmKb / 1024.0, hwmKb * 1024.0 / double(bytes), baseKb / 1024.0);
    return 0;
}

} // namespace

const char kUsage[] =
    "Usage: vantel_bench                       generate 10000 and 100000 events and measure each\n"
    "       vantel_bench gen DIR EVENTS LINES  generate a data folder\n"
    "       vantel_bench run DIR               measure one data folder\n"
    "\n"
    "Reading, writing (with fsync), filter switches, finds and the peak memory after loading, of the\n"
    "data layer alone, each size in a fresh process.\n";

int main(int argc, char **argv)
{
    if (answerHelp(argc, argv, kUsage))
        return 0;
    if (argc == 5 && std::string(argv[1]) == "gen") {
        generate(QString::fromLocal8Bit(argv[2]), std::atol(argv[3]), std::atol(argv[4]));
        return 0;
    }
    if (argc == 3 && std::string(argv[1]) == "run")
        return run(QString::fromLocal8Bit(argv[2]));
    if (argc != 1) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    QTemporaryDir tmp;
    const std::pair<long, long> sizes[] = {{10000, 50000}, {100000, 500000}};
    for (const auto &[ev, lines] : sizes) {
        const QString dir = tmp.filePath(QString::number(ev));
        generate(dir, ev, lines);
        const pid_t pid = fork();
        if (pid == 0) {
            const QByteArray d = dir.toLocal8Bit();
            execl("/proc/self/exe", argv[0], "run", d.constData(), static_cast<char *>(nullptr));
            _exit(127);
        }
        int status = 0;
        waitpid(pid, &status, 0);
    }
    return 0;
}
