// Generated data folders of realistic size for the benchmarks.
#pragma once

#include <QString>

// Writes VantelAdmin.txt, VantelEvents.txt (`events` events, one in five
// with multi-line texts) and VantelEventDates.txt (`lines` date lines) into
// `dir`, creating it. The same arguments always give the same bytes.
void generate(const QString &dir, long events, long lines);
