/*
 * helvex1.h - public interface of libhelvex1, a library of small system
 * functions with a plain C interface.
 *
 * Conventions shared by every export:
 *  - plain, undecorated C names; on x86-64 Linux the platform's only calling
 *    convention applies (there is no separate "standard call" form);
 *  - integers are 32-bit; strings are zero-terminated single-byte (UTF-8)
 *    text; text results are written into buffers that the caller supplies;
 *  - Boolean results (HX_BOOL) are one byte wide: 1 true, 0 false;
 *  - unless an export says otherwise, 0 means success, HX_FAILURE (-1024)
 *    a general failure and HX_BUFFER_TOO_SMALL (-2048) a buffer that cannot
 *    hold the result;
 *  - nothing persists between calls except what an export names.
 */
#ifndef HELVEX1_H
#define HELVEX1_H

#include <stdint.h>

#if defined(HELVEX1_BUILDING)
#define HELVEX1_API __attribute__((visibility("default")))
#else
#define HELVEX1_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

typedef unsigned char HX_BOOL;

#define HX_SUCCESS 0
#define HX_FAILURE (-1024)
#define HX_BUFFER_TOO_SMALL (-2048)

/* Locale information codes understood by GetIntSetting (the numbering of the
 * Windows locale API, so that callers written for it keep working). */
#define HX_LOCALE_SDECIMAL 0x0E          /* decimal separator */
#define HX_LOCALE_STHOUSAND 0x0F         /* thousands separator */
#define HX_LOCALE_SCURRENCY 0x14         /* currency symbol */
#define HX_LOCALE_SDATE 0x1D             /* date separator, e.g. "/" */
#define HX_LOCALE_STIME 0x1E             /* time separator, e.g. ":" */
#define HX_LOCALE_SSHORTDATE 0x1F        /* short date picture, e.g. "dd.MM.yyyy" */
#define HX_LOCALE_IDATE 0x21             /* short date order: "0" m-d-y, "1" d-m-y, "2" y-m-d */
#define HX_LOCALE_ITIME 0x23             /* "0" 12-hour clock, "1" 24-hour clock */
#define HX_LOCALE_S1159 0x28             /* morning designator, e.g. "AM" */
#define HX_LOCALE_S2359 0x29             /* afternoon designator, e.g. "PM" */
#define HX_LOCALE_SDAYNAME1 0x2A         /* ..0x30: Monday .. Sunday */
#define HX_LOCALE_SABBREVDAYNAME1 0x31   /* ..0x37: Mon .. Sun */
#define HX_LOCALE_SMONTHNAME1 0x38       /* ..0x43: January .. December */
#define HX_LOCALE_SABBREVMONTHNAME1 0x44 /* ..0x4F: Jan .. Dec */
#define HX_LOCALE_STIMEFORMAT 0x1003     /* time picture, e.g. "HH:mm:ss" */

/* GetIntSetting: the text of locale setting `code` for the current user's
 * locale (LC_ALL / LC_TIME / LC_NUMERIC / LC_MONETARY / LANG; a locale this
 * machine does not know is treated as "C").  The text, with its terminating
 * zero, is copied into `buffer`.  `length` is accepted and not consulted:
 * the caller supplies at least 256 bytes.
 * Returns 0; -2048 when the text needs more than 255 characters; -1024 for an
 * unknown code or any other failure.  On failure the buffer is not touched. */
HELVEX1_API int32_t GetIntSetting(uint32_t code, char *buffer, int32_t length);

/* GetInstallDirectory: shows a folder dialog titled "Please select a
 * installation folder:" (folders only).  A folder on a CD-ROM or RAM file
 * system (iso9660, udf, tmpfs, ramfs) opens the dialog again.  The chosen
 * folder is written into `buffer` (at least 260 bytes) without a trailing
 * "/" except for "/" itself; cancel, or a path of 260 bytes or more, gives
 * the empty text.  `unused` is not consulted.  Always returns 0. */
HELVEX1_API int32_t GetInstallDirectory(char *buffer, int32_t unused);

/* RegisterAX: registers (operation 1) or unregisters (any other value) the
 * component library at `path` through its DllRegisterServer /
 * DllUnregisterServer entry.  A bare file name is looked up in the calling
 * program's own folder first, then along the library search path.
 * Returns 0 done; 1 the component system did not start (never on Linux);
 * 2 the library did not load, or its entry is missing or failed. */
HELVEX1_API int32_t RegisterAX(const char *path, int32_t operation);

/* Register / UnRegister: load the library at `path`, call its
 * DllRegisterServer / DllUnregisterServer entry, unload it.
 * 1 exactly when the entry exists and returns 0, else 0. */
HELVEX1_API HX_BOOL Register(const char *path);
HELVEX1_API HX_BOOL UnRegister(const char *path);

/* InitOleLib: starts (low byte of `flag` nonzero) or stops (zero) the
 * component system for this thread.  Linux components need no start-up, so
 * both always succeed: 1. */
HELVEX1_API HX_BOOL InitOleLib(int32_t flag);

/* CreateAppInst: takes the named instance lock `name` and holds it for the
 * life of the process.  0 this is the first holder; 1 the name is already
 * held (by another process, or earlier by this one); 2 the check failed.
 * An empty or null name is an unnamed lock: always 0. */
HELVEX1_API int32_t CreateAppInst(const char *name);

/* GetErrorMessage: the system's text for error number `code` (0 takes the
 * calling thread's last error, errno).  Without a system text: "Could not
 * format the error message , but the error code was %d".  The text is
 * allocated with malloc and belongs to the caller, who releases it with
 * free().  Returns NULL only when memory runs out. */
HELVEX1_API char *GetErrorMessage(uint32_t code);

#ifdef __cplusplus
}
#endif

#endif /* HELVEX1_H */
