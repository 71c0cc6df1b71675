// Decoding of text files. Every valid UTF-8 sequence is read as UTF-8 and
// every other byte as Windows-1252, the code page of files written on older
// Windows machines: a file of one or the other reads as it was written, and
// a UTF-8 file with a stray Windows-1252 byte loses only that byte's
// meaning, not the meaning of the rest.
#pragma once

#include <QByteArray>
#include <QString>

namespace rt {

bool isValidUtf8(const char *data, qsizetype size);
bool isValidUtf8(const QByteArray &bytes);
QString decodeWindows1252(const QByteArray &bytes);

// What decoding found in a text that is not valid UTF-8.
struct MixedText {
    qsizetype windows1252Bytes = 0; // bytes read as Windows-1252
    qsizetype utf8Sequences = 0;    // valid UTF-8 sequences of two or more bytes
    qsizetype firstWindows1252 = -1; // offset of the first such byte
    // Both kinds in one text: one of them was written by mistake.
    bool mixed() const { return windows1252Bytes > 0 && utf8Sequences > 0; }
};

// The UTF-8 form of `size` bytes decoded as above.
QByteArray toUtf8(const char *data, qsizetype size, MixedText *found = nullptr);
QString decodeText(const QByteArray &bytes, MixedText *found = nullptr);

// The Windows-1252 bytes of `text`; false when a character has none.
bool encodeWindows1252(const QString &text, QByteArray &out);

} // namespace rt
