// DisplayMyPrintPropertySheet: the page setup dialog for the default printer.
#include "dialogowner.h"
#include "helvex1.h"
#include "qtdialoghost.h"

#include <QPageSetupDialog>
#include <QPrinter>

extern "C" HELVEX1_API int32_t DisplayMyPrintPropertySheet(HX_WINDOW owner)
{
    if (!helvex1::dialogApplication())
        return 0;
    QPrinter printer; // the default printer; the choices made are not kept
    printer.setCopyCount(1);
    QPageSetupDialog dialog(&printer);
    dialog.setObjectName(QStringLiteral("helvex1_page_setup"));
    helvex1::DialogOwner link(dialog, owner);
    return dialog.exec() == QDialog::Accepted ? 1 : 0;
}
