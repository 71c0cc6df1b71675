// Opening the picker (position, starting date), its ways to close, the text
// it returns, and dragging it.
#include "calendar_test_util.h"

#include <QCursor>
#include <QMouseEvent>
#include <QScreen>

using namespace caltest;

namespace {

class CalendarCloseTest : public ::testing::Test {
protected:
    void SetUp() override { useFormat(QStringLiteral("dd/mm/yyyy"), QStringLiteral("/")); }
};

// Runs a modal picker started at `start`; `act` runs once it is showing.
QString runModal(const QString &start, std::function<void(w_calendar &)> act)
{
    rt::Message().stringParm = start;
    rt::Message().numberParm = 1;
    w_calendar dlg;
    dlg.open_calendar();
    QTimer::singleShot(0, &dlg, [&] {
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&dlg));
        act(dlg);
    });
    dlg.exec();
    return rt::Message().stringParm;
}

} // namespace

TEST_F(CalendarCloseTest, ResultTextFollowsTheUsersPattern)
{
    struct Case { const char *pattern, *sep, *start, *result; };
    const Case cases[] = {
        {"dd/mm/yyyy", "/", "05/03/2004", "05/03/2004"},
        {"mm/dd/yyyy", "/", "03/05/2004", "03/05/2004"},
        {"yyyy.mm.dd", ".", "2004.03.05", "2004.03.05"},
    };
    for (const Case &c : cases) {
        useFormat(QLatin1String(c.pattern), QLatin1String(c.sep));
        const QString got = runModal(QLatin1String(c.start), [](w_calendar &w) { press(w, Qt::Key_Return); });
        EXPECT_EQ(got, QLatin1String(c.result)) << c.pattern;
    }
    useFormat(QStringLiteral("dd/mm/yyyy"), QStringLiteral("/"));
    EXPECT_EQ(w_calendar::formatDate(QDate(2004, 3, 5), QStringLiteral("dd/mm/yyyy")), QStringLiteral("05/03/2004"));
}

TEST_F(CalendarCloseTest, TheThreeWaysToCloseWithAValueAgree)
{
    const QString byEnter = runModal(QStringLiteral("10/02/2004"), [](w_calendar &w) {
        press(w, Qt::Key_Right);
        press(w, Qt::Key_Return);
    });
    const QString byDoubleClick = runModal(QStringLiteral("10/02/2004"), [](w_calendar &w) {
        doubleClick(grid(w), 11);
    });
    const QString byMenu = runModal(QStringLiteral("10/02/2004"), [](w_calendar &w) {
        press(w, Qt::Key_Right);
        answerNextMenu(QStringLiteral("m_cancel"));
        QTest::mouseClick(&w, Qt::RightButton, {}, QPoint(w.width() / 2, 4));
    });
    EXPECT_EQ(byEnter, QStringLiteral("11/02/2004"));
    EXPECT_EQ(byDoubleClick, byEnter);
    EXPECT_EQ(byMenu, byEnter);
}

TEST_F(CalendarCloseTest, EscapeAndTheCloseItemReturnNoDate)
{
    EXPECT_EQ(runModal(QStringLiteral("10/02/2004"), [](w_calendar &w) { press(w, Qt::Key_Escape); }), QString());
    const QString byMenu = runModal(QStringLiteral("10/02/2004"), [](w_calendar &w) {
        answerNextMenu(QStringLiteral("m_close0"));
        CalendarGrid *g = grid(w); // the grid's right button opens the same menu
        QTest::mouseClick(g, Qt::RightButton, {}, g->cellRect(20).center());
    });
    EXPECT_EQ(byMenu, QString());
}

TEST_F(CalendarCloseTest, ADismissedMenuKeepsThePickerOpen)
{
    auto w = openPicker(QStringLiteral("10/02/2004"));
    answerNextMenu(QString());
    QTest::mouseClick(w.get(), Qt::RightButton, {}, QPoint(w->width() / 2, 4));
    EXPECT_TRUE(w->isVisible());
    EXPECT_EQ(rt::Message().stringParm, QStringLiteral("10/02/2004"));
}

TEST_F(CalendarCloseTest, ALeftoverStringParameterBecomesTheStartingDate)
{
    rt::Message().stringParm = QStringLiteral("23/11/2006"); // from an earlier use
    rt::Message().numberParm = 0;
    w_calendar w;
    w.open_calendar();
    EXPECT_EQ(w.dcaldate, QDate(2006, 11, 23));

    for (const QString &bad : {QStringLiteral("31/02/2004"), QStringLiteral("11/23/2006"), QStringLiteral("soon"),
                              QString()}) {
        auto other = openPicker(bad);
        EXPECT_EQ(other->dcaldate, QDate::currentDate()) << bad.toStdString();
    }
}

TEST_F(CalendarCloseTest, NumberParameterOneCentresOtherwiseOpensAtThePointer)
{
    QScreen *screen = QGuiApplication::primaryScreen();
    gl_screen_width = screen->geometry().width();
    gl_screen_height = screen->geometry().height();
    auto centred = openPicker(QString(), 1);
    const int cx = rt::UnitsToPixels(int((rt::PixelsToUnits(gl_screen_width, rt::Axis::X) - 750) * 0.5), rt::Axis::X);
    const int cy = rt::UnitsToPixels(int((rt::PixelsToUnits(gl_screen_height, rt::Axis::Y) - 752) * 0.5), rt::Axis::Y);
    EXPECT_EQ(centred->pos(), QPoint(cx, cy));
    EXPECT_LE(std::abs(centred->geometry().center().x() - screen->geometry().center().x()), 2);

    QCursor::setPos(screen, QPoint(300, 250));
    if (QCursor::pos(screen) != QPoint(300, 250))
        GTEST_SKIP() << "this platform cannot place the pointer";
    // The picker's top-left corner lands at the pointer minus its design place.
    auto atPointer = openPicker(QString(), 0);
    EXPECT_EQ(atPointer->pos(), QPoint(300 - 62, 250 - 89));
    // Near the corner of the screen it stays whole on the screen.
    QCursor::setPos(screen, QPoint(5, 5));
    auto corner = openPicker(QString(), 2);
    EXPECT_TRUE(screen->availableGeometry().contains(corner->frameGeometry()));
}

TEST_F(CalendarCloseTest, DraggingTheBackgroundMovesThePickerWithThePointer)
{
    QWidget mainWindow;
    mainWindow.setObjectName(QStringLiteral("w_event"));
    mainWindow.setGeometry(0, 0, 400, 300);
    auto w = openPicker(QStringLiteral("10/02/2004"));
    const QPoint start = w->pos();
    const QPoint inside(w->width() / 2, 4); // the background beside the caption
    auto send = [&](QEvent::Type type, QPoint globalPos, Qt::MouseButtons buttons) {
        QMouseEvent e(type, w->mapFromGlobal(globalPos), globalPos,
                      type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, buttons, Qt::NoModifier);
        QApplication::sendEvent(w.get(), &e);
    };
    const QPoint g = w->mapToGlobal(inside);
    send(QEvent::MouseButtonPress, g, Qt::LeftButton);
    send(QEvent::MouseMove, g + QPoint(4, 0), Qt::LeftButton);
    EXPECT_EQ(w->pos(), start); // the first step only records the pointer
    send(QEvent::MouseMove, g + QPoint(24, 14), Qt::LeftButton);
    EXPECT_EQ(w->pos(), start + QPoint(20, 14));
    send(QEvent::MouseButtonRelease, g + QPoint(24, 14), Qt::NoButton);
    EXPECT_EQ(w->il_x_movement, 0);
    EXPECT_EQ(w->il_y_movement, 0);
    EXPECT_EQ(w->cursor().shape(), Qt::CrossCursor);
}

// A hand that moves a little while it clicks a day or an arrow does not
// move the picker: only its background drags it.
TEST_F(CalendarCloseTest, PressingADayOrAnArrowAndMovingLeavesThePickerInPlace)
{
    QWidget mainWindow;
    mainWindow.setObjectName(QStringLiteral("w_event"));
    mainWindow.setGeometry(0, 0, 400, 300);
    auto w = openPicker(QStringLiteral("10/02/2004"));
    const QPoint start = w->pos();
    CalendarGrid *g = grid(*w);
    QWidget *arrow = w->findChild<QWidget *>(QStringLiteral("st_next"));
    ASSERT_NE(arrow, nullptr);
    for (QWidget *target : {static_cast<QWidget *>(g), arrow}) {
        const QPoint at = target == g ? g->cellRect(10).center() : arrow->rect().center();
        auto send = [&](QEvent::Type type, QPoint local, Qt::MouseButtons buttons) {
            QMouseEvent e(type, local, target->mapToGlobal(local),
                          type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton, buttons, Qt::NoModifier);
            QApplication::sendEvent(target, &e);
        };
        send(QEvent::MouseButtonPress, at, Qt::LeftButton);
        send(QEvent::MouseMove, at + QPoint(3, 2), Qt::LeftButton);
        send(QEvent::MouseMove, at + QPoint(9, 6), Qt::LeftButton);
        EXPECT_EQ(w->pos(), start) << target->objectName().toStdString();
        EXPECT_EQ(w->il_x_movement, 0);
        send(QEvent::MouseButtonRelease, at + QPoint(9, 6), Qt::NoButton);
    }
}
