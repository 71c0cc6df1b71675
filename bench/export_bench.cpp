// Export of a generated 100,000-event folder into Vantel.zip, timed against
// `zip -9 -j` of the same three files in the same run; run by hand.
//
//   vantel_export_bench            generate the folder in a temporary place
//   vantel_export_bench DIR        use the data files in DIR (generated when missing)
//
// Export goes the way the program's Export button goes: the registered zip
// component, created through the automation layer, one pack per file.
#include "externals.h"
#include "generate.h"
#include "package.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <thread>
#include <vector>

namespace {

// The time limit and the size limit against `zip -9`.
constexpr double timeTarget = 0.5;
constexpr double sizeTarget = 1.0;
constexpr int rounds = 3;

const QStringList dataFiles = {QStringLiteral("VantelAdmin.txt"), QStringLiteral("VantelEvents.txt"),
                               QStringLiteral("VantelEventDates.txt")};

struct Figure {
    double wall = 0, cpu = 0;
    qint64 bytes = 0;
    bool ok = false;
};

double cpuSeconds(int who)
{
    struct rusage ru;
    getrusage(who, &ru);
    return double(ru.ru_utime.tv_sec + ru.ru_stime.tv_sec) + double(ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
}

// Whether `unzip` finds the archive sound and it holds exactly the data
// files, in order.
bool sound(const QString &archive)
{
    QProcess test, list;
    test.start(QStringLiteral("unzip"), {QStringLiteral("-tqq"), archive});
    list.start(QStringLiteral("unzip"), {QStringLiteral("-Z1"), archive});
    return test.waitForFinished(-1) && test.exitCode() == 0 && list.waitForFinished(-1)
           && QString::fromUtf8(list.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts)
                  == dataFiles;
}

Figure exportOnce(const QString &dir)
{
    QFile::remove(dir + QStringLiteral("Vantel.zip"));
    Figure f;
    QElapsedTimer t;
    const double cpu = cpuSeconds(RUSAGE_SELF);
    t.start();
    const PackageResult r = pack_data_files(dir, dataFiles, QStringLiteral("Vantel.zip"));
    f.wall = double(t.nsecsElapsed()) / 1e9;
    f.cpu = cpuSeconds(RUSAGE_SELF) - cpu;
    if (r.kind != PackageResult::Ok)
        std::fprintf(stderr, "Export failed: %s\n", qPrintable(r.detail));
    f.bytes = QFileInfo(dir + QStringLiteral("Vantel.zip")).size();
    f.ok = r.kind == PackageResult::Ok && sound(dir + QStringLiteral("Vantel.zip"));
    return f;
}

Figure zipOnce(const QString &dir, const QString &archive)
{
    QFile::remove(archive);
    QStringList args = {QStringLiteral("-q"), QStringLiteral("-9"), QStringLiteral("-j"), archive};
    for (const QString &name : dataFiles)
        args << dir + name;
    Figure f;
    QProcess zip;
    QElapsedTimer t;
    const double cpu = cpuSeconds(RUSAGE_CHILDREN);
    t.start();
    zip.start(QStringLiteral("zip"), args);
    f.ok = zip.waitForFinished(-1) && zip.exitStatus() == QProcess::NormalExit && zip.exitCode() == 0;
    f.wall = double(t.nsecsElapsed()) / 1e9;
    f.cpu = cpuSeconds(RUSAGE_CHILDREN) - cpu;
    f.bytes = QFileInfo(archive).size();
    f.ok = f.ok && sound(archive);
    return f;
}

// The 1-minute load average: on a machine shared with other work, the cores
// Export would spread over are taken, and its time tends to its CPU ratio.
double loadAverage()
{
    QFile f(QStringLiteral("/proc/loadavg"));
    return f.open(QIODevice::ReadOnly) ? f.readLine().split(' ').value(0).toDouble() : -1;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir tmp;
    // The component is registered in a registry of this run only.
    qputenv("XDG_DATA_HOME", tmp.filePath(QStringLiteral("xdg")).toLocal8Bit());
    if (ext::RegisterAX(ext::zip_component_library, 1) != 0) {
        std::fprintf(stderr, "cannot register %s\n", qPrintable(ext::zip_component_library));
        return 2;
    }
    QString dir = argc > 1 ? QDir(QString::fromLocal8Bit(argv[1])).absolutePath() : tmp.filePath(QStringLiteral("data"));
    if (!dir.endsWith(QLatin1Char('/')))
        dir += QLatin1Char('/');
    if (!QFileInfo::exists(dir + dataFiles[1]))
        generate(dir, 100000, 500000);
    qint64 bytes = 0;
    for (const QString &name : dataFiles)
        bytes += QFileInfo(dir + name).size();
    std::printf("Export of %s (%.1f MB in 3 files) against zip -9 -j, %d rounds taking turns\n", qPrintable(dir),
                double(bytes) / 1e6, rounds);
    std::printf("  %u cores, load average %.2f before\n", std::thread::hardware_concurrency(), loadAverage());
    std::printf("  %-5s %-22s %-22s %s\n", "round", "Export s wall/CPU", "zip -9 s wall/CPU", "Export/zip wall");

    std::vector<double> wallRatios, cpuRatios;
    Figure e, z;
    bool ok = true;
    for (int i = 1; i <= rounds; ++i) {
        e = exportOnce(dir);
        z = zipOnce(dir, tmp.filePath(QStringLiteral("peer.zip")));
        ok = ok && e.ok && z.ok;
        wallRatios.push_back(e.wall / z.wall);
        cpuRatios.push_back(e.cpu / z.cpu);
        std::printf("  %-5d %8.2f / %-11.2f %8.2f / %-11.2f %.2fx\n", i, e.wall, e.cpu, z.wall, z.cpu,
                    wallRatios.back());
    }
    const double timeRatio = median(wallRatios), sizeRatio = double(e.bytes) / double(z.bytes);
    std::printf("  time  (median): %.2fx zip -9 wall, %.2fx its CPU   target <= %.2fx: %s\n", timeRatio,
                median(cpuRatios), timeTarget, timeRatio <= timeTarget ? "met" : "MISSED");
    std::printf("  size : Export %lld bytes, zip -9 %lld bytes, %.4fx   target <= %.2fx: %s\n",
                static_cast<long long>(e.bytes), static_cast<long long>(z.bytes), sizeRatio, sizeTarget,
                sizeRatio <= sizeTarget ? "met" : "MISSED");
    std::printf("  unzip -t and entry order of both archives: %s; load average %.2f after\n", ok ? "ok" : "FAILED",
                loadAverage());
    return ok ? 0 : 1;
}
