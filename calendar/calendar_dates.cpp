// The calendar's date texts: a picked date in the user's short date pattern,
// and a typed date read back in that pattern's order.
#include "w_calendar.h"

#include "globals.h"
#include "vantel.h"

#include <QRegularExpression>

#include <algorithm>

QString w_calendar::wf_convert_date_to_format(const QString &as_date)
{
    QString ls_day, ls_month, ls_year;
    int li_datepart = 1;
    const QString text = vantel_startup::Trim(as_date);
    if (text.isEmpty() || text.size() < 7)
        return QString();
    for (const QChar c : text) {
        if (c >= QLatin1Char('0') && c <= QLatin1Char('9')) {
            if (li_datepart == 1)
                ls_day += c;
            else if (li_datepart == 2)
                ls_month += c;
            else if (li_datepart == 3)
                ls_year += c;
        } else {
            ++li_datepart;
        }
    }
    if (ls_day.size() == 1)
        ls_day.prepend(QLatin1Char('0'));
    if (ls_month.size() == 1)
        ls_month.prepend(QLatin1Char('0'));

    const QString &s = gs_date_separator;
    const QString &f = gs_short_date_format;
    if (f == QStringLiteral("dd") + s + QStringLiteral("mm") + s + QStringLiteral("yyyy"))
        return ls_day + s + ls_month + s + ls_year;
    if (f == QStringLiteral("yyyy") + s + QStringLiteral("mm") + s + QStringLiteral("dd"))
        return ls_year + s + ls_month + s + ls_day;
    // "mm" s "dd" s "yyyy", and any pattern that is none of the three.
    return ls_month + s + ls_day + s + ls_year;
}

QString w_calendar::formatDate(const QDate &date, const QString &pattern)
{
    QString out;
    const QString p = pattern.toLower();
    auto num = [](int v, int width) { return QStringLiteral("%1").arg(v, width, 10, QLatin1Char('0')); };
    for (int i = 0; i < p.size();) {
        if (p.mid(i, 4) == QLatin1String("yyyy")) {
            out += num(date.year(), 4);
            i += 4;
        } else if (p.mid(i, 2) == QLatin1String("yy")) {
            out += num(date.year() % 100, 2);
            i += 2;
        } else if (p.mid(i, 2) == QLatin1String("dd")) {
            out += num(date.day(), 2);
            i += 2;
        } else if (p.mid(i, 2) == QLatin1String("mm")) {
            out += num(date.month(), 2);
            i += 2;
        } else if (p.at(i) == QLatin1Char('d')) {
            out += QString::number(date.day());
            ++i;
        } else if (p.at(i) == QLatin1Char('m')) {
            out += QString::number(date.month());
            ++i;
        } else {
            out += pattern.at(i);
            ++i;
        }
    }
    return out;
}

QDate w_calendar::readDate(const QString &text)
{
    // Three groups of digits with one separator character between them.
    static const QRegularExpression re(QStringLiteral("^\\s*([0-9]{1,4})[^0-9]([0-9]{1,4})[^0-9]([0-9]{1,4})\\s*$"));
    const QRegularExpressionMatch m = re.match(text);
    if (!m.hasMatch())
        return QDate();

    // The order of day, month and year in the user's pattern.
    const QString f = gs_short_date_format.toLower();
    const int posD = int(f.indexOf(QLatin1Char('d'))), posM = int(f.indexOf(QLatin1Char('m'))),
              posY = int(f.indexOf(QLatin1Char('y')));
    struct Part { int pos; char what; };
    Part parts[3] = {{posM, 'm'}, {posD, 'd'}, {posY, 'y'}};
    if (posD >= 0 && posM >= 0 && posY >= 0)
        std::sort(std::begin(parts), std::end(parts), [](const Part &a, const Part &b) { return a.pos < b.pos; });
    else
        parts[0] = {0, 'm'}, parts[1] = {1, 'd'}, parts[2] = {2, 'y'};

    int day = 0, month = 0, year = 0;
    for (int i = 0; i < 3; ++i) {
        const QString g = m.captured(i + 1);
        switch (parts[i].what) {
        case 'd':
            if (g.size() > 2) return QDate();
            day = g.toInt();
            break;
        case 'm':
            if (g.size() > 2) return QDate();
            month = g.toInt();
            break;
        default:
            year = g.toInt();
            if (g.size() <= 2) // two-digit years: 00 to 49 this century, 50 to 99 the last
                year += year < 50 ? 2000 : 1900;
            break;
        }
    }
    if (year < 1)
        return QDate();
    const QDate d(year, month, day);
    return d.isValid() ? d : QDate();
}
