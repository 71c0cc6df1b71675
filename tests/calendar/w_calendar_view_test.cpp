// The month-and-year view, and the reordering of date texts that its
// apply step relies on.
#include "calendar_test_util.h"

#include <QAbstractSpinBox>

using namespace caltest;

namespace {

class MonthYearViewTest : public ::testing::Test {
protected:
    void SetUp() override { useFormat(QStringLiteral("dd/mm/yyyy"), QStringLiteral("/")); }

    static QListWidget *months(const w_calendar &w) { return w.findChild<QListWidget *>(QStringLiteral("lb_months")); }
    static YearEdit *years(const w_calendar &w) { return w.findChild<YearEdit *>(QStringLiteral("em_years")); }
    static void typeYear(const w_calendar &w, const QString &year)
    {
        YearEdit *y = years(w);
        y->setFocus();
        y->selectAll();
        QTest::keyClicks(y, year);
    }
};

} // namespace

TEST_F(MonthYearViewTest, EnteringShowsJanuaryAndTheYearWhateverTheMonth)
{
    auto w = openPicker(QStringLiteral("17/06/2010"));
    QTest::mouseClick(w->findChild<CalendarArrow *>(QStringLiteral("st_prior")), Qt::RightButton);
    ASSERT_TRUE(w->monthYearViewShown());
    EXPECT_TRUE(grid(*w)->isHidden());
    for (const char *name : {"lb_months", "em_years", "st_month_select", "st_year_select", "ln_1"})
        EXPECT_TRUE(w->findChild<QWidget *>(QLatin1String(name))->isVisible()) << name;
    EXPECT_EQ(months(*w)->selectedItems().value(0)->text(), QStringLiteral("January"));
    EXPECT_EQ(years(*w)->text(), QStringLiteral("2010"));
    EXPECT_EQ(QApplication::focusWidget(), months(*w));
    EXPECT_EQ(w->dcaldate, QDate(2010, 6, 17));
}

TEST_F(MonthYearViewTest, ApplyingSeptember2004ShowsItsFirstDay)
{
    auto w = openPicker(QStringLiteral("17/06/2010"));
    press(*w, Qt::Key_Home);
    ASSERT_TRUE(w->monthYearViewShown());
    QListWidget *lb = months(*w);
    ASSERT_EQ(lb->item(8)->text(), QStringLiteral("Septermber"));
    lb->setCurrentRow(8);
    typeYear(*w, QStringLiteral("2004"));
    press(*w, Qt::Key_Return);

    EXPECT_FALSE(w->monthYearViewShown());
    EXPECT_EQ(caption(*w), QStringLiteral("September 2004"));
    EXPECT_EQ(w->dcaldate, QDate(2004, 9, 1));
    EXPECT_EQ(highlightedCell(*w), 4); // 1 September 2004 is a Wednesday
    EXPECT_EQ(QApplication::focusWidget(), grid(*w));
    EXPECT_TRUE(w->isVisible());
}

TEST_F(MonthYearViewTest, AYearOutsideTheRangeIsReplacedByTheCurrentYear)
{
    for (const QString &year : {QStringLiteral("1601"), QStringLiteral("3001"), QString()}) {
        auto w = openPicker(QStringLiteral("17/06/2010"));
        press(*w, Qt::Key_Home);
        months(*w)->setCurrentRow(2);
        typeYear(*w, year);
        if (year.isEmpty())
            years(*w)->setText(QString());
        // The right button on an arrow applies the view as Enter does.
        QTest::mouseClick(w->findChild<CalendarArrow *>(QStringLiteral("st_next")), Qt::RightButton);
        EXPECT_EQ(years(*w)->text(), QStringLiteral("2010")) << year.toStdString();
        EXPECT_EQ(w->dcaldate, QDate(2010, 3, 1)) << year.toStdString();
    }
}

TEST_F(MonthYearViewTest, NoMonthSelectedTakesJanuary)
{
    auto w = openPicker(QStringLiteral("17/06/2010"));
    press(*w, Qt::Key_Home);
    months(*w)->clearSelection();
    typeYear(*w, QStringLiteral("1999"));
    press(*w, Qt::Key_Return);
    EXPECT_EQ(w->dcaldate, QDate(1999, 1, 1));
}

TEST_F(MonthYearViewTest, EscapeLeavesTheViewThenASecondEscapeCloses)
{
    auto w = openPicker(QStringLiteral("17/06/2010"));
    rt::Message().stringParm = QStringLiteral("left over");
    press(*w, Qt::Key_Home);
    months(*w)->setCurrentRow(4);
    typeYear(*w, QStringLiteral("2001"));
    press(*w, Qt::Key_Escape);
    EXPECT_FALSE(w->monthYearViewShown());
    EXPECT_TRUE(w->isVisible());
    EXPECT_EQ(w->dcaldate, QDate(2010, 6, 17));
    EXPECT_EQ(caption(*w), QStringLiteral("June 2010"));

    press(*w, Qt::Key_Escape);
    EXPECT_FALSE(w->isVisible());
    EXPECT_EQ(w->result(), QDialog::Rejected);
    EXPECT_TRUE(rt::Message().stringParm.isEmpty());
}

TEST_F(MonthYearViewTest, SpinButtonsStayWithinTheYearRange)
{
    auto w = openPicker(QStringLiteral("17/06/2010"));
    press(*w, Qt::Key_Home);
    YearEdit *y = years(*w);
    y->setText(QStringLiteral("2999"));
    y->stepBy(5);
    EXPECT_EQ(y->text(), QStringLiteral("3000"));
    y->setText(QStringLiteral("1603"));
    y->stepBy(-5);
    EXPECT_EQ(y->text(), QStringLiteral("1602"));
    QTest::keyClicks(y, QStringLiteral("x"));
    EXPECT_EQ(y->text(), QStringLiteral("1602"));
}

// ---- reordering a day/month/year text -----------------------------------------

TEST(ConvertDateToFormat, ReordersIntoTheUsersPattern)
{
    struct Case { const char *pattern, *sep, *in, *out; };
    const Case cases[] = {
        {"dd/mm/yyyy", "/", "01/3/2004", "01/03/2004"},
        {"mm/dd/yyyy", "/", "01/3/2004", "03/01/2004"},
        {"yyyy.mm.dd", ".", "01/3/2004", "2004.03.01"},
        {"dd-mm-yyyy", "-", "01/12/2004", "01-12-2004"},
        {"dd/mm/yyyy", "/", "  01/3/2004  ", "01/03/2004"},
        {"dd/mm/yyyy", "/", "01//3/2004", "01//3"},       // the month is empty, the last group dropped
        {"d.m.yy", ".", "01/3/2004", "03.01.2004"},      // no known pattern: month, day, year
        {"dd/mm/yyyy", "/", "1/3/04", ""},                // shorter than 7 characters
        {"dd/mm/yyyy", "/", "   1/3/04   ", ""},
        {"dd/mm/yyyy", "/", "", ""},
    };
    for (const Case &c : cases) {
        useFormat(QLatin1String(c.pattern), QLatin1String(c.sep));
        EXPECT_EQ(w_calendar::wf_convert_date_to_format(QLatin1String(c.in)), QLatin1String(c.out))
            << c.pattern << " " << c.in;
    }
}
