/*
 * xzip_component.h - public interface of libxzip, the zip component.
 *
 * libxzip is a component: a shared library that a program loads at run time
 * and drives through a small generic interface with a plain C ABI. Every
 * component offers the same entries, so the program's automation layer can
 * create an object of any registered component by its id and call its
 * methods by name. This library provides one component, "XStandard.Zip",
 * with one method, pack.
 *
 * Component registry
 *   A per-user file, $XDG_DATA_HOME/vantel/components.ini ($XDG_DATA_HOME
 *   defaults to ~/.local/share; a value that is not an absolute path is
 *   ignored). Each component has one line "id=absolute path of its
 *   library"; ids are matched without regard to case. Lines that are not
 *   entries (comments, blank lines) and entries of other components are left
 *   as they are when the file is rewritten. The file is rewritten through a
 *   temporary file in the same folder that is then renamed over it.
 *
 * Conventions
 *   - plain, undecorated C names; integers are 32-bit unless a field says
 *     otherwise; strings are zero-terminated UTF-8;
 *   - nothing allocated by the component is freed by the caller, nor the
 *     other way round: strings passed in are read during the call only, and
 *     strings in results stay valid until the next ComInvoke on the same
 *     object or until the object is released;
 *   - objects may be used from one thread at a time.
 */
#ifndef XZIP_COMPONENT_H
#define XZIP_COMPONENT_H

#include <stdint.h>

#if defined(XZIP_BUILDING)
#define XZIP_API __attribute__((visibility("default")))
#else
#define XZIP_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* The id under which this library registers its component. */
#define XZIP_PROGID "XStandard.Zip"

/* ---- Values passed to and from methods --------------------------------- */

typedef enum ComType {
    COM_EMPTY = 0,  /* no value (a method without a result) */
    COM_INTEGER = 1,
    COM_DOUBLE = 2,
    COM_STRING = 3  /* UTF-8, zero-terminated; never NULL for this type */
} ComType;

typedef struct ComValue {
    int32_t type; /* a ComType */
    union {
        int64_t integer;
        double real;
        const char *string;
    } v;
} ComValue;

/* ---- Registration ------------------------------------------------------ */

/* Adds (or updates) the entry "XStandard.Zip" = absolute path of this
 * library to the component registry, creating its folder when needed.
 * 0: done; 1: the path of this library could not be found; 2: the registry
 * folder or file could not be created, read or written (the file is then as
 * it was). */
XZIP_API int32_t DllRegisterServer(void);

/* Removes the entry "XStandard.Zip" from the component registry.
 * 0: done, also when there was no such entry or no registry file; 2: the
 * registry file could not be read or written (it is then as it was). */
XZIP_API int32_t DllUnregisterServer(void);

/* ---- Objects ----------------------------------------------------------- */

/* Result codes of ComInvoke. */
#define COM_OK 0
#define COM_UNKNOWN_METHOD (-1)
#define COM_BAD_ARGUMENTS (-2) /* wrong number or type of arguments, or a value out of range */

/* Creates an object of the component with the given id; NULL when the id
 * (matched without regard to case) is not this library's component or the
 * object cannot be made. Release it with ComReleaseObject. */
XZIP_API void *ComCreateObject(const char *progid);

/* Calls `method` (matched without regard to case) on `object` with `argc`
 * arguments. On COM_OK `*result` (when not NULL) holds the method's result;
 * otherwise it is COM_EMPTY. Numbers may be passed as COM_INTEGER or as
 * COM_DOUBLE with a whole value. A NULL object or method answers
 * COM_BAD_ARGUMENTS. */
XZIP_API int32_t ComInvoke(void *object, const char *method, int32_t argc, const ComValue *argv,
                           ComValue *result);

/* Releases an object made by ComCreateObject; NULL is ignored. */
XZIP_API void ComReleaseObject(void *object);

/* ---- Watching and stopping a long call --------------------------------- */

/* Told from time to time during a method call how much of the call's work is
 * done, from 0.0 to 1.0. Called on the thread that made the call, never
 * during another call. Answers 0 to go on; any other value asks the method to
 * stop: it then ends soon with its "cancelled" result and leaves every file
 * as it was before the call. */
typedef int32_t (*ComProgressFn)(void *context, double done);

/* Gives `object` the progress function `fn` with its `context` for the
 * method calls that follow; NULL `fn` removes it. COM_OK, or
 * COM_BAD_ARGUMENTS for a NULL object or one not made by this library.
 * Optional entry: a program that does not find it in a component library
 * cannot follow or stop that component's calls. */
XZIP_API int32_t ComSetProgress(void *object, ComProgressFn fn, void *context);

/* ---- Methods of "XStandard.Zip" ---------------------------------------- */

/* pack(source, archive, paths, level) -> integer
 *
 *   source   string: a file, or a shell pattern ("*", "?", "[...]") in the
 *            last part of the path, which stands for every regular file of
 *            that folder whose name matches it (names beginning with "." only
 *            when the pattern does; the archive itself never)
 *   archive  string: the zip file; created when it does not exist or is an
 *            empty file
 *   paths    integer: 0 = entries are named by the file's base name;
 *            any other value = entries keep the folder part of `source`
 *            (without a leading "/")
 *   level    integer 0..9: 0 = stored uncompressed, 1..9 = deflate at that
 *            level
 *
 * An entry of the same name already in the archive is replaced. The
 * archive is written to a temporary file in its folder and renamed over the
 * old one only when complete, so a failure leaves the old archive as it was.
 * The progress function of the object (ComSetProgress) follows the reading
 * and compressing of the files and the writing of the archive, and may stop
 * the call at any of them.
 * Result: */
#define XZIP_PACK_OK 0
#define XZIP_PACK_NO_SOURCE 1    /* the file does not exist or is no regular file; or nothing matched */
#define XZIP_PACK_BAD_ARCHIVE 2  /* the archive exists but cannot be opened as a zip file */
#define XZIP_PACK_WRITE_FAILED 3 /* the archive could not be written (or a source not read) */
#define XZIP_PACK_CANCELLED 4    /* the progress function asked to stop; the archive is as it was */

#ifdef __cplusplus
}
#endif

#endif /* XZIP_COMPONENT_H */
