#include "w_calendar.h"

#include "calendar_parts.h"
#include "contrast.h"
#include "definition.h"
#include "globals.h"
#include "m_base_right_click_menu.h"
#include "recordset.h"
#include "runtime.h"
#include "vantel.h"

#include <QApplication>
#include <QCursor>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QLocale>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <qdrawutil.h>

#include <cmath>

namespace {

// Size of the window and the place it was designed at, in window units.
constexpr int kWidthUnits = 750;
constexpr int kHeightUnits = 752;
constexpr int kDesignX = 247;
constexpr int kDesignY = 312;
constexpr int kDesignText = 8388608; // rgb(0,0,128)

int px(int units) { return rt::UnitsToPixels(units, rt::Axis::X); }
int py(int units) { return rt::UnitsToPixels(units, rt::Axis::Y); }
QRect unitRect(int x, int y, int w, int h) { return QRect(px(x), py(y), px(w), py(h)); }

// Weekday number with Sunday 1 to Saturday 7.
int dayNumber(const QDate &d) { return d.dayOfWeek() % 7 + 1; }

bool within(const QWidget *w, const QWidget *control)
{
    return w && control && (w == control || control->isAncestorOf(w));
}

// The integer value of a text; 0 when it is empty or not a whole number.
int integerOf(const QString &text)
{
    bool ok = false;
    const int v = text.trimmed().toInt(&ok);
    return ok ? v : 0;
}

QFont namedFont(const QString &family, int points, bool bold, QFont::StyleHint hint)
{
    QFont f(family);
    f.setStyleHint(hint);
    f.setPointSize(points);
    f.setBold(bold);
    return f;
}

} // namespace

void setTextColour(QWidget *w, int colour)
{
    QPalette pal = w->palette();
    const QColor c = colorFromValue(colour);
    for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
        pal.setColor(group, QPalette::WindowText, c);
    w->setPalette(pal);
}

int textColour(const QWidget *w)
{
    const QColor c = w->palette().color(QPalette::Active, QPalette::WindowText);
    return c.red() + 256 * c.green() + 65536 * c.blue();
}

// ---- construction -----------------------------------------------------------

w_calendar::w_calendar(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint)
{
    setObjectName(QStringLiteral("w_calendar"));
    setModal(true);
    setFixedSize(px(kWidthUnits), py(kHeightUnits));
    setCursor(Qt::CrossCursor);
    QPalette pal = palette();
    contrast::setFixedBackground(pal, QColor(244, 242, 236), {QPalette::Window});
    setPalette(pal);
    setAutoFillBackground(true);

    data_ = new RecordSet(definition(QStringLiteral("d_calendar")), this);
    buildControls();
    connect(qApp, &QApplication::focusChanged, this, &w_calendar::focusMoved);
}

w_calendar::~w_calendar()
{
    // Children losing the focus while they are destroyed must not reach a
    // picker that is half gone.
    disconnect(qApp, nullptr, this, nullptr);
}

void w_calendar::buildControls()
{
    st_prior = new CalendarArrow(QString(QChar(0x25C0)), this); // left-pointing triangle
    st_prior->setObjectName(QStringLiteral("st_prior"));
    st_prior->setGeometry(unitRect(18, 16, 82, 72));
    st_next = new CalendarArrow(QString(QChar(0x25B6)), this);  // right-pointing triangle
    st_next->setObjectName(QStringLiteral("st_next"));
    st_next->setGeometry(unitRect(626, 16, 82, 72));
    for (auto *arrow : {st_prior, st_next}) {
        arrow->setFont(namedFont(QStringLiteral("DejaVu Sans"), 12, true, QFont::SansSerif));
        setTextColour(arrow, kDesignText);
    }

    st_month = new QLabel(QStringLiteral("September 1994"), this);
    st_month->setObjectName(QStringLiteral("st_month"));
    st_month->setGeometry(unitRect(100, 16, 526, 72));
    st_month->setAlignment(Qt::AlignCenter);
    st_month->setFont(namedFont(QStringLiteral("Times New Roman"), 11, true, QFont::Serif));
    st_month->setEnabled(false);
    setTextColour(st_month, kDesignText);

    dwc_calendar = new CalendarGrid(data_, this);
    dwc_calendar->setObjectName(QStringLiteral("dwc_calendar"));
    dwc_calendar->setGeometry(unitRect(18, 96, kWidthUnits - 36, kHeightUnits - 96 - 16));

    ln_1 = new QFrame(this);
    ln_1->setObjectName(QStringLiteral("ln_1"));
    ln_1->setFrameShape(QFrame::HLine);
    ln_1->setFrameShadow(QFrame::Plain);
    ln_1->setLineWidth(1);
    ln_1->setGeometry(px(37), py(92), px(699) - px(37), 1);
    setTextColour(ln_1, kDesignText);

    const QFont arial = namedFont(QStringLiteral("Arial"), 8, false, QFont::SansSerif);
    st_month_select = new QLabel(QStringLiteral("Months:"), this);
    st_month_select->setObjectName(QStringLiteral("st_month_select"));
    st_month_select->setFont(arial);
    st_month_select->setGeometry(unitRect(37, 120, 360, 60));
    setTextColour(st_month_select, kDesignText);

    lb_months = new QListWidget(this);
    lb_months->setObjectName(QStringLiteral("lb_months"));
    lb_months->setFont(arial);
    lb_months->setSortingEnabled(false);
    lb_months->setSelectionMode(QAbstractItemView::SingleSelection);
    lb_months->addItems({QStringLiteral("January"), QStringLiteral("February"), QStringLiteral("March"),
                         QStringLiteral("April"), QStringLiteral("May"), QStringLiteral("June"),
                         QStringLiteral("July"), QStringLiteral("August"), QStringLiteral("Septermber"),
                         QStringLiteral("October"), QStringLiteral("November"), QStringLiteral("December")});
    lb_months->setGeometry(unitRect(37, 184, 360, 540));
    st_month_select->setBuddy(lb_months);

    st_year_select = new QLabel(QStringLiteral(" Year:"), this);
    st_year_select->setObjectName(QStringLiteral("st_year_select"));
    st_year_select->setFont(arial);
    st_year_select->setGeometry(unitRect(430, 120, 269, 60));
    setTextColour(st_year_select, kDesignText);

    em_years = new YearEdit(this);
    em_years->setObjectName(QStringLiteral("em_years"));
    em_years->setFont(namedFont(QStringLiteral("Arial"), 9, true, QFont::SansSerif));
    QPalette yp = em_years->palette();
    contrast::setFixedBackground(yp, QColor(255, 251, 240), {QPalette::Base, QPalette::Window, QPalette::Button});
    em_years->setPalette(yp);
    em_years->setGeometry(unitRect(430, 184, 269, 96));
    st_year_select->setBuddy(em_years);

    setTabOrder(dwc_calendar, st_prior);
    setTabOrder(st_prior, st_next);
    setTabOrder(st_next, lb_months);
    setTabOrder(lb_months, em_years);

    connect(st_prior, &CalendarArrow::clicked, this, [this] { arrowClicked(st_prior, -1); });
    connect(st_next, &CalendarArrow::clicked, this, [this] { arrowClicked(st_next, +1); });
    connect(st_prior, &CalendarArrow::rightButtonDown, this, [this] { arrowRightButtonDown(); });
    connect(st_next, &CalendarArrow::rightButtonDown, this, [this] { arrowRightButtonDown(); });
    connect(dwc_calendar, &CalendarGrid::clicked, this, &w_calendar::gridClicked);
    connect(dwc_calendar, &CalendarGrid::doubleClicked, this, &w_calendar::gridDoubleClicked);
    connect(dwc_calendar, &CalendarGrid::rightButtonDown, this, &w_calendar::rbuttondown);
    connect(dwc_calendar, &CalendarGrid::keyDown, this, [this](int k) { key(k); });

    showGridView();
}

QString w_calendar::pick(QWidget *parent)
{
    w_calendar dlg(parent);
    dlg.open_calendar();
    dlg.exec();
    return rt::Message().stringParm;
}

// ---- opening ----------------------------------------------------------------

void w_calendar::open_calendar()
{
    int x = 0, y = 0;
    QScreen *screen = nullptr;
    if (rt::Message().numberParm == 1.0) {
        int sw = gl_screen_width, sh = gl_screen_height;
        if (sw <= 0 || sh <= 0) {
            rt::Environment env;
            if (rt::GetEnvironment(env) == 1) {
                sw = env.ScreenWidth;
                sh = env.ScreenHeight;
            }
        }
        x = int((rt::PixelsToUnits(sw, rt::Axis::X) - kWidthUnits) * 0.5);
        y = int((rt::PixelsToUnits(sh, rt::Axis::Y) - kHeightUnits) * 0.5);
        screen = QGuiApplication::primaryScreen();
    } else {
        // The pointer seen from the picker standing at its design position.
        const QPoint pointer = QCursor::pos();
        x = rt::PixelsToUnits(pointer.x() - px(kDesignX), rt::Axis::X);
        y = rt::PixelsToUnits(pointer.y() - py(kDesignY), rt::Axis::Y);
        screen = QGuiApplication::screenAt(pointer);
        if (!screen)
            screen = QGuiApplication::primaryScreen();
    }
    // Keep the whole picker on the screen.
    if (screen) {
        const QRect avail = screen->availableGeometry();
        const int left = std::clamp(px(x), avail.left(), std::max(avail.left(), avail.right() + 1 - width()));
        const int top = std::clamp(py(y), avail.top(), std::max(avail.top(), avail.bottom() + 1 - height()));
        if (left != px(x))
            x = rt::PixelsToUnits(left, rt::Axis::X);
        if (top != py(y))
            y = rt::PixelsToUnits(top, rt::Axis::Y);
    }
    moveToUnits(x, y);

    const QString start = rt::Message().stringParm;
    const QDate d = start.isEmpty() ? QDate() : readDate(start);
    dcaldate = d.isValid() ? d : QDate::currentDate();

    icalhilite = 1;
    resetGrid();
    dwc_calendar->setFocus();
}

void w_calendar::moveToUnits(int x, int y)
{
    x_units_ = x;
    y_units_ = y;
    move(px(x), py(y));
}

void w_calendar::resetGrid()
{
    data_->Reset();
    data_->InsertRow(0);
    showmonth();
}

// ---- the month grid ---------------------------------------------------------

QDate w_calendar::startofmonth(const QDate &pdate)
{
    return pdate.addDays(1 - pdate.day());
}

QDate w_calendar::endofmonth(const QDate &pdate)
{
    const QDate t = pdate.addDays(32 - pdate.day()); // day 1 to 4 of the next month
    return t.addDays(-t.day());
}

void w_calendar::showmonth()
{
    dwc_calendar->SetRedraw(false);
    const int k = dayNumber(startofmonth(dcaldate)) - 1;
    for (int i = 1; i <= k; ++i)
        data_->SetItem(1, i, 0);
    const int n = endofmonth(dcaldate).day();
    for (int j = 1; j <= n; ++j)
        data_->SetItem(1, k + j, j);
    for (int i = k + n + 1; i <= 42; ++i)
        data_->SetItem(1, i, 0);
    st_month->setText(QLocale::c().monthName(dcaldate.month()) + QLatin1Char(' ')
                      + QStringLiteral("%1").arg(dcaldate.year(), 4, 10, QLatin1Char('0')));
    highlight();
    dwc_calendar->SetRedraw(true);
}

void w_calendar::unmark()
{
    data_->Modify(QStringLiteral("#%1.border=0").arg(icalhilite));
    data_->Modify(QStringLiteral("#%1.color=%2").arg(icalhilite).arg(kNormalText));
}

void w_calendar::highlight()
{
    unmark();
    icalhilite = qint16(dayNumber(startofmonth(dcaldate)) + dcaldate.day() - 1);
    data_->Modify(QStringLiteral("#%1.border=5").arg(icalhilite));
    data_->Modify(QStringLiteral("#%1.color=%2").arg(icalhilite).arg(kFocusText));
}

void w_calendar::gridClicked(int column)
{
    if (column == 0)
        return;
    const long d = long(data_->GetItemNumber(1, column));
    if (d == 0)
        return;
    dcaldate = startofmonth(dcaldate).addDays(d - 1);
    highlight();
}

void w_calendar::gridDoubleClicked(int column)
{
    if (column == 0 || long(data_->GetItemNumber(1, column)) == 0) {
        QApplication::beep();
        return;
    }
    // The click that began the double-click has already chosen the day.
    closeWithValue();
}

// ---- arrows and the month-and-year view -------------------------------------

bool w_calendar::monthYearViewShown() const
{
    return dwc_calendar->isHidden();
}

void w_calendar::showGridView()
{
    dwc_calendar->show();
    for (QWidget *w : std::initializer_list<QWidget *>{em_years, st_year_select, lb_months, st_month_select, ln_1})
        w->hide();
}

void w_calendar::showMonthYearView()
{
    dwc_calendar->hide();
    for (QWidget *w : std::initializer_list<QWidget *>{em_years, st_year_select, lb_months, st_month_select, ln_1})
        w->show();
}

void w_calendar::arrowClicked(CalendarArrow *arrow, int direction)
{
    arrow->setFocus(Qt::OtherFocusReason);
    if (monthYearViewShown()) {
        showGridView(); // leave the view without applying it
        return;
    }
    if (direction > 0)
        dcaldate = endofmonth(dcaldate).addDays(1);
    else
        dcaldate = startofmonth(dcaldate).addDays(-1);
    showmonth();
}

void w_calendar::arrowRightButtonDown()
{
    if (!monthYearViewShown()) {
        showMonthYearView();
        em_years->setText(QString::number(dcaldate.year()));
        lb_months->setCurrentRow(0);
        lb_months->setFocus(Qt::OtherFocusReason);
        return;
    }

    const int year = integerOf(em_years->text());
    if (year < 1602 || year > 3000)
        em_years->setText(QString::number(dcaldate.year()));
    const QList<QListWidgetItem *> selected = lb_months->selectedItems();
    int month = selected.isEmpty() ? 0 : lb_months->row(selected.first()) + 1;
    if (month < 1 || month > 12) {
        lb_months->setCurrentRow(0);
        month = 1;
    }
    QString ls_date = QStringLiteral("01/") + QString::number(month) + QLatin1Char('/')
                      + vantel_startup::Trim(em_years->text());
    ls_date = wf_convert_date_to_format(ls_date);
    const QDate d = readDate(ls_date);
    dcaldate = d.isValid() ? d : QDate::currentDate();

    unmark();
    icalhilite = 1;
    resetGrid();
    highlight();

    showGridView();
    dwc_calendar->setFocus(Qt::OtherFocusReason);
}

// ---- keyboard -----------------------------------------------------------------

void w_calendar::dayMove(int days)
{
    dwc_calendar->setFocus(Qt::OtherFocusReason);
    setTextColour(st_next, kNormalText);
    setTextColour(st_prior, kNormalText);
    const QDate old = dcaldate;
    dcaldate = dcaldate.addDays(days);
    if (old.month() != dcaldate.month())
        showmonth();
    else
        highlight();
}

int w_calendar::key(int k)
{
    const bool enter = k == Qt::Key_Return || k == Qt::Key_Enter;
    if (monthYearViewShown()) {
        if (enter) {
            arrowRightButtonDown();
            return 1;
        }
        if (k == Qt::Key_Escape) {
            arrowClicked(st_next, +1);
            return 1;
        }
        return 0;
    }
    switch (k) {
    case Qt::Key_PageDown:
        setTextColour(st_next, kFocusText);
        setTextColour(st_prior, kNormalText);
        arrowClicked(st_next, +1);
        return 1;
    case Qt::Key_PageUp:
        setTextColour(st_prior, kFocusText);
        setTextColour(st_next, kNormalText);
        arrowClicked(st_prior, -1);
        return 1;
    case Qt::Key_Down: dayMove(7); return 1;
    case Qt::Key_Up: dayMove(-7); return 1;
    case Qt::Key_Right: dayMove(1); return 1;
    case Qt::Key_Left: dayMove(-1); return 1;
    case Qt::Key_Home: arrowRightButtonDown(); return 1;
    case Qt::Key_Escape: closeWithoutValue(); return 1;
    default: break;
    }
    if (enter) {
        dwc_calendar->setFocus(Qt::OtherFocusReason);
        closeWithValue();
        return 1;
    }
    return 0;
}

void w_calendar::keyPressEvent(QKeyEvent *e)
{
    // The picker handles Enter and Escape itself; the dialog's own meaning
    // of them (default button, reject) does not apply.
    if (key(e->key()) == 1)
        e->accept();
    else
        e->ignore();
}

void w_calendar::focusMoved(QWidget *old, QWidget *now)
{
    if (within(old, st_prior))
        setTextColour(st_prior, kNormalText);
    if (within(old, st_next))
        setTextColour(st_next, kNormalText);
    if (within(old, lb_months))
        setTextColour(st_month_select, kNormalText);
    if (within(old, em_years))
        setTextColour(st_year_select, kNormalText);

    if (within(now, dwc_calendar)) {
        setTextColour(st_prior, kNormalText);
        setTextColour(st_next, kNormalText);
    }
    if (within(now, st_prior))
        setTextColour(st_prior, kFocusText);
    if (within(now, st_next))
        setTextColour(st_next, kFocusText);
    if (within(now, lb_months))
        setTextColour(st_month_select, kFocusText);
    if (within(now, em_years))
        setTextColour(st_year_select, kFocusText);
}

// ---- closing ------------------------------------------------------------------

QString w_calendar::resultText() const
{
    return formatDate(dcaldate, gs_short_date_format);
}

void w_calendar::closeWithValue()
{
    rt::Message().stringParm = resultText();
    accept();
}

void w_calendar::closeWithoutValue()
{
    reject();
}

void w_calendar::done(int r)
{
    // Every way of closing without a value leaves no date behind.
    if (r != QDialog::Accepted)
        rt::Message().stringParm.clear();
    il_x_movement = il_y_movement = 0;
    QDialog::done(r);
}

// ---- mouse: context menu and dragging -----------------------------------------

void w_calendar::rbuttondown(const QPoint &globalPos)
{
    m_base_right_click_menu menu(this);
    menu.PopMenu(globalPos);
    const QString chosen = menu.mf_get_menu_item_clicked();
    if (chosen == QLatin1String("close"))
        closeWithoutValue();
    else if (chosen == QLatin1String("closevalue"))
        closeWithValue();
}

void w_calendar::mousePressEvent(QMouseEvent *e)
{
    if (e->button() == Qt::RightButton) {
        rbuttondown(e->globalPosition().toPoint());
        e->accept();
        return;
    }
    QDialog::mousePressEvent(e);
}

namespace {
QWidget *mainWindow()
{
    for (QWidget *w : QApplication::topLevelWidgets())
        if (w->objectName() == QLatin1String("w_event"))
            return w;
    return nullptr;
}
} // namespace

void w_calendar::mouseMoveEvent(QMouseEvent *e)
{
    mousemove(rt::mouseFlags(e->buttons(), e->modifiers()), e->globalPosition().toPoint());
    e->accept();
}

void w_calendar::mouseReleaseEvent(QMouseEvent *e)
{
    mousemove(rt::mouseFlags(e->buttons(), e->modifiers()), e->globalPosition().toPoint());
    QDialog::mouseReleaseEvent(e);
}

void w_calendar::mousemove(unsigned flags, const QPoint &globalPos)
{
    if (flags != 1) {
        il_y_movement = 0;
        il_x_movement = 0;
        setCursor(Qt::CrossCursor);
        return;
    }
    QWidget *main = mainWindow();
    if (!main)
        return;
    setCursor(Qt::SizeAllCursor);
    if (il_x_movement == 0 && il_y_movement == 0) {
        // A new drag: take the window's place as it stands now.
        x_units_ = rt::PixelsToUnits(pos().x(), rt::Axis::X);
        y_units_ = rt::PixelsToUnits(pos().y(), rt::Axis::Y);
    }
    const QPoint p = main->mapFromGlobal(globalPos);
    const qint32 pointerX = rt::PixelsToUnits(p.x(), rt::Axis::X);
    const qint32 pointerY = rt::PixelsToUnits(p.y(), rt::Axis::Y);
    qint32 moveY = pointerY - il_y_movement;
    qint32 moveX = pointerX - il_x_movement;
    if (il_y_movement == 0)
        moveY = 0;
    if (il_x_movement == 0)
        moveX = 0;
    moveToUnits(x_units_ + moveX, y_units_ + moveY);
    il_y_movement = pointerY;
    il_x_movement = pointerX;
}

void w_calendar::paintEvent(QPaintEvent *e)
{
    QDialog::paintEvent(e);
    QPainter p(this);
    qDrawWinPanel(&p, rect(), palette(), false);
}
