// The application object: start-up of the program.
#pragma once

#include "trim.h"

#include <QString>

#include <functional>

class vantel {
public:
    // Opens the main window; answers whether a window is now open.
    using WindowOpener = std::function<bool()>;

    explicit vantel(WindowOpener openMainWindow);

    void create(); // application name; Qt owns every other run-time object
    // The start-up; answers whether the main window was opened (false after
    // the missing settings file message: the program then ends).
    bool open(const QString &commandline = QString());

private:
    WindowOpener openMainWindow_;
};

namespace vantel_startup {

// The short date pattern for a day-month-year order code ("0", "1", "2")
// and a separator; any other code leaves `current` unchanged.
QString shortDatePattern(const QString &orderCode, const QString &separator, const QString &current);

// The current working folder with a trailing "/".
QString currentFolder();

// The program folder and the data folder when the main window opens: a
// program folder not yet known (or "GETDIR") becomes the working folder,
// one that differs from it is reported as moved and follows it; a data
// folder not yet known becomes "Files/" below the working folder (made when
// missing; the working folder itself when it cannot be made). Both are
// written back to the settings file. `createDirectory` answers 0 on success.
void settleFolders(const std::function<int(const QString &)> &createDirectory);

} // namespace vantel_startup
