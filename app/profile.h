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

// Sets `key` in `section`, adding the key or the section when missing and
// creating the file when it does not exist. 1 on success, -1 when the file
// could not be written (the old file then stays whole).
int SetProfileString(const QString &file, const QString &section, const QString &key, const QString &value);

} // namespace rt
