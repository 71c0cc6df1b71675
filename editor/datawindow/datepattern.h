// The edit masks of the data window's fields, and (from datetext.h) the
// dates typed in the user's pattern ("dd.mm.yyyy", "mm/dd/yyyy", ...).
#pragma once

#include "datetext.h"

#include <QString>

class QLineEdit;

// A "00:00" style mask in the form a line edit understands.
QString inputMaskFor(const QString &mask);
// Gives `edit` the edit mask `mask` of its column; a time ("00:00") takes
// only the digits with which a time of the 24-hour clock can go on.
void setEditMask(QLineEdit *edit, const QString &mask);
