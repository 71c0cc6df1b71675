// Settings shared by every window of the program. They are plain values
// without locking: only the user-interface thread touches them.
#pragma once

#include <QString>
#include <QtGlobal>

inline qint32 gl_screen_width = 0;  // screen width in pixels
inline qint32 gl_screen_height = 0; // screen height in pixels

inline QString gs_event_filename = QStringLiteral("VantelEvents.txt");
inline QString gs_event_dates_filename = QStringLiteral("VantelEventDates.txt");
inline QString gs_admin_filename = QStringLiteral("VantelAdmin.txt");
inline QString gs_zip_filename = QStringLiteral("Vantel.zip");

// Data folder; always ends with "/" once the main window has opened. The
// declared default is the historical one and is replaced at start-up before
// anything reads it.
inline QString gs_directory = QStringLiteral("C:\\Vantel\\");
inline QString gs_app_dir; // program folder, ends with "/"

inline QString gs_login;
inline QString gs_password;
inline QString gs_country;
inline QString gs_state;
inline QString gs_city;

inline QString gs_short_date_format; // "dd.mm.yyyy", "mm/dd/yyyy", "yyyy-mm-dd", ...
inline QString gs_date_separator;

inline QString gs_ini_file_name = QStringLiteral("vantel.ini");
