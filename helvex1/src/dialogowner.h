// Makes a library dialog the child of the caller's window.
#pragma once

#include "helvex1.h"

#include <QWindow>

#include <memory>

class QDialog;

namespace helvex1 {

// Keeps a foreign owner window known to Qt while the dialog is open.
class DialogOwner {
public:
    // `owner` is a widget of this program (found by its window id) or a
    // window of another toolkit on the same X display; 0 means none.
    DialogOwner(QDialog &dialog, HX_WINDOW owner);
    ~DialogOwner();
    DialogOwner(const DialogOwner &) = delete;
    DialogOwner &operator=(const DialogOwner &) = delete;

private:
    std::unique_ptr<QWindow> foreign_;
};

} // namespace helvex1
