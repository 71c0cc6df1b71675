// What every import plan must keep to, whatever the file: either an error
// and nothing else, or events each with date lines that the data files can
// hold (start before end, at most two years, six times of the clock) and
// fields no wider than their columns.
#pragma once

#include "definition.h"
#include "interop.h"

#include <cstdio>
#include <cstdlib>

inline void checkPlan(const interop::ImportResult &r)
{
    auto broken = [](const char *what) {
        std::fprintf(stderr, "import plan broken: %s\n", what);
        std::abort();
    };
    if (!r.ok()) {
        if (!r.events.empty() || !r.findings.empty())
            broken("an error with events or findings");
        return;
    }
    for (const interop::NewEvent &e : r.events) {
        if (e.lines.empty())
            broken("an event without date lines");
        for (const auto &[column, value] : e.fields)
            if (interop::columnWidth(column) > 0 && value.size() > interop::columnWidth(column))
                broken("a field wider than its column");
        for (const interop::NewLine &l : e.lines) {
            if (!l.start.isValid() || !l.end.isValid() || l.end < l.start || l.start.addYears(2) <= l.end)
                broken("the dates of a line");
            if (l.times.size() != 6)
                broken("not six times");
            for (const QString &t : l.times)
                if (t != QLatin1String("0000") && !isClockTime(t.toLatin1()))
                    broken("a time that is none");
        }
    }
}
