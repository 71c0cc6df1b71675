#include "datetext.h"

QString isoFromPattern(const QString &text, const QString &pattern)
{
    int d = 0, m = 0, y = 0;
    int pos = 0;
    const QString p = pattern.toLower();
    QString digits;
    for (qsizetype i = 0; i < p.size();) {
        const QChar c = p[i];
        if (c == QLatin1Char('d') || c == QLatin1Char('m') || c == QLatin1Char('y')) {
            qsizetype len = 0;
            while (i + len < p.size() && p[i + len] == c)
                ++len;
            const QString part = text.mid(pos, len).trimmed();
            bool ok = false;
            const int v = part.toInt(&ok);
            if (!ok)
                return {};
            (c == QLatin1Char('d') ? d : c == QLatin1Char('m') ? m : y) = v;
            pos += int(len);
            i += len;
        } else {
            ++pos;
            ++i;
        }
    }
    const QDate date(y, m, d);
    return date.isValid() ? date.toString(QStringLiteral("yyyy-MM-dd")) : QString();
}

QDate dateFromPattern(const QString &text, const QString &pattern)
{
    const QString iso = isoFromPattern(text, usablePattern(pattern));
    return iso.isEmpty() ? QDate() : QDate::fromString(iso, QStringLiteral("yyyy-MM-dd"));
}

QString usablePattern(const QString &pattern)
{
    const QString p = pattern.trimmed().toLower();
    if (p.count(QLatin1Char('d')) == 2 && p.count(QLatin1Char('m')) == 2 && p.count(QLatin1Char('y')) == 4
        && p.size() <= 12)
        return p;
    return QStringLiteral("yyyy-mm-dd");
}

QString dateText(const QDate &date, const QString &pattern)
{
    const QString p = usablePattern(pattern);
    QString out;
    for (qsizetype i = 0; i < p.size();) {
        const QChar c = p[i];
        if (c != QLatin1Char('d') && c != QLatin1Char('m') && c != QLatin1Char('y')) {
            out += c;
            ++i;
            continue;
        }
        qsizetype len = 0;
        while (i + len < p.size() && p[i + len] == c)
            ++len;
        const int v = c == QLatin1Char('d') ? date.day() : c == QLatin1Char('m') ? date.month() : date.year();
        out += QStringLiteral("%1").arg(v, int(len), 10, QLatin1Char('0'));
        i += len;
    }
    return out;
}
