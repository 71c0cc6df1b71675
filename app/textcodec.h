// Decoding of text files: UTF-8 where the bytes are valid UTF-8, otherwise
// Windows-1252, the code page of files written on older Windows machines.
#pragma once

#include <QByteArray>
#include <QString>

namespace rt {

bool isValidUtf8(const QByteArray &bytes);
QString decodeWindows1252(const QByteArray &bytes);
QString decodeText(const QByteArray &bytes); // UTF-8 or Windows-1252, as above

} // namespace rt
