#include "helpviewer.h"

#include <QDialog>
#include <QFile>
#include <QHBoxLayout>
#include <QPointer>
#include <QPushButton>
#include <QTextBrowser>
#include <QVBoxLayout>

namespace rt {

namespace {

QPointer<QDialog> &window()
{
    static QPointer<QDialog> w;
    return w;
}

QDialog *makeWindow(QWidget *owner)
{
    auto *dialog = new QDialog(owner, Qt::Window);
    dialog->setObjectName(QStringLiteral("w_help"));
    dialog->setWindowTitle(QStringLiteral("Vantel Help"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    auto *browser = new QTextBrowser(dialog);
    browser->setObjectName(QStringLiteral("help_browser"));
    browser->setSearchPaths({QStringLiteral(":/help")});
    browser->setOpenExternalLinks(true);

    auto *back = new QPushButton(QStringLiteral("&Back"), dialog);
    auto *contents = new QPushButton(QStringLiteral("&Contents"), dialog);
    auto *close = new QPushButton(QStringLiteral("Close"), dialog);
    QObject::connect(back, &QPushButton::clicked, browser, &QTextBrowser::backward);
    QObject::connect(browser, &QTextBrowser::backwardAvailable, back, &QPushButton::setEnabled);
    QObject::connect(contents, &QPushButton::clicked, browser,
                     [browser] { browser->setSource(QUrl(QStringLiteral("qrc:/help/index.htm"))); });
    QObject::connect(close, &QPushButton::clicked, dialog, &QDialog::close);
    back->setEnabled(false);

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(back);
    buttons->addWidget(contents);
    buttons->addStretch();
    buttons->addWidget(close);
    auto *layout = new QVBoxLayout(dialog);
    layout->addWidget(browser);
    layout->addLayout(buttons);
    dialog->resize(640, 560);
    return dialog;
}

} // namespace

int HtmlHelp(QWidget *owner, const QString &path)
{
    QString page = path;
    const qsizetype sep = page.indexOf(QLatin1String("::/"));
    if (sep >= 0)
        page = page.mid(sep + 3);
    const bool exists = !page.isEmpty() && QFile::exists(QStringLiteral(":/help/") + page);
    if (!exists)
        page = QStringLiteral("index.htm");
    if (!window())
        window() = makeWindow(owner);
    auto *browser = window()->findChild<QTextBrowser *>(QStringLiteral("help_browser"));
    browser->setSource(QUrl(QStringLiteral("qrc:/help/") + page));
    QDialog *help = window();
    help->setWindowState(help->windowState() & ~Qt::WindowMinimized);
    help->show();
    help->raise();
    help->activateWindow();
    return exists ? 0 : -1;
}

QWidget *helpWindow()
{
    return window();
}

} // namespace rt
