#include "textcodec.h"

#include <QStringDecoder>

#include <cstring>
#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace rt {

namespace {

// The character of each byte, as the platform's converter reads
// Windows-1252: 0x80..0x9F differ from Latin-1, and the five unassigned
// bytes keep their Latin-1 meaning, so no byte is ever lost. Without a
// converter for it, every byte reads as Latin-1.
struct Windows1252Table {
    char16_t chars[256];
    Windows1252Table()
    {
        QByteArray all(256, Qt::Uninitialized);
        for (int i = 0; i < 256; ++i)
            all[i] = char(i);
        QStringDecoder decoder("windows-1252");
        const QString decoded = decoder.isValid() ? decoder.decode(all) : QString();
        const bool usable = !decoder.hasError() && decoded.size() == 256;
        for (int i = 0; i < 256; ++i)
            chars[i] = usable ? decoded[i].unicode() : char16_t(i);
    }
};

const Windows1252Table &table()
{
    static const Windows1252Table t;
    return t;
}

char16_t windows1252(unsigned char c)
{
    return table().chars[c];
}

// The length of the valid UTF-8 sequence of two to four bytes at s[i], or 0.
int sequenceLength(const unsigned char *s, qsizetype i, qsizetype size)
{
    const unsigned char c = s[i];
    int n;
    quint32 cp;
    if (c >= 0xC2 && c <= 0xDF) { n = 1; cp = c & 0x1F; }
    else if (c >= 0xE0 && c <= 0xEF) { n = 2; cp = c & 0x0F; }
    else if (c >= 0xF0 && c <= 0xF4) { n = 3; cp = c & 0x07; }
    else return 0;
    if (i + n >= size)
        return 0;
    for (int k = 1; k <= n; ++k) {
        if ((s[i + k] & 0xC0) != 0x80)
            return 0;
        cp = (cp << 6) | (s[i + k] & 0x3F);
    }
    if ((n == 2 && (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF))) || (n == 3 && (cp < 0x10000 || cp > 0x10FFFF)))
        return 0;
    return n + 1;
}

// Steps over plain ASCII sixteen (or eight) bytes at a time.
qsizetype skipAscii(const unsigned char *s, qsizetype i, qsizetype size)
{
#ifdef __SSE2__
    for (; i + 16 <= size; i += 16) {
        const unsigned high = unsigned(_mm_movemask_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i *>(s + i))));
        if (high)
            return i + __builtin_ctz(high);
    }
#endif
    while (i + 8 <= size) {
        quint64 w;
        std::memcpy(&w, s + i, 8);
        if (w & 0x8080808080808080ull)
            break;
        i += 8;
    }
    while (i < size && s[i] < 0x80)
        ++i;
    return i;
}

} // namespace

bool isValidUtf8(const char *data, qsizetype size)
{
    const auto *s = reinterpret_cast<const unsigned char *>(data);
    qsizetype i = 0;
    while ((i = skipAscii(s, i, size)) < size) {
        const int n = sequenceLength(s, i, size);
        if (n == 0)
            return false;
        i += n;
    }
    return true;
}

bool isValidUtf8(const QByteArray &bytes)
{
    return isValidUtf8(bytes.constData(), bytes.size());
}

QString decodeWindows1252(const QByteArray &bytes)
{
    const char16_t *chars = table().chars;
    QString out(bytes.size(), Qt::Uninitialized);
    QChar *to = out.data();
    for (char ch : bytes)
        *to++ = QChar(chars[static_cast<unsigned char>(ch)]);
    return out;
}

QByteArray toUtf8(const char *data, qsizetype size, MixedText *found)
{
    const auto *s = reinterpret_cast<const unsigned char *>(data);
    MixedText f;
    QByteArray out;
    out.reserve(size + size / 8);
    qsizetype i = 0;
    while (i < size) {
        const qsizetype ascii = skipAscii(s, i, size);
        out.append(data + i, ascii - i);
        i = ascii;
        if (i >= size)
            break;
        if (const int n = sequenceLength(s, i, size)) {
            out.append(data + i, n);
            ++f.utf8Sequences;
            i += n;
            continue;
        }
        if (f.windows1252Bytes++ == 0)
            f.firstWindows1252 = i;
        const char16_t u = windows1252(s[i]);
        if (u < 0x800) {
            out.append(char(0xC0 | (u >> 6)));
            out.append(char(0x80 | (u & 0x3F)));
        } else {
            out.append(char(0xE0 | (u >> 12)));
            out.append(char(0x80 | ((u >> 6) & 0x3F)));
            out.append(char(0x80 | (u & 0x3F)));
        }
        ++i;
    }
    if (found)
        *found = f;
    return out;
}

QString decodeText(const QByteArray &bytes, MixedText *found)
{
    if (isValidUtf8(bytes)) {
        if (found)
            *found = MixedText{};
        return QString::fromUtf8(bytes);
    }
    return QString::fromUtf8(toUtf8(bytes.constData(), bytes.size(), found));
}

bool encodeWindows1252(const QString &text, QByteArray &out)
{
    const char16_t *chars = table().chars;
    out.clear();
    out.reserve(text.size());
    for (QChar ch : text) {
        const char16_t u = ch.unicode();
        int byte = u < 0x80 ? int(u) : 0x80;
        while (byte < 256 && chars[byte] != u)
            ++byte;
        if (byte == 256)
            return false;
        out.append(char(byte));
    }
    return true;
}

} // namespace rt
