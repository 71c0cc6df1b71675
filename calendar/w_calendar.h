// The pop-up month calendar: the user picks a day with the mouse or the
// keyboard and the picker hands it back as text in the user's short date
// format.
//
// Use:
//     rt::Message().stringParm = <start date in gs_short_date_format, or "">;
//     rt::Message().numberParm = 1;      // 1 centres the picker, else it opens at the pointer
//     const QString date = w_calendar::pick(this);
// or, equivalently,
//     w_calendar dlg(this); dlg.open_calendar(); dlg.exec();
//     const QString date = rt::Message().stringParm;
// Afterwards rt::Message().stringParm holds the chosen date, or is empty
// when the picker was closed without one.
#pragma once

#include <QDate>
#include <QDialog>
#include <QPoint>
#include <QString>

class CalendarArrow;
class CalendarGrid;
class QFrame;
class QLabel;
class QListWidget;
class RecordSet;
class YearEdit;

class w_calendar : public QDialog {
    Q_OBJECT
public:
    explicit w_calendar(QWidget *parent = nullptr);
    ~w_calendar() override;

    // Opens a picker, waits until it closes and answers the chosen date text
    // (empty when closed without a value).
    static QString pick(QWidget *parent = nullptr);

    // The open event: position, starting date, grid. Call before exec().
    void open_calendar();

    // ---- window functions --------------------------------------------------
    static QDate startofmonth(const QDate &pdate);
    static QDate endofmonth(const QDate &pdate);
    void showmonth();  // fills the grid for the month of dcaldate and highlights its day
    void highlight();  // moves the highlight to the cell of dcaldate
    // Reorders a day/month/year text into the order of gs_short_date_format.
    static QString wf_convert_date_to_format(const QString &as_date);

    // dcaldate as text in gs_short_date_format: the value the picker returns.
    QString resultText() const;
    // Formats a date with a pattern of "dd", "mm", "yyyy" and separators.
    static QString formatDate(const QDate &date, const QString &pattern);
    // Reads a date text whose day, month and year stand in the order of
    // gs_short_date_format; an invalid date when the text is no valid date.
    static QDate readDate(const QString &text);

    // The window's key event: 1 when the key was handled, 0 otherwise.
    int key(int key);
    // The window's right button: the context menu at a screen position.
    void rbuttondown(const QPoint &globalPos);

    void closeWithValue();    // the result text into Message's string parameter
    void closeWithoutValue(); // an empty string parameter

    bool monthYearViewShown() const; // whether the grid is hidden
    RecordSet *calendarData() const { return data_; }

    // ---- state ---------------------------------------------------------------
    QDate dcaldate;           // the month shown and the day highlighted
    qint16 icalhilite = 1;    // cell (1 to 42) that carries the highlight
    qint32 il_x_movement = 0; // pointer position at the last drag step (units), 0 outside a drag
    qint32 il_y_movement = 0;

    static constexpr int kNormalText = 10485760; // rgb(0,0,160)
    static constexpr int kFocusText = 255;       // rgb(255,0,0)

protected:
    void keyPressEvent(QKeyEvent *e) override;
    void mousePressEvent(QMouseEvent *e) override;
    void mouseMoveEvent(QMouseEvent *e) override;
    void mouseReleaseEvent(QMouseEvent *e) override;
    void paintEvent(QPaintEvent *e) override;

public:
    void done(int r) override;

private:
    void buildControls();
    void resetGrid();                   // empty the grid, one row, showmonth
    void arrowClicked(CalendarArrow *arrow, int direction);
    void arrowRightButtonDown();        // enter or apply the month-and-year view
    void showGridView();
    void showMonthYearView();
    void dayMove(int days);
    void gridClicked(int column);
    void gridDoubleClicked(int column);
    void mousemove(unsigned flags, const QPoint &globalPos);
    void unmark();                      // takes the highlight off icalhilite
    void moveToUnits(int x, int y);     // places the window in window units
    void focusMoved(QWidget *old, QWidget *now);

    RecordSet *data_ = nullptr;
    CalendarGrid *dwc_calendar = nullptr;
    QLabel *st_month = nullptr;
    CalendarArrow *st_prior = nullptr;
    CalendarArrow *st_next = nullptr;
    QLabel *st_month_select = nullptr;
    QListWidget *lb_months = nullptr;
    QLabel *st_year_select = nullptr;
    YearEdit *em_years = nullptr;
    QFrame *ln_1 = nullptr;

    int x_units_ = 0, y_units_ = 0;     // window position in units
};

// Sets the text colour of a control from a colour number r + 256 g + 65536 b.
void setTextColour(QWidget *w, int colour);
// The text colour of a control as a colour number.
int textColour(const QWidget *w);
