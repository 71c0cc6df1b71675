#include "calendar_parts.h"

#include "definition.h"
#include "recordset.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QRegularExpression>
#include <qdrawutil.h>

#include <cmath>

namespace {

constexpr int kColumns = 7;
constexpr int kWeeks = 6;
constexpr int kCells = kColumns * kWeeks;
constexpr int kNormalText = 10485760; // rgb(0,0,160)

const QStringList &defaultHeadings()
{
    static const QStringList h{QStringLiteral("Su"), QStringLiteral("Mo"), QStringLiteral("Tu"),
                               QStringLiteral("We"), QStringLiteral("Th"), QStringLiteral("Fr"),
                               QStringLiteral("Sa")};
    return h;
}

} // namespace

// ---- CalendarGrid ---------------------------------------------------------

CalendarGrid::CalendarGrid(RecordSet *data, QWidget *parent)
    : QWidget(parent), data_(data)
{
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
    auto repaint = [this] { update(); };
    connect(data_, &RecordSet::rowsReset, this, repaint);
    connect(data_, &RecordSet::rowsInserted, this, repaint);
    connect(data_, &RecordSet::rowsRemoved, this, repaint);
    connect(data_, &RecordSet::itemChanged, this, repaint);
    connect(data_, &RecordSet::presentationChanged, this, repaint);
}

// The heading line and the six week lines share the height evenly.
double CalendarGrid::cellWidth() const { return width() / double(kColumns); }
double CalendarGrid::cellHeight() const { return height() / double(kWeeks + 1); }

QRect CalendarGrid::cellRect(int column) const
{
    if (column < 1 || column > kCells)
        return {};
    const int line = (column - 1) / kColumns + 1; // 1 to 6 below the headings
    const int day = (column - 1) % kColumns;
    const int x0 = int(std::lround(day * cellWidth()));
    const int x1 = int(std::lround((day + 1) * cellWidth()));
    const int y0 = int(std::lround(line * cellHeight()));
    const int y1 = int(std::lround((line + 1) * cellHeight()));
    return QRect(x0, y0, x1 - x0, y1 - y0);
}

int CalendarGrid::columnAt(const QPoint &pos) const
{
    if (!rect().contains(pos))
        return 0;
    const int line = int(pos.y() / cellHeight());
    const int day = int(pos.x() / cellWidth());
    if (line < 1 || line > kWeeks || day < 0 || day >= kColumns)
        return 0;
    return (line - 1) * kColumns + day + 1;
}

void CalendarGrid::SetRedraw(bool on)
{
    setUpdatesEnabled(on);
    if (on)
        update();
}

void CalendarGrid::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.fillRect(rect(), Qt::white);

    // Headings on a band of their own.
    const QRect band(0, 0, width(), int(std::lround(cellHeight())));
    p.fillRect(band, QColor(236, 236, 248));
    p.setPen(QColor(0, 0, 128));
    p.drawLine(band.bottomLeft(), band.bottomRight());
    QFont headFont(QStringLiteral("Arial"));
    headFont.setStyleHint(QFont::SansSerif);
    headFont.setPointSize(8);
    headFont.setBold(true);
    p.setFont(headFont);
    const QStringList headings =
        data_->definition().headings.size() == kColumns ? data_->definition().headings : defaultHeadings();
    for (int i = 0; i < kColumns; ++i) {
        const int x0 = int(std::lround(i * cellWidth()));
        const int x1 = int(std::lround((i + 1) * cellWidth()));
        p.drawText(QRect(x0, 0, x1 - x0, band.height()), Qt::AlignCenter, headings.at(i));
    }

    QFont dayFont(QStringLiteral("Arial"));
    dayFont.setStyleHint(QFont::SansSerif);
    dayFont.setPointSize(8);
    p.setFont(dayFont);
    const int trailing = p.fontMetrics().horizontalAdvance(QLatin1Char(' '));
    for (int c = 1; c <= kCells; ++c) {
        const QRect r = cellRect(c);
        if (data_->cellBorder(c) == 5) {
            p.fillRect(r.adjusted(1, 1, -1, -1), QColor(255, 251, 240));
            qDrawShadePanel(&p, r.adjusted(1, 1, -1, -1), palette(), true, 2);
        }
        const long day = long(data_->GetItemNumber(1, c));
        if (day == 0)
            continue; // a cell outside the month shows nothing
        const int colour = data_->cellColor(c) >= 0 ? data_->cellColor(c) : kNormalText;
        p.setPen(colorFromValue(colour));
        // Display format "## ": the number stands right, followed by a blank.
        p.drawText(r.adjusted(0, 0, -trailing - 2, 0), Qt::AlignRight | Qt::AlignVCenter,
                   QString::number(day));
    }
    if (hasFocus()) {
        p.setPen(QPen(QColor(0, 0, 160), 1, Qt::DotLine));
        p.drawRect(rect().adjusted(0, 0, -1, -1));
    }
}

void CalendarGrid::mousePressEvent(QMouseEvent *e)
{
    clickedColumn_ = columnAt(e->position().toPoint());
    if (e->button() == Qt::LeftButton) {
        setFocus(Qt::MouseFocusReason);
        emit clicked(clickedColumn_);
    } else if (e->button() == Qt::RightButton) {
        emit rightButtonDown(e->globalPosition().toPoint());
    }
    e->accept();
}

// The picker is dragged by its background only: a hand that moves a little
// while it clicks a day must not move the window.
void CalendarGrid::mouseMoveEvent(QMouseEvent *e)
{
    e->accept();
}

void CalendarGrid::mouseDoubleClickEvent(QMouseEvent *e)
{
    clickedColumn_ = columnAt(e->position().toPoint());
    if (e->button() == Qt::LeftButton)
        emit doubleClicked(clickedColumn_);
    e->accept();
}

// Every key pressed in the grid goes to the picker.
void CalendarGrid::keyPressEvent(QKeyEvent *e)
{
    emit keyDown(e->key());
    e->accept();
}

// ---- CalendarArrow --------------------------------------------------------

CalendarArrow::CalendarArrow(const QString &glyph, QWidget *parent)
    : QLabel(glyph, parent)
{
    setAlignment(Qt::AlignCenter);
    setFocusPolicy(Qt::StrongFocus);
}

void CalendarArrow::mousePressEvent(QMouseEvent *e)
{
    if (e->button() == Qt::RightButton)
        emit rightButtonDown(e->globalPosition().toPoint());
    e->accept();
}

void CalendarArrow::mouseMoveEvent(QMouseEvent *e)
{
    e->accept(); // as on the grid: no dragging from an arrow
}

void CalendarArrow::mouseReleaseEvent(QMouseEvent *e)
{
    if (e->button() == Qt::LeftButton && rect().contains(e->position().toPoint()))
        emit clicked();
    e->accept();
}

// A quick second click is one more click, not a different action.
void CalendarArrow::mouseDoubleClickEvent(QMouseEvent *e)
{
    e->accept();
}

// ---- YearEdit -------------------------------------------------------------

YearEdit::YearEdit(QWidget *parent)
    : QAbstractSpinBox(parent)
{
    setButtonSymbols(QAbstractSpinBox::UpDownArrows);
    setKeyboardTracking(true);
    setCorrectionMode(QAbstractSpinBox::CorrectToPreviousValue);
}

void YearEdit::setText(const QString &text)
{
    lineEdit()->setText(text);
}

QValidator::State YearEdit::validate(QString &input, int &) const
{
    static const QRegularExpression digits(QStringLiteral("^[0-9]{0,4}$"));
    return digits.match(input).hasMatch() ? QValidator::Acceptable : QValidator::Invalid;
}

void YearEdit::stepBy(int steps)
{
    const int year = std::clamp(text().toInt() + steps, minimumYear(), maximumYear());
    lineEdit()->setText(QString::number(year));
    selectAll();
}

QAbstractSpinBox::StepEnabled YearEdit::stepEnabled() const
{
    const int year = text().toInt();
    StepEnabled e = StepNone;
    if (year < maximumYear())
        e |= StepUpEnabled;
    if (year > minimumYear() || year == 0)
        e |= StepDownEnabled;
    return e;
}
