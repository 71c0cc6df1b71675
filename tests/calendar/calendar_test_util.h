// Opens the calendar picker as the event dates page does and reads what it
// shows.
#pragma once

#include "calendar_parts.h"
#include "globals.h"
#include "recordset.h"
#include "runtime.h"
#include "w_calendar.h"

#include <QApplication>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <memory>
#include <ostream>
#include <vector>

QT_BEGIN_NAMESPACE
inline void PrintTo(const QString &s, std::ostream *os) { *os << '"' << s.toStdString() << '"'; }
inline void PrintTo(const QDate &d, std::ostream *os) { *os << d.toString(Qt::ISODate).toStdString(); }
QT_END_NAMESPACE

namespace caltest {

inline void useFormat(const QString &pattern, const QString &separator)
{
    gs_short_date_format = pattern;
    gs_date_separator = separator;
}

// Opens a shown and active picker with `start` left in the string parameter.
inline std::unique_ptr<w_calendar> openPicker(const QString &start, double numberParm = 1)
{
    rt::Message().stringParm = start;
    rt::Message().numberParm = numberParm;
    auto w = std::make_unique<w_calendar>();
    w->open_calendar();
    w->show();
    w->activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(w.get()));
    return w;
}

inline std::vector<int> cells(const w_calendar &w)
{
    std::vector<int> v;
    for (int c = 1; c <= 42; ++c)
        v.push_back(int(w.calendarData()->GetItemNumber(1, c)));
    return v;
}

// The one cell with the lowered border and the focus colour; 0 when there
// is none or more than one.
inline int highlightedCell(const w_calendar &w)
{
    int found = 0;
    for (int c = 1; c <= 42; ++c) {
        if (w.calendarData()->cellBorder(c) == 5) {
            if (found != 0 || w.calendarData()->cellColor(c) != w_calendar::kFocusText)
                return 0;
            found = c;
        }
    }
    return found;
}

inline QString caption(const w_calendar &w)
{
    return w.findChild<QLabel *>(QStringLiteral("st_month"))->text();
}

inline CalendarGrid *grid(const w_calendar &w)
{
    return w.findChild<CalendarGrid *>(QStringLiteral("dwc_calendar"));
}

inline void press(w_calendar &w, Qt::Key key)
{
    QWidget *target = QApplication::focusWidget();
    QTest::keyClick(target ? target : static_cast<QWidget *>(&w), key);
}

// A double-click as the user makes it: a click, then the second press.
inline void doubleClick(CalendarGrid *g, int column)
{
    QTest::mouseClick(g, Qt::LeftButton, {}, g->cellRect(column).center());
    QTest::mouseDClick(g, Qt::LeftButton, {}, g->cellRect(column).center());
}

// Answers the next pop-up menu: triggers the action of that name, or
// dismisses the menu with Escape when the name is empty.
inline void answerNextMenu(const QString &actionName)
{
    auto *timer = new QTimer;
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, [timer, actionName] {
        auto *popup = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        if (!popup)
            return;
        timer->stop();
        timer->deleteLater();
        if (actionName.isEmpty()) {
            QTest::keyClick(popup, Qt::Key_Escape);
            return;
        }
        auto *action = popup->findChild<QAction *>(actionName);
        ASSERT_NE(action, nullptr);
        popup->setActiveAction(action);
        QTest::keyClick(popup, Qt::Key_Return);
    });
    timer->start();
}

} // namespace caltest
