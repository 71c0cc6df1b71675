// The command line, read before the application object opens the display:
// --help and --version are answered, and a command line that is not
// understood is refused, also where there is no display at all.
#pragma once

#include <QString>

#include <optional>

namespace commandline {

struct Options {
    bool userFolder = false; // --user-folder
    // --export-ics FILE, --export-jsonld FILE: write the saved data to FILE
    // and end, without a window (at most one of them is set).
    QString exportCalendar, exportWebData;
    bool exports() const { return !exportCalendar.isEmpty() || !exportWebData.isEmpty(); }
    // --import FILE: add the events of FILE to the data and save, without a window.
    QString importFile;
};

struct Reading {
    // Set when the program ends here: 0 after --help or --version, 1 when
    // they could not be written, 2 after a usage error (named on stderr).
    std::optional<int> exitCode;
    Options options; // the options of a start
};

// Reads argv as the program was started. Qt's own options (-platform,
// -display, -style, ...) are let through for the application object.
Reading read(int argc, char *argv[]);

} // namespace commandline
