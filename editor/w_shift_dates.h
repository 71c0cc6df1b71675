// The Shift dates window of the dates page: moves every date line of the
// current event by a number of days, given as the count or as the new first
// date.
#pragma once

#include "dialogfields.h"

#include <QDate>

class QLineEdit;
class QPushButton;
class QSpinBox;

class w_shift_dates : public DatesPageDialog {
    Q_OBJECT
public:
    // `first` is the earliest start date of the lines to move; dates are
    // typed and shown in `datePattern`.
    w_shift_dates(const QDate &first, const QString &datePattern, QWidget *parent = nullptr);

    // The days to move by (negative: earlier).
    int days() const;

    // The longest move, either way.
    static constexpr int kMaxDays = 3660;

private:
    void daysChanged(int days);
    void firstDateTyped();

    QDate first_;
    QString pattern_;
    QSpinBox *days_ = nullptr;
    QLineEdit *to_ = nullptr;
    QPushButton *ok_ = nullptr;
};
