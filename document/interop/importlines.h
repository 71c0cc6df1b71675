// Date lines from the days an import found, for both readers: the days
// with their times go through the schedule engine (the fewest lines that
// say the same), the days without a time make lines of their own without
// times, to be completed.
#pragma once

#include "interop.h"

#include <QDate>
#include <QTime>

#include <map>
#include <vector>

namespace interop {

// The days and their times; a day with no time has an empty list.
using Days = std::map<QDate, std::vector<QTime>>;

struct ImportedLines {
    std::vector<NewLine> lines; // by start date
    QStringList changes;        // what had to be changed on the way ("more than six times on ...")
    QString error;              // the engine refused them all; no lines
    bool untimed = false;       // some line has no time
};

// The lines of `days` in `city` and `state`. A day with more than six
// times keeps the first six; a day with and without times keeps its times;
// days spanning more than two years make lines per two years.
ImportedLines linesFor(const Days &days, const QString &city, const QString &state, const QString &datePattern);

} // namespace interop
