// Dates as the user types and reads them: in the user's short date pattern
// ("dd.mm.yyyy", "mm/dd/yyyy", "yyyy-mm-dd", ...). Qt Core only.
#pragma once

#include <QDate>
#include <QString>

// The text of a date value typed in `pattern`, as yyyy-mm-dd, or "" when the
// typed text is no date.
QString isoFromPattern(const QString &text, const QString &pattern);
// The date that `text` denotes in a pattern such as "dd.mm.yyyy"; an
// invalid date when it denotes none.
QDate dateFromPattern(const QString &text, const QString &pattern);
// The pattern itself when it names day, month and year, else "yyyy-mm-dd".
QString usablePattern(const QString &pattern);
// `date` written in the usable form of `pattern`, each part as wide as the
// pattern's letters for it: 24.12.2027 for "dd.mm.yyyy".
QString dateText(const QDate &date, const QString &pattern);
