#include "packagemail.h"

#include "exportmessages.h"
#include "globals.h"
#include "operatorinfo.h"
#include "runtime.h"

#include <QDesktopServices>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

namespace {

// What an exit status of xdg-email means.
QString reasonOf(int status)
{
    switch (status) {
    case 2:
    case 5: return QStringLiteral("the zip file could not be read");
    case 3: return QStringLiteral("no mail program is set up");
    case 4: return QStringLiteral("the mail program did not open");
    default: return QStringLiteral("xdg-email ended with status %1").arg(status);
    }
}

} // namespace

PackageMail::PackageMail(QObject *parent) : QObject(parent) {}

PackageMail::~PackageMail()
{
    // A mail program started through xdg-email stays open; only xdg-email,
    // still waiting for it, ends with the window.
    for (QProcess *process : findChildren<QProcess *>()) {
        process->disconnect(this);
        if (process->state() != QProcess::NotRunning) {
            process->kill();
            process->waitForFinished(1000);
        }
    }
}

bool PackageMail::running() const
{
    for (const QProcess *process : findChildren<QProcess *>())
        if (process->state() != QProcess::NotRunning)
            return true;
    return false;
}

QStringList PackageMail::arguments(const QString &package, const QString &login, const QDate &day)
{
    return {QStringLiteral("--utf8"),
            QStringLiteral("--subject"),
            QStringLiteral("VantelEvents"),
            QStringLiteral("--body"),
            QStringLiteral("The events of login id %1, exported on %2.").arg(login, day.toString(Qt::ISODate)),
            QStringLiteral("--attach"),
            package,
            vantel_operator::events_mailbox};
}

void PackageMail::send(const QString &directory)
{
    const QString program = QStandardPaths::findExecutable(QStringLiteral("xdg-email"));
    if (program.isEmpty()) {
        failed(directory, QStringLiteral("xdg-email (package xdg-utils) is not installed"));
        emit ended(false);
        return;
    }
    auto *process = new QProcess(this);
    process->setProgram(program);
    process->setArguments(arguments(directory + gs_zip_filename, gs_login, QDate::currentDate()));
    // The mail program inherits these; a pipe nobody reads could stop it.
    process->setStandardInputFile(QProcess::nullDevice());
    process->setStandardOutputFile(QProcess::nullDevice());
    process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    connect(process, &QProcess::finished, this, [this, process, directory](int status, QProcess::ExitStatus how) {
        process->deleteLater();
        const bool opened = how == QProcess::NormalExit && status == 0;
        if (!opened)
            failed(directory, how == QProcess::NormalExit ? reasonOf(status) : QStringLiteral("xdg-email stopped"));
        emit ended(opened);
    });
    connect(process, &QProcess::errorOccurred, this, [this, process, directory](QProcess::ProcessError error) {
        if (error != QProcess::FailedToStart)
            return;
        process->deleteLater();
        failed(directory, QStringLiteral("xdg-email could not be started: ") + process->errorString());
        emit ended(false);
    });
    process->start();
}

void PackageMail::failed(const QString &directory, const QString &reason)
{
    const QString crlf = QStringLiteral("\r\n");
    // The desktop opens the folder on its own: whether a file manager then
    // shows it is not known here.
    const bool handed = QDesktopServices::openUrl(QUrl::fromLocalFile(directory));
    rt::MessageBox(QStringLiteral("Send by e-mail"),
                   QStringLiteral("No mail program could be opened: ") + reason + QLatin1Char('.') + crlf
                       + gs_zip_filename + QStringLiteral(" lies in ") + directory
                       + (handed ? QStringLiteral(", which opens in your file manager where there is one.")
                                 : QStringLiteral("."))
                       + crlf + exportmessages::mailLine(),
                   rt::Icon::Exclamation);
}
