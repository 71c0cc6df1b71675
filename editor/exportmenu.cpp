#include "exportmenu.h"

#include "eventdocument.h"
#include "globals.h"
#include "pagehost.h"
#include "runtime.h"

#include <QDir>
#include <QEvent>
#include <QFileDialog>
#include <QMenu>
#include <QPushButton>

namespace exportmenu {

namespace {

// Keeps the menu button enabled exactly while the Export button is (an
// export running disables both).
class FollowEnabled : public QObject {
public:
    FollowEnabled(QPushButton *source, QPushButton *target) : QObject(target), target_(target)
    {
        source->installEventFilter(this);
        target->setEnabled(source->isEnabled());
    }
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::EnabledChange)
            target_->setEnabled(static_cast<QWidget *>(watched)->isEnabled());
        return false;
    }

private:
    QPushButton *target_;
};

} // namespace

QPushButton *makeButton(QWidget *parent, QPushButton *exportButton, const EventDocument &doc)
{
    // A picture button like those beside it; its picture has the menu's arrow.
    QPushButton *button = pages::button(parent, "pb_export_menu", QStringLiteral("More"), "more.jpg", "more_focus.jpg",
                                        "more_dis.jpg");
    button->setAccessibleName(QStringLiteral("Other export formats"));
    button->setToolTip(QStringLiteral("Export as a calendar file (.ics) or as web page data (JSON-LD)"));
    // Reached with Tab straight after Export, where it stands.
    QWidget::setTabOrder(exportButton, button);
    auto *menu = new QMenu(button);
    menu->setObjectName(QStringLiteral("m_export"));
    const EventDocument *document = &doc;
    QAction *ics = menu->addAction(QStringLiteral("Calendar file (.ics)..."), parent, [parent, document] {
        exportTo(parent, interop::ExportFormat::Calendar, gs_directory, document->isModified());
    });
    ics->setObjectName(QStringLiteral("m_export_ics"));
    QAction *web = menu->addAction(QStringLiteral("Web page data (JSON-LD)..."), parent, [parent, document] {
        exportTo(parent, interop::ExportFormat::WebData, gs_directory, document->isModified());
    });
    web->setObjectName(QStringLiteral("m_export_jsonld"));
    button->setMenu(menu);
    new FollowEnabled(exportButton, button);
    return button;
}

void exportTo(QWidget *parent, interop::ExportFormat format, const QString &folder, bool unsaved)
{
    const bool calendar = format == interop::ExportFormat::Calendar;
    const QString title = calendar ? QStringLiteral("Export Calendar File") : QStringLiteral("Export Web Page Data");
    const QString suggested = folder + (calendar ? QStringLiteral("Vantel.ics") : QStringLiteral("Vantel.jsonld"));
    const QString target = QFileDialog::getSaveFileName(
        parent, title, suggested,
        calendar ? QStringLiteral("Calendar files (*.ics);;All files (*)")
                 : QStringLiteral("Web page data (*.jsonld *.json);;All files (*)"));
    if (target.isEmpty())
        return;
    interop::ExportRequest request;
    request.dataFolder = folder;
    request.target = target;
    request.format = format;
    const interop::ExportOutcome outcome = interop::exportSavedData(request);
    if (!outcome.ok()) {
        rt::MessageBox(title, outcome.error);
        return;
    }
    QStringList text{QStringLiteral("%1 event(s) of the data as last saved were written to %2.")
                         .arg(outcome.events)
                         .arg(QDir::toNativeSeparators(target))};
    // The window also knows of changes not yet in the journal.
    if (unsaved || outcome.unsavedInFolder)
        text << QStringLiteral("Your unsaved changes are not in it: save first to include them.");
    text << outcome.notes;
    rt::MessageBox(title, text.join(QStringLiteral("\n\n")));
}

} // namespace exportmenu
