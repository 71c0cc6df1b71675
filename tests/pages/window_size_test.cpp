// The window on a small screen and with a large font: every page shrinks to
// 800 x 500 and scrolls to the field the keys go to; headings and columns
// are as wide as the font needs.
#include "pages_fixture.h"

#include <QHeaderView>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>

using namespace pages;

namespace {

class WindowSize : public PagesTest {
protected:
    void TearDown() override
    {
        PagesTest::TearDown();
        QApplication::setFont(font_);
    }
    void openWithFontOf(int points)
    {
        QFont f = font_;
        f.setPointSize(points);
        QApplication::setFont(f);
        writeAdmin();
        writeEvents(2, 1);
        openWindow();
    }
    QScrollArea *scrolled(int page) const { return tabs()->widget(page)->findChild<QScrollArea *>(); }
    // Whether the start of field `widget`, where typing shows, lies within
    // what its page shows.
    bool inSight(QWidget *widget, int page) const
    {
        QWidget *view = scrolled(page)->viewport();
        return view->rect().contains(QRect(widget->mapTo(view, QPoint()), QSize(20, widget->height())));
    }

private:
    QFont font_ = QApplication::font();
};

// The window opens no smaller than before, but within a screen that is
// smaller than that (the test screen is 800 pixels wide).
TEST_F(WindowSize, OpensWithinTheScreen)
{
    openWithFontOf(QApplication::font().pointSize());
    const QSize screen = w->screen()->availableGeometry().size();
    EXPECT_LE(w->frameGeometry().width(), screen.width());
    EXPECT_LE(w->frameGeometry().height(), screen.height());
    EXPECT_GE(w->width(), screen.width() - 40);
    EXPECT_GE(w->height(), std::min(640, screen.height() - 60));
    QPushButton *close = button("pb_close");
    EXPECT_TRUE(w->rect().contains(QRect(close->mapTo(w.get(), QPoint()), close->size())));
}

TEST_F(WindowSize, ShrinksTo800By500AndScrollsToTheFieldWithTheFocus)
{
    openWithFontOf(16);
    w->resize(800, 500);
    QCoreApplication::processEvents();
    ASSERT_EQ(w->size(), QSize(800, 500));
    for (const char *name : {"pb_save", "pb_export", "pb_close"}) {
        QPushButton *b = button(name);
        EXPECT_TRUE(w->rect().contains(QRect(b->mapTo(w.get(), QPoint()), b->size()))) << name;
    }
    clickTab(Admin);
    QScrollArea *admin = scrolled(Admin);
    EXPECT_TRUE(admin->verticalScrollBar()->isVisible() || admin->horizontalScrollBar()->isVisible());
    selectField("dw_admin", "user_id");
    while (focusedColumn() != "default_city" && focusedColumn() != "")
        press(Qt::Key_Tab);
    ASSERT_EQ(focusedColumn(), "default_city");
    EXPECT_TRUE(inSight(focused(), Admin));

    clickTab(Detail);
    selectField("dw_events", "name");
    for (int i = 0; i < 12 && focusedColumn() != "contact_email"; ++i)
        press(Qt::Key_Tab);
    ASSERT_EQ(focusedColumn(), "contact_email");
    EXPECT_TRUE(inSight(focused(), Detail));
    press(Qt::Key_Tab, Qt::ShiftModifier);
    EXPECT_TRUE(inSight(focused(), Detail));
}

// Each heading is drawn whole in its section (6 pixels before it, 4 after)
// and each column holds what it typically shows, at the font in use.
TEST_F(WindowSize, HeadingsAndColumnsFitALargeFont)
{
    openWithFontOf(18);
    press(Qt::Key_Tab, Qt::ControlModifier); // to the events
    for (const char *name : {"dw_event_list", "dw_event_dates"}) {
        if (QLatin1String(name) == QLatin1String("dw_event_dates"))
            clickTab(Dates);
        QTableView *grid = dw(name)->gridView();
        QHeaderView *header = grid->horizontalHeader();
        const QFontMetrics bold(header->font()), cell(grid->font());
        EXPECT_GE(header->height(), bold.height() + 4) << name;
        EXPECT_GE(grid->verticalHeader()->defaultSectionSize(), cell.height() + 4) << name;
        for (int c = 0; c < header->count(); ++c) {
            if (header->isSectionHidden(c))
                continue;
            const QString heading = grid->model()->headerData(c, Qt::Horizontal).toString();
            EXPECT_GE(header->sectionSize(c), bold.horizontalAdvance(heading) + 10) << name << " " << c;
            const QString text = grid->model()->index(0, c).data().toString();
            EXPECT_GE(grid->columnWidth(c), cell.horizontalAdvance(text) + 6) << name << " " << c;
        }
    }
}

} // namespace
