// The controls of the calendar picker that need behaviour of their own: the
// month grid, the two arrows and the year field.
#pragma once

#include <QAbstractSpinBox>
#include <QLabel>
#include <QWidget>

class RecordSet;

// The month grid: presents the one row of `d_calendar` as six week lines of
// seven day cells under the headings "Su" to "Sa". A cell holding 0 shows
// nothing; the border and text colour of each cell come from the record
// set's cell properties.
class CalendarGrid : public QWidget {
    Q_OBJECT
public:
    explicit CalendarGrid(RecordSet *data, QWidget *parent = nullptr);

    RecordSet *data() const { return data_; }

    // Column (1 to 42) of the cell at a point, 0 outside the cells.
    int columnAt(const QPoint &pos) const;
    // Column of the last left or right click, 0 when it hit no cell.
    int GetClickedColumn() const { return clickedColumn_; }
    QRect cellRect(int column) const; // in the grid's coordinates

    // Turns drawing off while many values change; on again draws once.
    void SetRedraw(bool on);

signals:
    void clicked(int column);
    void doubleClicked(int column);
    void rightButtonDown(const QPoint &globalPos);
    void keyDown(int key);

protected:
    void paintEvent(QPaintEvent *) override;
    void mousePressEvent(QMouseEvent *e) override;
    void mouseMoveEvent(QMouseEvent *e) override;
    void mouseDoubleClickEvent(QMouseEvent *e) override;
    void keyPressEvent(QKeyEvent *e) override;

private:
    double cellWidth() const;
    double cellHeight() const;

    RecordSet *data_;
    int clickedColumn_ = 0;
};

// One of the two month arrows: a static text that takes the focus and
// reports left and right clicks.
class CalendarArrow : public QLabel {
    Q_OBJECT
public:
    CalendarArrow(const QString &glyph, QWidget *parent = nullptr);

signals:
    void clicked();
    void rightButtonDown(const QPoint &globalPos);

protected:
    void mousePressEvent(QMouseEvent *e) override;
    void mouseMoveEvent(QMouseEvent *e) override;
    void mouseReleaseEvent(QMouseEvent *e) override;
    void mouseDoubleClickEvent(QMouseEvent *e) override;
};

// The year field: four digits at most, with spin buttons that step within
// 1602 to 3000. Typed text is not clamped: the picker checks the year when
// it applies the month-and-year view.
class YearEdit : public QAbstractSpinBox {
    Q_OBJECT
public:
    explicit YearEdit(QWidget *parent = nullptr);

    QString editMask() const { return QStringLiteral("####"); }
    int minimumYear() const { return 1602; }
    int maximumYear() const { return 3000; }

    void setText(const QString &text);

    void stepBy(int steps) override;
    QValidator::State validate(QString &input, int &pos) const override;

protected:
    StepEnabled stepEnabled() const override;
};
