// Importing without the window (--import FILE): the events of a calendar
// file or a spreadsheet's text added to the data folder of the working
// folder and saved, with the report on standard output.
#pragma once

class QString;

namespace interop {

// The exit status: 0 imported and saved (also when the file held nothing
// new), 1 not, with the reason on stderr. The folder must not be open in
// Vantel, and must hold no unsaved changes of an earlier session: those
// are the user's to keep or discard first. A spreadsheet's columns are
// those the last import in the window chose, else those its header names.
int runImportCommand(const QString &path);

} // namespace interop
