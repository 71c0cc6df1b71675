#include "commandline.h"

#include "launch.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QStringList>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace commandline {

namespace {

// Qt's standard options, which the application object takes out of the
// command line once it exists: those with a value, then those without.
const char *const kQtOptionsWithValue[] = {"platform", "platformpluginpath", "platformtheme", "plugin",
                                           "qmljsdebugger", "qwindowgeometry", "qwindowicon", "qwindowtitle",
                                           "session", "style", "stylesheet", "display", "geometry", "title",
                                           "icon"};
const char *const kQtFlags[] = {"reverse", "widgetcount", "nograb", "dograb", "sync"};

void describe(QCommandLineParser &parser)
{
    QCoreApplication::setApplicationName(QStringLiteral("vantel"));
    QCoreApplication::setApplicationVersion(QStringLiteral(VANTEL_VERSION));
    parser.setApplicationDescription(
        QStringLiteral("Records public events with their dates and times and packs them into Vantel.zip "
                       "for the event-listing service.\n\n"
                       "Without options Vantel works in the current folder, which must hold vantel.ini."));
    // --help-all, where Qt would add its own options, gives the same help.
    parser.addOption({{QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("Displays help on commandline options.")});
    QCommandLineOption helpAll(QStringLiteral("help-all"));
    helpAll.setFlags(QCommandLineOption::HiddenFromHelp);
    parser.addOption(helpAll);
    parser.addVersionOption();
    parser.addOption({QStringLiteral("user-folder"),
                      QStringLiteral("Work in your own folder (made with a vantel.ini on the first start), "
                                     "as the desktop menu entry does.")});
    parser.addOption({QStringLiteral("export-ics"),
                      QStringLiteral("Write the events as last saved to <file> as a calendar file (.ics) and end, "
                                     "without a window."),
                      QStringLiteral("file")});
    parser.addOption({QStringLiteral("export-jsonld"),
                      QStringLiteral("Write the events as last saved to <file> as web page data (JSON-LD) and end, "
                                     "without a window."),
                      QStringLiteral("file")});
    parser.addOption({QStringLiteral("import"),
                      QStringLiteral("Add the events of <file> (a calendar file .ics, or a spreadsheet's .csv or "
                                     ".txt) to the data and save it, without a window."),
                      QStringLiteral("file")});
    // Qt's options are single-dash words: "-style" is one option, not five.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    for (const char *name : kQtOptionsWithValue) {
        QCommandLineOption option(QString::fromLatin1(name), QString(), QStringLiteral("value"));
        option.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(option);
    }
    for (const char *name : kQtFlags) {
        QCommandLineOption option(QString::fromLatin1(name));
        option.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(option);
    }
}

// The closing lines of --help.
QString helpFooter()
{
    return QStringLiteral("\nYour own folder (--user-folder): %1\nHome page: %2\nReport bugs at: %3\n")
        .arg(QDir::toNativeSeparators(launch::userFolder()), QStringLiteral(VANTEL_HOME_PAGE),
             QStringLiteral(VANTEL_BUG_REPORTS));
}

// Writes `text` to stdout; 0 when all of it was written, else 1 with the
// reason on stderr (a full disk, a closed output).
int writeOut(const QString &text)
{
    const QByteArray bytes = text.toLocal8Bit();
    errno = 0;
    const bool written = std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout) == size_t(bytes.size());
    if (std::fflush(stdout) == 0 && written && !std::ferror(stdout))
        return 0;
    std::fprintf(stderr, "vantel: cannot write to the standard output: %s\n",
                 errno ? std::strerror(errno) : "write error");
    return 1;
}

int usageError(const QString &error)
{
    std::fprintf(stderr, "vantel: %s\nTry 'vantel --help' for more information.\n", qUtf8Printable(error));
    return 2;
}

} // namespace

Reading read(int argc, char *argv[])
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    QCommandLineParser parser;
    describe(parser);
    Reading reading;
    if (!parser.parse(arguments)) {
        reading.exitCode = usageError(parser.errorText());
        return reading;
    }
    if (!parser.positionalArguments().isEmpty()) {
        reading.exitCode =
            usageError(QStringLiteral("Unexpected argument '%1'.").arg(parser.positionalArguments().constFirst()));
        return reading;
    }
    if (parser.isSet(QStringLiteral("help")) || parser.isSet(QStringLiteral("help-all"))) {
        // The usage line names the program as it was started.
        QCoreApplication core(argc, argv);
        reading.exitCode = writeOut(parser.helpText() + helpFooter());
    } else if (parser.isSet(QStringLiteral("version"))) {
        reading.exitCode = writeOut(QStringLiteral("vantel %1\n").arg(QStringLiteral(VANTEL_VERSION)));
    }
    reading.options.userFolder = parser.isSet(QStringLiteral("user-folder"));
    if (reading.exitCode)
        return reading;
    const bool calendar = parser.isSet(QStringLiteral("export-ics")), web = parser.isSet(QStringLiteral("export-jsonld"));
    if (calendar && web) {
        reading.exitCode = usageError(QStringLiteral("--export-ics and --export-jsonld cannot be given together."));
        return reading;
    }
    reading.options.exportCalendar = parser.value(QStringLiteral("export-ics"));
    reading.options.exportWebData = parser.value(QStringLiteral("export-jsonld"));
    if ((calendar || web) && !reading.options.exports()) {
        reading.exitCode = usageError(QStringLiteral("The file to export to is empty."));
        return reading;
    }
    if (parser.isSet(QStringLiteral("import"))) {
        if (calendar || web) {
            reading.exitCode = usageError(QStringLiteral("--import cannot be given together with an export."));
            return reading;
        }
        reading.options.importFile = parser.value(QStringLiteral("import"));
        if (reading.options.importFile.isEmpty())
            reading.exitCode = usageError(QStringLiteral("The file to import is empty."));
    }
    return reading;
}

} // namespace commandline
