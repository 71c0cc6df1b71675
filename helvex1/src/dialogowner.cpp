// Owner windows of the library's dialogs.
#include "dialogowner.h"

#include <QDialog>
#include <QGuiApplication>
#include <QWidget>

namespace helvex1 {

DialogOwner::DialogOwner(QDialog &dialog, HX_WINDOW owner)
{
    if (!owner)
        return;
    if (QWidget *w = QWidget::find(static_cast<WId>(owner))) {
        dialog.setParent(w->window(), dialog.windowFlags() | Qt::Dialog);
        return;
    }
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        return; // a foreign id means nothing to other platforms
    foreign_.reset(QWindow::fromWinId(static_cast<WId>(owner)));
    if (!foreign_)
        return;
    dialog.winId(); // gives the dialog its window handle
    if (QWindow *handle = dialog.windowHandle())
        handle->setTransientParent(foreign_.get());
}

DialogOwner::~DialogOwner() = default;

} // namespace helvex1
