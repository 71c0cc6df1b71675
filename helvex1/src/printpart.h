// The printer exports (GetPrinters, GetMyDefaultPrinter, SetMyDefaultPrinter,
// DisplayMyPrintPropertySheet) need the print service's client and Qt's
// print support, and with them some twenty libraries that a program using
// the other exports would load for nothing. So the shared library holds
// only their entry points (printstubs.cpp), which load the printer part,
// libhelvex1print.so beside it, at the first call. The printer part names
// its functions helvex1print_<export>; the static archive of the tests
// holds them under the exports' own names.
#pragma once

#include "helvex1.h"

#ifdef HELVEX1_PRINT_PART
#define HX_PRINT_NAME(name) helvex1print_##name
extern "C" {
HELVEX1_API int32_t helvex1print_GetPrinters(int32_t unused1, char *buffer, int32_t unused2);
HELVEX1_API int32_t helvex1print_GetMyDefaultPrinter(char *buffer, int32_t unused);
HELVEX1_API int32_t helvex1print_SetMyDefaultPrinter(const char *name);
HELVEX1_API int32_t helvex1print_DisplayMyPrintPropertySheet(HX_WINDOW owner);
}
#else
#define HX_PRINT_NAME(name) name
#endif

class QApplication;

// The printer part is told first how to reach the library's QApplication
// (see qtdialoghost.h).
extern "C" HELVEX1_API void helvex1print_setup(QApplication *(*dialogApplication)());
