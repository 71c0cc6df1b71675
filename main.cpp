// Vantel: records public events and packs them for an event-listing service.
#include "vantel.h"
#include "w_event.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication qapp(argc, argv);
    vantel app([] {
        auto *w = new w_event;
        w->setAttribute(Qt::WA_DeleteOnClose);
        w->open();
        return true;
    });
    app.create();
    const bool opened = app.open(QCoreApplication::arguments().mid(1).join(QLatin1Char(' ')));
    return opened ? qapp.exec() : 1;
}
