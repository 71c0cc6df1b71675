#include "exportmessages.h"

#include "globals.h"
#include "operatorinfo.h"
#include "runtime.h"

#include <QFileInfo>

namespace exportmessages {

QString zipMessage(const QString &directory, const QString &thirdLine)
{
    const QString crlf = QStringLiteral("\r\n");
    return QStringLiteral("A zip file named ") + gs_zip_filename
           + QStringLiteral(" containing your event information was successfully created !") + crlf
           + QStringLiteral("This zip file is located in ") + directory + crlf + thirdLine + crlf;
}

QString mailLine()
{
    return QStringLiteral("Email this zip file to ") + vantel_operator::events_mailbox
           + QStringLiteral(", specifying 'VantelEvents' as the subject.");
}

static void noComponent()
{
    rt::MessageBox(QStringLiteral("Error"), QStringLiteral("Unable to zip files. Please manually zip files!"));
}

// A stopped export: the package, if there was one, is as it was.
static void cancelled(const QString &package)
{
    rt::MessageBox(QStringLiteral("Export"), QFileInfo::exists(package)
                                                 ? QStringLiteral("Export cancelled; the previous package is unchanged.")
                                                 : QStringLiteral("Export cancelled; no zip file was created."));
}

bool showDataPackage(const PackageResult &r, const QString &directory)
{
    switch (r.kind) {
    case PackageResult::Ok:
        // The package was made in the data folder now in force. The text
        // built at start-up names the folder of that moment, and a folder
        // changed on the admin page since would send the user to the wrong
        // place (and perhaps to an old package): name the folder used.
        return rt::MessageBox(QStringLiteral("Export"), zipMessage(directory, mailLine()), rt::Icon::Information,
                              rt::Buttons::OKSendByEmail)
               == 2;
    case PackageResult::NoComponent:
        noComponent();
        break;
    case PackageResult::MissingFiles:
        rt::MessageBox(QStringLiteral("Export"),
                       QStringLiteral("No zip file was created: these data files do not exist yet in ") + directory
                           + QStringLiteral("\r\n") + r.missing.join(QStringLiteral("\r\n"))
                           + QStringLiteral("\r\nPlease save your event data first."),
                       rt::Icon::Exclamation);
        break;
    case PackageResult::PackFailed:
        rt::MessageBox(QStringLiteral("Export"), QStringLiteral("No zip file was created: ") + r.detail,
                       rt::Icon::StopSign);
        break;
    case PackageResult::Cancelled:
        cancelled(directory + gs_zip_filename);
        break;
    }
    return false;
}

void showDeployment(const PackageResult &r, const QString &made, const QString &package)
{
    if (r.kind == PackageResult::NoComponent) {
        noComponent();
        return;
    }
    if (r.kind == PackageResult::Cancelled) {
        cancelled(package);
        return;
    }
    if (r.kind != PackageResult::Ok) {
        rt::MessageBox(QStringLiteral("Export"),
                       QStringLiteral("No zip file was created: ") + r.detail + r.missing.join(QStringLiteral(", ")),
                       rt::Icon::Exclamation);
        return;
    }
    rt::MessageBox(QStringLiteral("Export"), made);
}

} // namespace exportmessages
