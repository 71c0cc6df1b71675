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

/* ---- Display, system and version queries ------------------------------ */

/* Owner of a dialog: the native window id of a top-level window (on X11 the
 * id that QWidget::winId() answers), or 0 for none. */
typedef uintptr_t HX_WINDOW;

/* GetOperatingSystemVer: the Windows version code of the system: 0 for any
 * system that is not Windows (always 0 on Linux); 1-3 the 9x family, 4-9 the
 * NT family.  Exports that choose a method by this code take the method of
 * code 0 on Linux. */
HELVEX1_API int32_t GetOperatingSystemVer(void);

/* GetDisplayResolution: display modes as text, one entry per mode,
 * "width,height,bits per pixel,refresh;" (refresh in hertz, 0 when the
 * display does not say), e.g. "1024,768,32,60;".  `selector` 1 gives the
 * current mode only, any other value every mode of the display in its own
 * order (at most 8191 characters: entries that would go beyond are left
 * out).  `buffer` must hold `length` + 1 bytes.
 * Returns 0 with the text and its terminating zero; -2048 when the text is
 * longer than `length`: its first `length` characters are copied without a
 * terminating zero; -1024 when there is no display or its mode cannot be
 * read (buffer untouched). */
HELVEX1_API int32_t GetDisplayResolution(int32_t selector, char *buffer, int32_t length);

/* Display-change codes answered by SetDisplayResolution. */
#define HX_DISP_CHANGE_SUCCESSFUL 0
#define HX_DISP_CHANGE_RESTART 1
#define HX_DISP_CHANGE_FAILED (-1)
#define HX_DISP_CHANGE_BADMODE (-2)
#define HX_DISP_NO_CURRENT_MODE (-10)

/* SetDisplayResolution: switches the display to the mode of the given size,
 * bits per pixel and refresh rate (0 = any refresh), for this session only.
 * The mode is tested first and the display stays as it is when the test
 * fails.  Returns 0 changed; -2 the display offers no such mode (the bits
 * per pixel must be those of the display); -1 the display refused the
 * change; -10 there is no display or its current mode cannot be read. */
HELVEX1_API int32_t SetDisplayResolution(int32_t width, int32_t height, int32_t bitsPerPixel,
                                         int32_t refresh);

/* GetDPI: the screen's vertical resolution in dots per inch (from its size
 * in pixels and millimetres, rounded); 0 when there is no display.
 * `unused` is not consulted. */
HELVEX1_API int32_t GetDPI(int32_t unused);

/* GetSystemInfoMachine: `selector` 1 the total size, 2 the total free space
 * (bytes, decimal) of the file system that holds `path`; any other selector
 * gives the empty text without a query.  `buffer` holds at least 100 bytes;
 * `unused` is not consulted.
 * Returns 0 with the text; -1024 when the file system cannot be queried
 * (buffer untouched). */
HELVEX1_API int32_t GetSystemInfoMachine(int32_t selector, const char *path, char *buffer,
                                         int32_t unused);

/* GetStatusbarInfo: the desktop's panel (a visible dock window).
 * `selector` 0: 1 when one is visible, else 0.  Any other selector: its
 * state bits, 1 = it hides itself automatically (it reserves no screen
 * space: a strut of all zeros), 2 = always on top (_NET_WM_STATE_ABOVE);
 * 0 when the desktop tells neither or there is no panel. */
HELVEX1_API int32_t GetStatusbarInfo(int32_t selector);

/* GetElementColor / SetElementColor: the colour of a Windows screen element
 * (COLOR_WINDOW = 5, COLOR_HIGHLIGHT = 13, COLOR_BTNFACE = 15, ...) as held
 * in the calling program's Qt palette, as 0x00BBGGRR.  Elements mapped onto
 * one palette role share their colour.  Get answers 0 for an element with
 * no counterpart or in a program without a Qt widget application.  Set
 * changes the colour for every window of the program until it ends (nothing
 * is stored): 1 set; 0 refused (no counterpart, or no Qt widget
 * application). */
HELVEX1_API int32_t GetElementColor(int32_t element);
HELVEX1_API HX_BOOL SetElementColor(int32_t element, uint32_t color);

/* TestForVersion: compares the version text "major.minor.build.revision"
 * (the form GetFileInfo writes) with the given numbers, part by part from
 * the left.  Missing parts count as 0; a part is the run of digits at its
 * start (longer runs than any 32-bit number compare as the largest).
 * Returns 0 when the text's version is at least the given one; -1024 when it
 * is lower or the text is missing. */
HELVEX1_API int32_t TestForVersion(const char *version, int32_t major, int32_t minor,
                                   int32_t build, int32_t revision);

/* TestForVersion2: the same comparison with both versions as text: 0 when
 * `version` is at least `other`, -1024 when it is lower or a text is
 * missing. */
HELVEX1_API int32_t TestForVersion2(const char *version, const char *other);

/* ---- Printers (CUPS) -------------------------------------------------- */

/* GetPrinters: the print queues as "name|device URI|printer-type bits|" for
 * each, in the order the print service lists them, with one more "|" after
 * the last one: "Office|file:/dev/null|4||".  The caller's buffer
 * must hold the whole text; the two `unused` arguments are not consulted.
 * Returns 0 with the text; with no printers 0 and the buffer untouched;
 * -1024 when the print service cannot list them (buffer untouched). */
HELVEX1_API int32_t GetPrinters(int32_t unused1, char *buffer, int32_t unused2);

/* GetMyDefaultPrinter: the name of the default printer (the user's own
 * choice first, else the print service's) into `buffer` (at least 512
 * bytes).  Returns 0; -1024 with the empty text when there is none or it
 * cannot be read.  A user's choice that names a printer no longer there
 * counts as none, as it does for the print service's own commands.
 * `unused` is not consulted. */
HELVEX1_API int32_t GetMyDefaultPrinter(char *buffer, int32_t unused);

/* SetMyDefaultPrinter: makes the printer `name` the user's default.
 * Returns 0 done; -1 refused: a missing or unknown name, or the print
 * service cannot be reached or the choice cannot be saved. */
HELVEX1_API int32_t SetMyDefaultPrinter(const char *name);

/* DisplayMyPrintPropertySheet: the page setup dialog for the default
 * printer (the one GetMyDefaultPrinter names), owned by `owner`.  1 the
 * user confirmed it; 0 cancelled, no default printer, or no dialog
 * possible.  The settings chosen are not kept. */
HELVEX1_API int32_t DisplayMyPrintPropertySheet(HX_WINDOW owner);

/* ---- Files and folders ------------------------------------------------ */

/* Error texts of GetFileInfo and GetFileDate (answer -1024):
 *   "-1" GetFileInfo: no version resource (every non-PE file) or the file
 *        cannot be read;  GetFileDate: the file cannot be opened for reading
 *   "-2" GetFileInfo: the version resource is damaged;
 *        GetFileDate: the time stamp cannot be read (also: the file system
 *        does not record the creation time, or the stamp lies beyond the
 *        year 9999 and its date text would not fit 18 bytes)
 *   "-3" GetFileInfo: the fixed information or translation table is missing
 *   "-4" GetFileInfo: that part is empty
 *   "-5" GetFileInfo: the string item is missing in the chosen translation */

/* GetFileInfo: one item of the Windows version resource of the PE file at
 * `path`.  Low byte of `kind` 0: string item `item` 1-13 (OLESelfRegister,
 * CompanyName, FileDescription, FileVersion, InternalName, LegalCopyright,
 * OriginalFilename, ProductName, ProductVersion, Comments, LegalTrademarks,
 * PrivateBuild, SpecialBuild) of the translation that matches the user's
 * language, else the first one (values of more than 511 bytes are cut at a
 * character boundary).  Nonzero: number item 1 file version "a.b.c.d",
 * 2 "a.b", 3 "c.d", 4-6 the same for the product version, 7 the file date in
 * local time, 8 as stored (UTC), as "dd/mm/yyyy  hh:mm"; other items the
 * empty text.  `buffer` holds at least 512 bytes; `unused` is not consulted.
 * Returns 0 with the text, or -1024 with an error text. */
HELVEX1_API int32_t GetFileInfo(const char *path, int32_t kind, int32_t item, char *buffer,
                                int32_t unused);

/* GetFileDate: time stamp `stamp` (1 created, 2 last accessed, 3 last
 * written) of the file at `path` in local time, "dd/mm/yyyy  hh:mm", into
 * `buffer` (at least 18 bytes).  Any other stamp: the empty text, 0, without
 * opening the file.  Returns 0, or -1024 with an error text. */
HELVEX1_API int32_t GetFileDate(const char *path, int32_t stamp, char *buffer, int32_t unused);

/* DeleteDirectory: removes the folder `path` and everything in it, depth
 * first, making read-only entries writable first.  Symbolic links are
 * removed, never followed (also a link named with a trailing "/").  Returns 1 when the folder is gone; 0 when it
 * stopped at the first entry it could not remove (entries removed before
 * stay removed), or when `path` is not a folder. */
HELVEX1_API int32_t DeleteDirectory(const char *path);

/* ---- Machine control -------------------------------------------------- */

/* SystemReboot: asks the login manager (systemd-logind, over the system
 * D-Bus) to restart the machine.  1 the restart has been started; 0
 * refused. */
HELVEX1_API HX_BOOL SystemReboot(void);

/* RunOnce: registers `command` (a shell command line) to run once at the
 * user's next login: an XDG autostart entry "<name>.desktop" in
 * $XDG_CONFIG_HOME/autostart (default ~/.config/autostart) that removes
 * itself before it runs the command.  An entry of the same name is
 * replaced.  1 written; 0 the folder cannot be made, the entry cannot be
 * written, or `name` is empty or holds a "/" or is "." or "..". */
HELVEX1_API HX_BOOL RunOnce(const char *name, const char *command);

/* SetNewDate / SetNewTime: set the system clock's date (UTC date; the time
 * of day stays) or time of day (local time; the date and the fraction of
 * the second stay).  1 set; 0 refused: an invalid date or time (the clock is
 * not touched) or the system refused (missing privilege). */
HELVEX1_API int32_t SetNewDate(int32_t day, int32_t month, int32_t year);
HELVEX1_API int32_t SetNewTime(int32_t hour, int32_t minute, int32_t second);

#define HX_NOT_NT_FAMILY (-64)

/* StopService: stops a Windows service and the services that depend on it.
 * On Linux (version code 0) it answers -64 at once and leaves `message`
 * untouched; the other arguments are not consulted.  (On the NT family: 0
 * stopped with the empty text in `message`; -1024 with the system's message
 * text.) */
HELVEX1_API int32_t StopService(const char *displayName, char *message, int32_t unused);

/* MyChooseColor / DisplayColorDialog: the colour dialog, fully opened,
 * owned by `owner`, starting at `initial` (0x00BBGGRR).  Each export keeps
 * its own 16 custom colours for the life of the process.  Returns the
 * chosen colour (0x00BBGGRR); when the user cancels or no dialog is
 * possible, MyChooseColor answers -1024 and DisplayColorDialog -1. */
HELVEX1_API int32_t MyChooseColor(HX_WINDOW owner, int32_t unused, uint32_t initial);
HELVEX1_API int32_t DisplayColorDialog(HX_WINDOW owner, uint32_t initial);

#ifdef __cplusplus
}
#endif

#endif /* HELVEX1_H */
