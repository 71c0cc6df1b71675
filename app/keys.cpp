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
