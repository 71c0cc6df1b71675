// DisplayMyPrintPropertySheet: the page setup dialog for the default printer.
#include "dialogowner.h"
#include "printpart.h"
#include "qtdialoghost.h"

#include <QPageSetupDialog>
#include <QPrinter>

extern "C" HELVEX1_API int32_t HX_PRINT_NAME(DisplayMyPrintPropertySheet)(HX_WINDOW owner)
{
    // The dialog belongs to the default printer; without one there is
    // nothing to set up.
    char name[512];
    if (HX_PRINT_NAME(GetMyDefaultPrinter)(name, 0) != HX_SUCCESS)
        return 0;
    if (!helvex1::dialogApplication())
        return 0;
    QPrinter printer; // the choices made are not kept
    printer.setPrinterName(QString::fromUtf8(name));
    printer.setCopyCount(1);
    QPageSetupDialog dialog(&printer);
    dialog.setObjectName(QStringLiteral("helvex1_page_setup"));
    helvex1::DialogOwner link(dialog, owner);
    return dialog.exec() == QDialog::Accepted ? 1 : 0;
}
