// Dates typed in the user's pattern ("dd.mm.yyyy", "mm/dd/yyyy", ...) and
// the edit masks of the data window's fields.
#pragma once

#include <QDate>
#include <QString>

class QLineEdit;

// A "00:00" style mask in the form a line edit understands.
QString inputMaskFor(const QString &mask);
// Gives `edit` the edit mask `mask` of its column; a time ("00:00") takes
// only the digits with which a time of the 24-hour clock can go on.
void setEditMask(QLineEdit *edit, const QString &mask);
// The text of a date value typed in `pattern`, as yyyy-mm-dd, or "" when the
// typed text is no date.
QString isoFromPattern(const QString &text, const QString &pattern);
// The date that `text` denotes in a pattern such as "dd.mm.yyyy"; an
// invalid date when it denotes none.
QDate dateFromPattern(const QString &text, const QString &pattern);
// The pattern itself when it names day, month and year, else "yyyy-mm-dd".
QString usablePattern(const QString &pattern);
