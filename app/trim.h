// Trimming as the runtime does it: blanks only, never tabs or line breaks.
#pragma once

#include <QString>

namespace vantel_startup {

// Removes leading and trailing blanks (spaces only, as the runtime's Trim).
inline QString Trim(const QString &s)
{
    qsizetype b = 0, e = s.size();
    while (b < e && s[b] == QLatin1Char(' '))
        ++b;
    while (e > b && s[e - 1] == QLatin1Char(' '))
        --e;
    return s.mid(b, e - b);
}

} // namespace vantel_startup
