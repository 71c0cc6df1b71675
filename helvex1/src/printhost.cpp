// In the printer part: the library's QApplication, as the shared library
// that loaded the part reaches it.
#include "printpart.h"
#include "qtdialoghost.h"

namespace {
QApplication *(*libraryApplication)() = nullptr;
} // namespace

extern "C" HELVEX1_API void helvex1print_setup(QApplication *(*dialogApplication)())
{
    libraryApplication = dialogApplication;
}

namespace helvex1 {

QApplication *dialogApplication()
{
    return libraryApplication ? libraryApplication() : nullptr;
}

} // namespace helvex1
