// RegisterAX, Register, UnRegister, InitOleLib: component registration.
// A component is a shared library with the entries DllRegisterServer and
// DllUnregisterServer, each answering 0 on success.
#include "helvex1.h"

#include <dlfcn.h>
#include <limits.h>
#include <unistd.h>

#include <cstring>
#include <string>

namespace {

using EntryFn = int32_t (*)();

std::string programFolder()
{
    char path[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0)
        return {};
    path[n] = '\0';
    std::string s(path);
    const size_t slash = s.rfind('/');
    return slash == std::string::npos ? std::string() : s.substr(0, slash + 1);
}

// The folder of this library itself, with a trailing "/".
std::string libraryFolder()
{
    Dl_info info;
    if (dladdr(reinterpret_cast<void *>(&programFolder), &info) == 0 || !info.dli_fname)
        return {};
    const std::string s(info.dli_fname);
    const size_t slash = s.rfind('/');
    return slash == std::string::npos ? std::string() : s.substr(0, slash + 1);
}

void *openLibrary(const char *path)
{
    if (!path || !*path)
        return nullptr;
    if (!std::strchr(path, '/')) {
        // A bare file name: the program's own folder first, then the folder
        // this library lies in (an installed program keeps its libraries
        // apart from itself). The search by run path that dlopen makes is
        // the caller's, and a program whose dlopen is wrapped (a checked
        // build) is not the caller it seems.
        for (const std::string &folder : {programFolder(), libraryFolder()}) {
            const std::string local = folder + path;
            if (!folder.empty() && access(local.c_str(), F_OK) == 0) {
                if (void *h = dlopen(local.c_str(), RTLD_NOW | RTLD_LOCAL))
                    return h;
            }
        }
    }
    return dlopen(path, RTLD_NOW | RTLD_LOCAL);
}

HX_BOOL callEntry(const char *path, const char *entry)
{
    void *lib = openLibrary(path);
    if (!lib)
        return 0;
    HX_BOOL ok = 0;
    if (auto fn = reinterpret_cast<EntryFn>(dlsym(lib, entry)))
        ok = fn() == 0 ? 1 : 0;
    dlclose(lib);
    return ok;
}

} // namespace

extern "C" HELVEX1_API HX_BOOL Register(const char *path)
{
    return callEntry(path, "DllRegisterServer");
}

extern "C" HELVEX1_API HX_BOOL UnRegister(const char *path)
{
    return callEntry(path, "DllUnregisterServer");
}

extern "C" HELVEX1_API HX_BOOL InitOleLib(int32_t /*flag*/)
{
    // Components on Linux are plain shared libraries: there is no component
    // system to start or stop, so both directions succeed.
    return 1;
}

extern "C" HELVEX1_API int32_t RegisterAX(const char *path, int32_t operation)
{
    const HX_BOOL done = operation == 1 ? Register(path) : UnRegister(path);
    return done == 1 ? 0 : 2;
}
