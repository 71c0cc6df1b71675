// The month grid: how months fill the 42 cells, the highlight, and moving
// through months with the arrows, the mouse and the keyboard.
#include "calendar_test_util.h"

using namespace caltest;

namespace {

class CalendarGridTest : public ::testing::Test {
protected:
    void SetUp() override { useFormat(QStringLiteral("dd/mm/yyyy"), QStringLiteral("/")); }
};

std::vector<int> expectedCells(int blanksBefore, int days)
{
    std::vector<int> v(42, 0);
    for (int d = 1; d <= days; ++d)
        v[size_t(blanksBefore + d - 1)] = d;
    return v;
}

} // namespace

TEST_F(CalendarGridTest, February2004StartsOnSundayWith29Days)
{
    auto w = openPicker(QStringLiteral("15/02/2004"));
    EXPECT_EQ(cells(*w), expectedCells(0, 29));
    EXPECT_EQ(highlightedCell(*w), 15);
    EXPECT_EQ(caption(*w), QStringLiteral("February 2004"));
}

TEST_F(CalendarGridTest, January2000StartsOnSaturdayAndUsesSixLines)
{
    auto w = openPicker(QStringLiteral("01/01/2000"));
    EXPECT_EQ(cells(*w), expectedCells(6, 31));
    EXPECT_EQ(highlightedCell(*w), 7);
    EXPECT_EQ(caption(*w), QStringLiteral("January 2000"));
}

TEST(CalendarMonthEnds, EndOfMonthFollowsTheCalendar)
{
    for (int d = 1; d <= 28; ++d)
        EXPECT_EQ(w_calendar::endofmonth(QDate(2003, 2, d)), QDate(2003, 2, 28)) << d;
    for (int d = 1; d <= 29; ++d)
        EXPECT_EQ(w_calendar::endofmonth(QDate(2004, 2, d)), QDate(2004, 2, 29)) << d;
    for (int d = 1; d <= 31; ++d) {
        EXPECT_EQ(w_calendar::endofmonth(QDate(2004, 12, d)), QDate(2004, 12, 31)) << d;
        EXPECT_EQ(w_calendar::startofmonth(QDate(2004, 12, d)), QDate(2004, 12, 1)) << d;
    }
}

TEST_F(CalendarGridTest, NextArrowFromTheLastOfJanuaryShowsTheFirstOfFebruary)
{
    auto w = openPicker(QStringLiteral("31/01/2004"));
    auto *next = w->findChild<CalendarArrow *>(QStringLiteral("st_next"));
    QTest::mouseClick(next, Qt::LeftButton);
    EXPECT_EQ(caption(*w), QStringLiteral("February 2004"));
    EXPECT_EQ(w->dcaldate, QDate(2004, 2, 1));
    EXPECT_EQ(highlightedCell(*w), 1);
    EXPECT_EQ(QApplication::focusWidget(), next);
    EXPECT_EQ(textColour(next), w_calendar::kFocusText);
}

TEST_F(CalendarGridTest, PriorArrowFromTheLastOfMarchShowsTheLastOfFebruary)
{
    auto w = openPicker(QStringLiteral("31/03/2004"));
    QTest::mouseClick(w->findChild<CalendarArrow *>(QStringLiteral("st_prior")), Qt::LeftButton);
    EXPECT_EQ(caption(*w), QStringLiteral("February 2004"));
    EXPECT_EQ(w->dcaldate, QDate(2004, 2, 29));
    EXPECT_EQ(highlightedCell(*w), 29);
}

TEST_F(CalendarGridTest, PageKeysTurnTheMonthAndColourTheArrow)
{
    auto w = openPicker(QStringLiteral("15/02/2004"));
    press(*w, Qt::Key_PageDown);
    EXPECT_EQ(w->dcaldate, QDate(2004, 3, 1));
    auto *next = w->findChild<CalendarArrow *>(QStringLiteral("st_next"));
    auto *prior = w->findChild<CalendarArrow *>(QStringLiteral("st_prior"));
    EXPECT_EQ(textColour(next), w_calendar::kFocusText);
    EXPECT_EQ(textColour(prior), w_calendar::kNormalText);
    press(*w, Qt::Key_PageUp);
    press(*w, Qt::Key_PageUp);
    EXPECT_EQ(w->dcaldate, QDate(2004, 1, 31));
    EXPECT_EQ(textColour(prior), w_calendar::kFocusText);
    EXPECT_EQ(textColour(next), w_calendar::kNormalText);
}

TEST_F(CalendarGridTest, ArrowKeysCrossingAMonthEndShowTheNeighbouringMonth)
{
    auto w = openPicker(QStringLiteral("31/01/2004"));
    press(*w, Qt::Key_Right);
    EXPECT_EQ(caption(*w), QStringLiteral("February 2004"));
    EXPECT_EQ(highlightedCell(*w), 1);

    auto dec = openPicker(QStringLiteral("28/12/2004"));
    press(*dec, Qt::Key_Down);
    EXPECT_EQ(caption(*dec), QStringLiteral("January 2005"));
    EXPECT_EQ(dec->dcaldate, QDate(2005, 1, 4));
    EXPECT_EQ(highlightedCell(*dec), 10); // 1 January 2005 is a Saturday
}

TEST_F(CalendarGridTest, ArrowKeysWithinAMonthMoveOnlyTheHighlight)
{
    auto w = openPicker(QStringLiteral("15/02/2004"));
    press(*w, Qt::Key_Up);
    press(*w, Qt::Key_Left);
    EXPECT_EQ(w->dcaldate, QDate(2004, 2, 7));
    EXPECT_EQ(highlightedCell(*w), 7);
    EXPECT_EQ(w->calendarData()->cellColor(15), w_calendar::kNormalText);
    EXPECT_EQ(w->calendarData()->cellBorder(15), 0);
}

TEST_F(CalendarGridTest, ClickingADayChoosesItAndABlankCellChangesNothing)
{
    auto w = openPicker(QStringLiteral("15/01/2000"));
    CalendarGrid *g = grid(*w);
    QTest::mouseClick(g, Qt::LeftButton, {}, g->cellRect(10).center()); // 4 January
    EXPECT_EQ(w->dcaldate, QDate(2000, 1, 4));
    EXPECT_EQ(highlightedCell(*w), 10);

    QTest::mouseClick(g, Qt::LeftButton, {}, g->cellRect(3).center()); // blank
    QTest::mouseClick(g, Qt::LeftButton, {}, QPoint(g->width() / 2, 2)); // the headings
    EXPECT_EQ(w->dcaldate, QDate(2000, 1, 4));
    EXPECT_EQ(highlightedCell(*w), 10);
}

TEST_F(CalendarGridTest, DoubleClickOnABlankCellLeavesThePickerOpen)
{
    auto w = openPicker(QStringLiteral("15/01/2000"));
    doubleClick(grid(*w), 40);
    EXPECT_TRUE(w->isVisible());
    EXPECT_EQ(w->dcaldate, QDate(2000, 1, 15));
}
