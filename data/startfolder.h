// The data folder a start of the program will work in, known before the main
// window opens.
#pragma once

#include <QString>

namespace datafiles {

// `filesSetting` is the "Files" value of the settings file. GETDIR or an
// empty value stand for the "Files" folder in the working folder. When that
// folder holds an admin record, the folder the record names is the one the
// main window loads and saves, so that one is answered. Reads only; creates
// and changes nothing.
QString dataFolderAtStart(const QString &filesSetting);

} // namespace datafiles
