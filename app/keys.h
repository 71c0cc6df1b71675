// Record keys: the trimmed prefix followed by 18 digits of the local date
// and time, "ddmmyyyyhhmmssffff" (ffff = ten-thousandths of a second).
#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <functional>

// Makes a key after a pause of 100 ms. Within one run no key repeats: a
// clock reading less than 100 ms after the previous key's time (the clock
// was set back, or did not advance) is replaced by that time plus 100 ms.
QString gf_create_key(const QString &as_prefix);

namespace keys {

using Clock = std::function<QDateTime()>;
void setClock(Clock clock);  // local wall clock by default; an empty function restores it
void forgetLastKey();        // starts a fresh sequence (tests)
QString formatKeyTime(const QDateTime &t); // the 18 digits
// `count` keys at once, for an import: one pause and one clock reading as
// gf_create_key makes, then one ten-thousandth of a second apart, each
// later than any key made before in this run. The next gf_create_key
// follows the last of them by 100 ms, as it follows its own.
QStringList createKeys(const QString &prefix, long count);

} // namespace keys
