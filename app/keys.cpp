#include "keys.h"
#include "externals.h"
#include "trim.h"

namespace keys {
namespace {

Clock &clock()
{
    static Clock c;
    return c;
}

QDateTime &lastKeyTime()
{
    static QDateTime t;
    return t;
}

} // namespace

void setClock(Clock c)
{
    clock() = std::move(c);
}

void forgetLastKey()
{
    lastKeyTime() = QDateTime();
}

QString formatKeyTime(const QDateTime &t)
{
    return t.toString(QStringLiteral("ddMMyyyyHHmmss")) +
           QStringLiteral("%1").arg(t.time().msec() * 10, 4, 10, QLatin1Char('0'));
}

QStringList createKeys(const QString &prefix, long count)
{
    QStringList out;
    if (count <= 0)
        return out;
    out << gf_create_key(prefix);
    QDateTime &last = lastKeyTime();
    const QString trimmed = vantel_startup::Trim(prefix);
    // The keys hold ten-thousandths; the clock gives milliseconds.
    const QDateTime base = last;
    for (long i = 1; i < count; ++i) {
        const qint64 tenths = base.time().msec() * 10 + i;
        const QDateTime t = base.addMSecs(tenths / 10 - base.time().msec());
        out << trimmed + t.toString(QStringLiteral("ddMMyyyyHHmmss"))
                   + QStringLiteral("%1").arg(t.time().msec() * 10 + tenths % 10, 4, 10, QLatin1Char('0'));
        last = t;
    }
    return out;
}

} // namespace keys

QString gf_create_key(const QString &as_prefix)
{
    ext::Sleep(100);
    QDateTime sys_datetime = keys::clock() ? keys::clock()() : QDateTime::currentDateTime();
    QDateTime &last = keys::lastKeyTime();
    if (last.isValid() && sys_datetime < last.addMSecs(100))
        sys_datetime = last.addMSecs(100);
    last = sys_datetime;
    // Only blanks are trimmed, as everywhere else in the program.
    const QString ls_key = vantel_startup::Trim(as_prefix) + keys::formatKeyTime(sys_datetime);
    return vantel_startup::Trim(ls_key);
}
