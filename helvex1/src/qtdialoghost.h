// Access to a QApplication for the exports that show dialogs: the calling
// program's own where there is one, otherwise one made on demand.
#pragma once

class QApplication;

namespace helvex1 {

// The program's QApplication, or one created for the library; nullptr when
// the process runs a non-GUI Qt application object or no display is usable.
QApplication *dialogApplication();

} // namespace helvex1
