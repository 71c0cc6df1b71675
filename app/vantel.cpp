#include "vantel.h"

#include "externals.h"
#include "globals.h"
#include "profile.h"
#include "runtime.h"

#include <QCoreApplication>

namespace vantel_startup {

QString Trim(const QString &s)
{
    qsizetype b = 0, e = s.size();
    while (b < e && s[b] == QLatin1Char(' '))
        ++b;
    while (e > b && s[e - 1] == QLatin1Char(' '))
        --e;
    return s.mid(b, e - b);
}

QString shortDatePattern(const QString &orderCode, const QString &separator, const QString &current)
{
    const QString dd = QStringLiteral("dd"), mm = QStringLiteral("mm"), yyyy = QStringLiteral("yyyy");
    if (orderCode == QLatin1String("0"))
        return mm + separator + dd + separator + yyyy;
    if (orderCode == QLatin1String("1"))
        return dd + separator + mm + separator + yyyy;
    if (orderCode == QLatin1String("2"))
        return yyyy + separator + mm + separator + dd;
    return current;
}

} // namespace vantel_startup

vantel::vantel(WindowOpener openMainWindow) : openMainWindow_(std::move(openMainWindow)) {}

void vantel::create()
{
    QCoreApplication::setApplicationName(QStringLiteral("vantel"));
}

bool vantel::open(const QString & /*commandline*/)
{
    using namespace vantel_startup;

    // 1. Screen size.
    rt::Environment env;
    if (rt::GetEnvironment(env) == -1) {
        gl_screen_width = 800;
        gl_screen_height = 600;
    } else {
        gl_screen_width = env.ScreenWidth;
        gl_screen_height = env.ScreenHeight;
    }

    // 2. Date separator (a failed query keeps the prepared blanks).
    gs_date_separator = QString(255, QLatin1Char(' '));
    if (ext::GetIntSetting(29, gs_date_separator, 255) == 0)
        gs_date_separator = Trim(gs_date_separator);

    // 3. Order of day, month and year, turned into a pattern.
    gs_short_date_format = QString(255, QLatin1Char(' '));
    if (ext::GetIntSetting(33, gs_short_date_format, 255) == 0)
        gs_short_date_format = Trim(gs_short_date_format);
    gs_short_date_format = shortDatePattern(gs_short_date_format, gs_date_separator, gs_short_date_format);

    // 4. The settings file must be there.
    if (!rt::FileExists(gs_ini_file_name)) {
        rt::MessageBox(QStringLiteral("ini File"),
                       QStringLiteral("The ini file is not present.") + QStringLiteral("\n\r")
                           + QStringLiteral("If you have moved the Vantel.exe file to a new location, please copy "
                                            "all files shipped with the tool to the new location."));
        return false;
    }
    // A settings file that cannot be read is left alone: reading it could
    // hang (a pipe) or exhaust memory, and writing the folders back would
    // replace it.
    const rt::ProfileCheck check = rt::CheckProfileFile(gs_ini_file_name);
    if (!check.unreadable.isEmpty()) {
        rt::MessageBox(QStringLiteral("ini File"),
                       QStringLiteral("The ini file %1 cannot be read: %2.").arg(gs_ini_file_name, check.unreadable)
                           + QStringLiteral("\r\n")
                           + QStringLiteral("Vantel ends and leaves the file as it is. Replace it by the vantel.ini "
                                            "shipped with the tool."),
                       rt::Icon::StopSign);
        return false;
    }
    if (!check.mixed.isEmpty())
        rt::MessageBox(QStringLiteral("ini File"),
                       check.mixed
                           + (check.backupPath.isEmpty()
                                  ? QStringLiteral(". A copy of the file as it was could not be kept.")
                                  : QStringLiteral(". The file as it was is kept as %1.").arg(check.backupPath)),
                       rt::Icon::Exclamation);
    gs_app_dir = rt::ProfileString(gs_ini_file_name, QStringLiteral("General"), QStringLiteral("App"),
                                   QStringLiteral("GETDIR"));
    gs_directory = rt::ProfileString(gs_ini_file_name, QStringLiteral("General"), QStringLiteral("Files"),
                                     QStringLiteral("GETDIR"));
    return openMainWindow_ ? openMainWindow_() : false;
}
