// The printer exports of the shared library: each loads the printer part
// (see printpart.h) at its first call and hands the call on. Without the
// part, or with a part that lacks a function, each answers as it does when
// the print service cannot be reached.
#include "printpart.h"
#include "qtdialoghost.h"

#include <dlfcn.h>

#include <string>

namespace {

struct PrintPart {
    int32_t (*getPrinters)(int32_t, char *, int32_t) = nullptr;
    int32_t (*getMyDefaultPrinter)(char *, int32_t) = nullptr;
    int32_t (*setMyDefaultPrinter)(const char *) = nullptr;
    int32_t (*displayMyPrintPropertySheet)(HX_WINDOW) = nullptr;
};

template <typename Fn> bool find(void *part, const char *name, Fn &fn)
{
    fn = reinterpret_cast<Fn>(dlsym(part, name));
    return fn != nullptr;
}

PrintPart load()
{
    // Beside this library, wherever it was loaded from.
    Dl_info self;
    if (!dladdr(reinterpret_cast<void *>(&load), &self) || !self.dli_fname)
        return {};
    std::string path = self.dli_fname;
    path = path.substr(0, path.rfind('/') + 1) + "libhelvex1print.so";
    void *part = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!part)
        return {};
    PrintPart p;
    void (*setup)(QApplication *(*)()) = nullptr;
    if (!find(part, "helvex1print_setup", setup) || !find(part, "helvex1print_GetPrinters", p.getPrinters)
        || !find(part, "helvex1print_GetMyDefaultPrinter", p.getMyDefaultPrinter)
        || !find(part, "helvex1print_SetMyDefaultPrinter", p.setMyDefaultPrinter)
        || !find(part, "helvex1print_DisplayMyPrintPropertySheet", p.displayMyPrintPropertySheet)) {
        dlclose(part);
        return {};
    }
    setup(&helvex1::dialogApplication);
    return p; // the part stays loaded for the rest of the process
}

const PrintPart &printPart()
{
    static const PrintPart part = load();
    return part;
}

} // namespace

extern "C" HELVEX1_API int32_t GetPrinters(int32_t unused1, char *buffer, int32_t unused2)
{
    const PrintPart &p = printPart();
    return p.getPrinters && buffer ? p.getPrinters(unused1, buffer, unused2) : HX_FAILURE;
}

extern "C" HELVEX1_API int32_t GetMyDefaultPrinter(char *buffer, int32_t unused)
{
    const PrintPart &p = printPart();
    if (p.getMyDefaultPrinter)
        return p.getMyDefaultPrinter(buffer, unused);
    if (buffer)
        buffer[0] = '\0';
    return HX_FAILURE;
}

extern "C" HELVEX1_API int32_t SetMyDefaultPrinter(const char *name)
{
    const PrintPart &p = printPart();
    return p.setMyDefaultPrinter ? p.setMyDefaultPrinter(name) : -1;
}

extern "C" HELVEX1_API int32_t DisplayMyPrintPropertySheet(HX_WINDOW owner)
{
    const PrintPart &p = printPart();
    return p.displayMyPrintPropertySheet ? p.displayMyPrintPropertySheet(owner) : 0;
}
