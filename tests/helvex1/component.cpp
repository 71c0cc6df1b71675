// A component library for the registration tests. The entries append their
// name to the file named by HX_COMPONENT_LOG.
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#if defined(COMPONENT_OK) || defined(COMPONENT_FAILS)
namespace {
void log(const char *what)
{
    if (const char *path = std::getenv("HX_COMPONENT_LOG")) {
        if (FILE *f = std::fopen(path, "a")) {
            std::fprintf(f, "%s\n", what);
            std::fclose(f);
        }
    }
}
} // namespace
#endif

#if defined(COMPONENT_OK)
extern "C" __attribute__((visibility("default"))) int32_t DllRegisterServer()
{
    log("register");
    return 0;
}
extern "C" __attribute__((visibility("default"))) int32_t DllUnregisterServer()
{
    log("unregister");
    return 0;
}
#elif defined(COMPONENT_FAILS)
extern "C" __attribute__((visibility("default"))) int32_t DllRegisterServer()
{
    log("register");
    return 0x80004005; // a failure code
}
#else
extern "C" __attribute__((visibility("default"))) int32_t SomethingElse()
{
    return 0;
}
#endif
