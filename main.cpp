// Vantel: records public events and packs them for an event-listing service.
#include "commandline.h"
#include "exportcommand.h"
#include "globals.h"
#include "helvex1calls.h"
#include "importcommand.h"
#include "launch.h"
#include "runtime.h"
#include "startfolder.h"
#include "vantel.h"
#include "w_event.h"

#include <QApplication>
#include <QFileInfo>

#include <cstdio>

int main(int argc, char *argv[])
{
    launch::settleAllocator();
    ext::useHelvex1();
    launch::quietRuntimeFolderWarning();
    // Before the display is opened: --help, --version and usage errors
    // are answered also where there is none.
    const commandline::Reading command = commandline::read(argc, argv);
    if (command.exitCode)
        return *command.exitCode;
    if (command.options.exports() || !command.options.importFile.isEmpty()) {
        // No window and no display: the saved files are read and one file written.
        QCoreApplication core(argc, argv);
        // The file is named from the folder the program was started in.
        const QString target = QFileInfo(command.options.exports()
                                             ? command.options.exportCalendar.isEmpty() ? command.options.exportWebData
                                                                                        : command.options.exportCalendar
                                             : command.options.importFile)
                                   .absoluteFilePath();
        if (command.options.userFolder) {
            QString error;
            if (!launch::enterUserFolder(&error)) {
                std::fprintf(stderr, "vantel: %s\n", qUtf8Printable(error));
                return 1;
            }
        }
        if (!command.options.importFile.isEmpty())
            return interop::runImportCommand(target);
        return interop::runExportCommand(target, command.options.exportCalendar.isEmpty()
                                                     ? interop::ExportFormat::WebData
                                                     : interop::ExportFormat::Calendar);
    }
    QApplication qapp(argc, argv);
    if (command.options.userFolder) {
        QString error;
        if (!launch::enterUserFolder(&error)) {
            rt::MessageBox(QStringLiteral("Vantel"), error, rt::Icon::StopSign);
            return 1;
        }
    }
    vantel app([] {
        // Settings read: the data folder is known, and no other instance may have it open.
        if (!launch::lockDataFolder(datafiles::dataFolderAtStart(gs_directory)))
            return false;
        auto *w = new w_event;
        w->setAttribute(Qt::WA_DeleteOnClose);
        w->open();
        return true;
    });
    app.create();
    const bool opened = app.open(QCoreApplication::arguments().mid(1).join(QLatin1Char(' ')));
    return opened ? qapp.exec() : 1;
}
