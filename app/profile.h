// Reading and writing Windows-style profile files ("[Section]" headers and
// "key=value" lines). Writing changes one key and leaves every other byte of
// the file as it was.
#pragma once

#include <QString>

namespace rt {

// The value of `key` in `section` (both compared without regard to case,
// blanks around names and values ignored); `defaultValue` when the file,
// the section or the key is missing.
QString ProfileString(const QString &file, const QString &section, const QString &key,
                      const QString &defaultValue);

// What a look at the settings file before it is used found.
struct ProfileCheck {
    QString unreadable; // why a file that is there cannot be read (a pipe, a folder, too large, ...)
    QString mixed;      // the file mixes UTF-8 and Windows-1252: where, and how many bytes
    QString backupPath; // with `mixed`: the copy of the file as it was, or empty when none could be kept
};
ProfileCheck CheckProfileFile(const QString &file);

// Sets `key` in `section`, adding the key or the section when missing and
// creating the file when it does not exist. What is written keeps to the
// file's encoding (UTF-8 or Windows-1252; a value that Windows-1252 cannot
// hold turns the file into UTF-8). 1 on success, -1 when the file could not
// be read or written (the old file then stays whole, and `error` says why).
// Every write is checked: a full disk never leaves a shortened file.
int SetProfileString(const QString &file, const QString &section, const QString &key, const QString &value,
                     QString *error = nullptr);

} // namespace rt
