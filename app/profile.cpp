#include "profile.h"
#include "textcodec.h"

#include <QFile>
#include <QSaveFile>

#include <optional>
#include <vector>

namespace rt {

namespace {

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

QString decode(const QByteArray &bytes, bool utf8)
{
    return utf8 ? QString::fromUtf8(bytes) : decodeWindows1252(bytes);
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
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly))
        return defaultValue;
    const QByteArray data = f.readAll();
    const bool utf8 = isValidUtf8(data);
    bool inSection = false;
    for (const Line &l : splitLines(data)) {
        const QString line = decode(l.text, utf8);
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

int SetProfileString(const QString &file, const QString &section, const QString &key, const QString &value)
{
    QByteArray data;
    {
        QFile f(file);
        if (f.exists()) {
            if (!f.open(QIODevice::ReadOnly))
                return -1;
            data = f.readAll();
        }
    }
    const bool utf8 = isValidUtf8(data);
    std::vector<Line> lines = splitLines(data);

    // New lines follow the file's own line ends; a new file gets CRLF.
    QByteArray eol = "\r\n";
    for (const Line &l : lines)
        if (!l.end.isEmpty()) {
            eol = l.end;
            break;
        }
    const QByteArray keyBytes = key.toUtf8();
    const QByteArray newLine = keyBytes + '=' + value.toUtf8();

    std::optional<size_t> sectionAt;   // line of the matching section header
    std::optional<size_t> lastContent; // last non-blank line inside it
    bool done = false;
    bool inSection = false;
    for (size_t i = 0; i < lines.size() && !done; ++i) {
        const QString line = decode(lines[i].text, utf8);
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
            lines[i].text = kv->key.toUtf8() + '=' + value.toUtf8();
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
            lines.push_back(Line{'[' + section.toUtf8() + ']', eol});
            lines.push_back(added);
        }
    }

    QByteArray out;
    out.reserve(data.size() + newLine.size() + section.size() + 8);
    for (const Line &l : lines)
        out += l.text + l.end;

    QSaveFile save(file);
    if (!save.open(QIODevice::WriteOnly))
        return -1;
    if (save.write(out) != out.size())
        return -1;
    return save.commit() ? 1 : -1;
}

} // namespace rt
