#include "profile.h"
#include "readfile.h"
#include "replacefile.h"
#include "textcodec.h"

#include <QFile>
#include <QFileInfo>

#include <optional>
#include <utility>
#include <vector>

namespace rt {

namespace {

// A settings file holds a few short lines; anything far larger is not one.
constexpr qint64 kMaxProfileSize = 1 << 20;

struct Line {
    QByteArray text; // without its line end
    QByteArray end;  // "\r\n", "\n", "\r" or "" for a last line without one
};

std::vector<Line> splitLines(const QByteArray &data)
{
    std::vector<Line> lines;
    qsizetype start = 0;
    const qsizetype n = data.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char c = data[i];
        if (c != '\n' && c != '\r')
            continue;
        Line l;
        l.text = data.mid(start, i - start);
        if (c == '\r' && i + 1 < n && data[i + 1] == '\n') {
            l.end = "\r\n";
            ++i;
        } else {
            l.end = QByteArray(1, c);
        }
        lines.push_back(std::move(l));
        start = i + 1;
    }
    if (start < n)
        lines.push_back(Line{data.mid(start), QByteArray()});
    return lines;
}

// The whole file, or nothing when it is missing or cannot be read.
ReadStatus readProfile(const QString &file, QByteArray &data, QString *reason = nullptr)
{
    return ReadWholeFile(file, kMaxProfileSize, data, reason);
}

// How a file holds its text, so that what is written keeps to it.
enum class Encoding { Utf8, Windows1252 };

Encoding encodingOf(const QByteArray &data)
{
    if (isValidUtf8(data))
        return Encoding::Utf8;
    MixedText found;
    toUtf8(data.constData(), data.size(), &found);
    // A file that mixes both reads every UTF-8 sequence back as UTF-8.
    return found.mixed() ? Encoding::Utf8 : Encoding::Windows1252;
}

// `text` in the file's encoding; false when the file's encoding cannot hold
// it so that it reads back the same.
bool encode(const QString &text, Encoding enc, QByteArray &out)
{
    if (enc == Encoding::Utf8) {
        out = text.toUtf8();
        return true;
    }
    return encodeWindows1252(text, out) && decodeText(out) == text;
}

// "[Name]" gives Name; anything else nothing.
std::optional<QString> sectionName(const QString &line)
{
    const QString t = line.trimmed();
    if (!t.startsWith(QLatin1Char('[')))
        return std::nullopt;
    const qsizetype close = t.indexOf(QLatin1Char(']'));
    if (close < 0)
        return std::nullopt;
    return t.mid(1, close - 1).trimmed();
}

struct KeyValue {
    QString key;
    QString value;
};

std::optional<KeyValue> keyValue(const QString &line)
{
    const QString t = line.trimmed();
    if (t.isEmpty() || t.startsWith(QLatin1Char(';')) || t.startsWith(QLatin1Char('#')))
        return std::nullopt;
    const qsizetype eq = t.indexOf(QLatin1Char('='));
    if (eq <= 0)
        return std::nullopt;
    QString value = t.mid(eq + 1).trimmed();
    if (value.size() >= 2
        && ((value.front() == QLatin1Char('"') && value.back() == QLatin1Char('"'))
            || (value.front() == QLatin1Char('\'') && value.back() == QLatin1Char('\''))))
        value = value.mid(1, value.size() - 2);
    return KeyValue{t.left(eq).trimmed(), value};
}

bool sameName(const QString &a, const QString &b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

} // namespace

QString ProfileString(const QString &file, const QString &section, const QString &key, const QString &defaultValue)
{
    QByteArray data;
    if (readProfile(file, data) != ReadStatus::Read)
        return defaultValue;
    bool inSection = false;
    for (const Line &l : splitLines(data)) {
        const QString line = decodeText(l.text);
        if (auto name = sectionName(line)) {
            inSection = sameName(*name, section);
            continue;
        }
        if (!inSection)
            continue;
        if (auto kv = keyValue(line); kv && sameName(kv->key, key))
            return kv->value;
    }
    return defaultValue;
}

int SetProfileString(const QString &file, const QString &section, const QString &key, const QString &value,
                     QString *error)
{
    // A file that is there but cannot be read is never replaced.
    QByteArray data;
    QString unreadable;
    if (readProfile(file, data, &unreadable) == ReadStatus::Failed) {
        if (error)
            *error = QStringLiteral("%1 cannot be read: %2").arg(file, unreadable);
        return -1;
    }
    Encoding enc = encodingOf(data);
    std::vector<Line> lines = splitLines(data);
    // What is written keeps to the file's encoding; text that a Windows-1252
    // file cannot hold turns the whole file into UTF-8.
    QByteArray keyBytes, valueBytes, sectionBytes;
    if (!encode(key, enc, keyBytes) || !encode(value, enc, valueBytes) || !encode(section, enc, sectionBytes)) {
        enc = Encoding::Utf8;
        for (Line &l : lines)
            l.text = decodeText(l.text).toUtf8();
        keyBytes = key.toUtf8();
        valueBytes = value.toUtf8();
        sectionBytes = section.toUtf8();
    }

    // New lines follow the file's own line ends; a new file gets CRLF.
    QByteArray eol = "\r\n";
    for (const Line &l : lines)
        if (!l.end.isEmpty()) {
            eol = l.end;
            break;
        }
    const QByteArray newLine = keyBytes + '=' + valueBytes;

    std::optional<size_t> sectionAt;   // line of the matching section header
    std::optional<size_t> lastContent; // last non-blank line inside it
    bool done = false;
    bool inSection = false;
    for (size_t i = 0; i < lines.size() && !done; ++i) {
        const QString line = decodeText(lines[i].text);
        if (auto name = sectionName(line)) {
            if (inSection)
                break; // the matching section ended without the key
            inSection = sameName(*name, section);
            if (inSection) {
                sectionAt = i;
                lastContent = i;
            }
            continue;
        }
        if (!inSection)
            continue;
        if (!line.trimmed().isEmpty())
            lastContent = i;
        if (auto kv = keyValue(line); kv && sameName(kv->key, key)) {
            // Keep the key as the file spells it.
            const qsizetype eq = lines[i].text.indexOf('=');
            lines[i].text = lines[i].text.left(eq).trimmed() + '=' + valueBytes;
            done = true;
        }
    }

    if (!done) {
        Line added{newLine, eol};
        if (sectionAt) {
            const size_t at = *lastContent;
            if (lines[at].end.isEmpty())
                lines[at].end = eol;
            lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(at + 1), added);
        } else {
            if (!lines.empty() && lines.back().end.isEmpty())
                lines.back().end = eol;
            lines.push_back(Line{'[' + sectionBytes + ']', eol});
            lines.push_back(added);
        }
    }

    QByteArray out;
    out.reserve(data.size() + newLine.size() + section.size() + 8);
    for (const Line &l : lines)
        out += l.text + l.end;

    if (out == data && !data.isEmpty())
        return 1; // the file says so already: nothing to replace, nothing to sync
    QString why;
    const bool written = ReplaceFile(file, out, NewFileMode::Usual, &why);
    if (error)
        *error = why;
    return written ? 1 : -1;
}

ProfileCheck CheckProfileFile(const QString &file)
{
    ProfileCheck check;
    QByteArray data;
    if (readProfile(file, data, &check.unreadable) != ReadStatus::Read || isValidUtf8(data))
        return check;
    MixedText found;
    toUtf8(data.constData(), data.size(), &found);
    if (!found.mixed())
        return check;
    const int line = 1 + int(data.left(found.firstWindows1252).count('\n'));
    check.mixed = QStringLiteral("%1: line %2: %3 bytes that are not UTF-8 were read as Windows-1252")
                      .arg(QFileInfo(file).fileName())
                      .arg(line)
                      .arg(found.windows1252Bytes);
    check.backupPath = KeepBackup(file, data);
    return check;
}

} // namespace rt
