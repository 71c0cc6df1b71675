// The Schedule window of the dates page: a first and a last date, the times
// of each weekday, dates to leave out, a city and a state. It shows, live as
// the user types, the date lines these make (or why none can be made) and
// hands them back when the user adds them.
#pragma once

#include "dialogfields.h"
#include "schedule.h"

#include <QModelIndex>

class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QTableWidget;

class w_schedule : public DatesPageDialog {
    Q_OBJECT
public:
    // Dates are typed and shown in `datePattern` (the user's short date
    // pattern); city and state start as given.
    w_schedule(const QString &datePattern, const QString &city, const QString &state, QWidget *parent = nullptr);

    // The longest city and state the date lines take.
    void setTextLimits(int city, int state);

    // What the fields ask for (dates to leave out that cannot be read are
    // left out of it), and the lines they make (an error when none).
    schedule::Request request() const;
    const schedule::Result &result() const { return result_; }

    // The weekday, 0 (Monday) to 6, of row `row` of the times: the week
    // starts on the first day of the user's locale.
    static int weekdayOfRow(int row);

private:
    void updatePreview();
    QString cellText(int row, int col) const;

    QString pattern_;
    QLineEdit *from_ = nullptr, *to_ = nullptr, *city_ = nullptr, *state_ = nullptr;
    QTableWidget *times_ = nullptr;
    QPlainTextEdit *except_ = nullptr;
    QListWidget *preview_ = nullptr;
    QPushButton *add_ = nullptr;
    // The cell being typed in and its text so far: the preview follows the
    // keys, before the cell takes the text.
    QPersistentModelIndex typingCell_;
    QString typingText_;
    schedule::Result result_;
};
