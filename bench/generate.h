// Generated data folders of realistic size for the benchmarks.
#pragma once

#include <QString>

struct GenerateOptions {
    // A non-ASCII character in every line (the towns of the events and date
    // lines, the admin record's city, a euro sign in some costs).
    bool accents = false;
    // The same text as `accents` gives, written in Windows-1252 instead of
    // UTF-8: files that are not UTF-8, so every line is read and written anew.
    bool windows1252 = false;
};

// Writes VantelAdmin.txt (naming `dir` as its data folder),
// VantelEvents.txt (`events` events, one in five with multi-line texts) and
// VantelEventDates.txt (`lines` date lines) into `dir`, creating it. The same
// arguments always give the same bytes.
void generate(const QString &dir, long events, long lines, GenerateOptions options = {});
