// Running one measurement in a process of its own: its printed figures, how
// long it took and the peak memory of the whole process, as the system
// accounts it when the process has ended.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <map>
#include <string>
#include <utility>
#include <vector>

// The "key value" lines a measurement prints.
struct Values {
    std::map<std::string, QByteArray> text;
    bool has(const char *key) const { return text.count(key) != 0; }
    double num(const char *key) const; // NaN when missing
    QByteArray str(const char *key) const { return has(key) ? text.at(key) : QByteArray(); }
};

struct ChildRun {
    bool ok = false;      // ran and exited with 0
    QString failure;      // why not
    Values values;
    long maxRssKb = -1;   // peak resident memory over the whole process (at least what the spawner held then)
    double wall = 0;      // seconds from start to exit
};

using Environment = std::vector<std::pair<QByteArray, QByteArray>>;

// Starts `program` with `args` in `workDir` (unless empty) with this
// process's environment plus `extra`, and VANTEL_BENCH_T0 set to the
// monotonic clock in ns just before the start; its standard output is read
// as Values. Its standard error goes into `errorFile` (replaced), and its
// end into `failure` when it fails.
ChildRun runChild(const QString &program, const QStringList &args, const QString &workDir, const Environment &extra,
                  const QString &errorFile);

qint64 monotonicNs();
