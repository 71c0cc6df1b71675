// ComCreateObject, ComInvoke, ComReleaseObject, ComSetProgress: objects of
// the component "XStandard.Zip", the dispatch of their methods by name and
// the progress function that follows and may stop a call.
#include "pack.h"

#include "xzip_component.h"

#include <strings.h>

#include <cmath>
#include <new>
#include <string>

namespace {

// An object of the zip component. Between calls it holds only its progress
// function; the tag catches pointers that were not made here.
struct ZipObject {
    static constexpr uint32_t kTag = 0x7a69704f; // "zipO"
    uint32_t tag = kTag;
    ComProgressFn progress = nullptr;
    void *progressContext = nullptr;
};

ZipObject *zipObject(void *object)
{
    auto *zo = static_cast<ZipObject *>(object);
    return zo && zo->tag == ZipObject::kTag ? zo : nullptr;
}

bool asString(const ComValue &v, std::string &out)
{
    if (v.type != COM_STRING || !v.v.string)
        return false;
    out = v.v.string;
    return true;
}

bool asInteger(const ComValue &v, int64_t &out)
{
    if (v.type == COM_INTEGER) {
        out = v.v.integer;
        return true;
    }
    if (v.type == COM_DOUBLE && std::isfinite(v.v.real) && std::trunc(v.v.real) == v.v.real
        && std::fabs(v.v.real) < 9.0e15) {
        out = static_cast<int64_t>(v.v.real);
        return true;
    }
    return false;
}

// pack(source, archive, paths, level) -> integer
int32_t invokePack(const ZipObject &zo, int32_t argc, const ComValue *argv, ComValue *result)
{
    std::string source, archive;
    int64_t paths = 0, level = 0;
    if (argc != 4 || !argv || !asString(argv[0], source) || !asString(argv[1], archive)
        || !asInteger(argv[2], paths) || !asInteger(argv[3], level) || level < 0 || level > 9
        || archive.empty())
        return COM_BAD_ARGUMENTS;
    xzip::Progress progress;
    if (zo.progress)
        progress = [fn = zo.progress, context = zo.progressContext](double done) { return fn(context, done) == 0; };
    const int rc = xzip::pack(source, archive, paths != 0, static_cast<int>(level), progress);
    if (result) {
        result->type = COM_INTEGER;
        result->v.integer = rc;
    }
    return COM_OK;
}

} // namespace

extern "C" XZIP_API void *ComCreateObject(const char *progid)
{
    if (!progid || strcasecmp(progid, XZIP_PROGID) != 0)
        return nullptr;
    return new (std::nothrow) ZipObject;
}

extern "C" XZIP_API int32_t ComInvoke(void *object, const char *method, int32_t argc, const ComValue *argv,
                                      ComValue *result)
{
    if (result) {
        result->type = COM_EMPTY;
        result->v.integer = 0;
    }
    ZipObject *zo = zipObject(object);
    if (!zo || !method)
        return COM_BAD_ARGUMENTS;
    if (strcasecmp(method, "pack") == 0)
        return invokePack(*zo, argc, argv, result);
    return COM_UNKNOWN_METHOD;
}

extern "C" XZIP_API int32_t ComSetProgress(void *object, ComProgressFn fn, void *context)
{
    ZipObject *zo = zipObject(object);
    if (!zo)
        return COM_BAD_ARGUMENTS;
    zo->progress = fn;
    zo->progressContext = fn ? context : nullptr;
    return COM_OK;
}

extern "C" XZIP_API void ComReleaseObject(void *object)
{
    ZipObject *zo = zipObject(object);
    if (!zo)
        return;
    zo->tag = 0;
    delete zo;
}
