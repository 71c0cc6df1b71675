// Readable under light and dark desktop themes: the main window, the error
// list and the calendar opened under a light and under a dark palette, and
// for each kind of control the text read from the pixels really drawn and
// compared with the background it is drawn on (at least 4.5:1).
#include "calendar_parts.h"
#include "contrast.h"
#include "editor_fixture.h"
#include "helpviewer.h"
#include "w_calendar.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QGroupBox>
#include <QHash>
#include <QHeaderView>
#include <QImage>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <QTabBar>
#include <QTextBrowser>
#include <QTableView>

#include <string>

namespace {

using namespace editor_tests;

// A dark theme as desktops make it (the usual dark Fusion palette).
QPalette darkPalette()
{
    QPalette p;
    const QColor window(53, 53, 53), base(35, 35, 35), text(230, 230, 230), disabled(127, 127, 127);
    p.setColor(QPalette::Window, window);
    p.setColor(QPalette::WindowText, text);
    p.setColor(QPalette::Base, base);
    p.setColor(QPalette::AlternateBase, window);
    p.setColor(QPalette::ToolTipBase, QColor(25, 25, 25));
    p.setColor(QPalette::ToolTipText, text);
    p.setColor(QPalette::PlaceholderText, disabled);
    p.setColor(QPalette::Text, text);
    p.setColor(QPalette::Button, window);
    p.setColor(QPalette::ButtonText, text);
    p.setColor(QPalette::BrightText, Qt::red);
    p.setColor(QPalette::Light, QColor(80, 80, 80));
    p.setColor(QPalette::Midlight, QColor(66, 66, 66));
    p.setColor(QPalette::Mid, QColor(45, 45, 45));
    p.setColor(QPalette::Dark, QColor(25, 25, 25));
    p.setColor(QPalette::Shadow, QColor(10, 10, 10));
    p.setColor(QPalette::Link, QColor(42, 130, 218));
    p.setColor(QPalette::Highlight, QColor(42, 130, 218));
    p.setColor(QPalette::HighlightedText, Qt::black);
    for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        p.setColor(QPalette::Disabled, role, disabled);
    return p;
}

enum class Theme { Light, Dark };

std::string themeName(const ::testing::TestParamInfo<Theme> &info)
{
    return info.param == Theme::Dark ? "Dark" : "Light";
}

// What the pixels of one area say: the colour that fills most of it (the
// background), the pixel that stands out most from it (the text; its
// anti-aliased edges stand out less) and their contrast.
struct Reading {
    QColor background, text;
    double ratio = 1.0;
    int inked = 0; // pixels that stand out at all (1.5:1 or more)
};

Reading readText(const QImage &image, const QRect &area)
{
    Reading r;
    const QRect a = area.intersected(image.rect());
    QHash<QRgb, int> counts;
    for (int y = a.top(); y <= a.bottom(); ++y)
        for (int x = a.left(); x <= a.right(); ++x)
            ++counts[image.pixel(x, y) | 0xFF000000u];
    QRgb most = 0;
    int best = -1;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it)
        if (it.value() > best) {
            best = it.value();
            most = it.key();
        }
    r.background = QColor::fromRgb(most);
    r.text = r.background;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it) {
        const double c = contrast::ratio(QColor::fromRgb(it.key()), r.background);
        if (c >= 1.5)
            r.inked += it.value();
        if (c > r.ratio) {
            r.ratio = c;
            r.text = QColor::fromRgb(it.key());
        }
    }
    return r;
}

class Themes : public MainWindowTest, public ::testing::WithParamInterface<Theme> {
protected:
    void SetUp() override
    {
        saved_ = QApplication::palette();
        QApplication::setPalette(GetParam() == Theme::Dark ? darkPalette() : QApplication::style()->standardPalette());
        MainWindowTest::SetUp();
    }
    void TearDown() override
    {
        MainWindowTest::TearDown();
        QApplication::setPalette(saved_);
    }

    // One event with a long name, a multi-line short description and two
    // date lines, the window open on it.
    void openWithOneEvent()
    {
        writeAdmin();
        writeData("VantelEvents.txt", testing_support::eventLine("EV1", "Harbour Festival", "Boats and music"));
        writeData("VantelEventDates.txt", dateLine("EV1", "TI1") + dateLine("EV1", "TI2", "2025-07-01", "2025-07-02"));
        openWindow();
    }

    // The text that `widget` draws in `area` (its own coordinates, the whole
    // widget when empty), read from a picture of its whole window, must
    // stand out from what it is drawn on by 4.5:1.
    static void expectReadable(QWidget *widget, const QString &what, QRect area = QRect(), double least = 4.5)
    {
        ASSERT_NE(widget, nullptr) << what.toStdString();
        ASSERT_TRUE(widget->isVisible()) << what.toStdString();
        QWidget *window = widget->window();
        const QImage shot = window->grab().toImage();
        if (area.isNull())
            area = widget->rect();
        area.moveTopLeft(widget->mapTo(window, area.topLeft()));
        const Reading r = readText(shot, area);
        EXPECT_GE(r.inked, 4) << what.toStdString() << ": no text drawn";
        EXPECT_GE(r.ratio, least) << what.toStdString() << ": text " << r.text.name().toStdString() << " on "
                                  << r.background.name().toStdString();
    }
    // The text area of a line edit or drop-down, inside its frame.
    static QRect inside(QWidget *w, int frame = 4) { return w->rect().adjusted(frame, frame, -frame, -frame); }
    static QRect comboText(QComboBox *combo)
    {
        QStyleOptionComboBox opt;
        opt.initFrom(combo);
        opt.editable = combo->isEditable();
        opt.currentText = combo->currentText();
        return combo->style()->subControlRect(QStyle::CC_ComboBox, &opt, QStyle::SC_ComboBoxEditField, combo);
    }
    // A cell of a grid, inside its lines and the focus frame.
    static QRect cell(QTableView *grid, int row, int column)
    {
        return grid->visualRect(grid->model()->index(row, column)).adjusted(3, 3, -3, -3);
    }
    void showPage(int index)
    {
        tabs()->setCurrentIndex(index);
        QCoreApplication::processEvents();
    }
    void expectHeadingsReadable(QTableView *grid, const QList<int> &sections, const QString &what)
    {
        QHeaderView *h = grid->horizontalHeader();
        for (int s : sections) {
            const QRect r(h->sectionViewportPosition(s) + 3, 3, h->sectionSize(s) - 8, h->height() - 6);
            expectReadable(h->viewport(), what + " heading " + QString::number(s), r);
        }
    }

private:
    QPalette saved_;
};

TEST_P(Themes, AdminPageFieldsLabelsBannerAndButtons)
{
    openWithOneEvent();
    showPage(0);
    DataWindow *admin = dw("dw_admin");
    for (const char *field : {"user_id", "user_password", "file_directory", "default_state", "default_city"}) {
        auto *e = qobject_cast<QLineEdit *>(admin->editorFor(field));
        ASSERT_NE(e, nullptr) << field;
        if (e->echoMode() == QLineEdit::Normal)
            expectReadable(e, QStringLiteral("field ") + field, inside(e));
        expectReadable(admin->findChild<QLabel *>(QString(field) + "_t"), QStringLiteral("label of ") + field);
    }
    auto *country = qobject_cast<QComboBox *>(admin->editorFor("default_country"));
    ASSERT_NE(country, nullptr);
    expectReadable(country, "drop-down default_country", comboText(country));

    // The current field takes the highlight colour, its text with it.
    activateMainWindow();
    QWidget *login = admin->editorFor("user_id");
    login->setFocus(Qt::MouseFocusReason);
    QCoreApplication::processEvents();
    EXPECT_EQ(login->palette().color(QPalette::Base), QColor(255, 180, 180));
    expectReadable(login, "current field user_id", inside(login));

    for (const char *label : {"st_messages", "st_help", "st_2", "st_tm"})
        expectReadable(child<QLabel>(label), label);
    expectReadable(child<QGroupBox>("gb_2"), "group box title", QRect(0, 0, 160, 18));
    for (const char *b : {"pb_browse", "pb_export", "pb_close"})
        expectReadable(button(b), b);
    QTabBar *bar = tabs()->tabBar();
    for (int i = 0; i < bar->count(); ++i)
        expectReadable(bar, "tab " + bar->tabText(i), bar->tabRect(i).adjusted(4, 4, -4, -4));
}

TEST_P(Themes, EventListRowsAndHeadings)
{
    writeEvents(3);
    openWindow();
    showPage(1);
    auto *grid = dw("dw_event_list")->findChild<QTableView *>();
    ASSERT_NE(grid, nullptr);
    const int name = dw("dw_event_list")->definition().columnIndex("name") - 1;
    const int id = grid->model()->columnCount() - 1; // the row number
    for (int row : {0, 1, 2}) {
        expectReadable(grid->viewport(), QString("list row %1 name").arg(row + 1), cell(grid, row, name));
        expectReadable(grid->viewport(), QString("list row %1 number").arg(row + 1), cell(grid, row, id));
    }
    expectHeadingsReadable(grid, {name, id}, "list");
}

TEST_P(Themes, EventDetailFieldsDropDownsAndCounter)
{
    openWithOneEvent();
    showPage(2);
    DataWindow *detail = dw("dw_events");
    expectReadable(child<QLabel>("st_event_count"), "event counter");
    auto *name = qobject_cast<QLineEdit *>(detail->editorFor("name"));
    ASSERT_NE(name, nullptr);
    expectReadable(name, "field name", inside(name));
    expectReadable(detail->findChild<QLabel *>("name_t"), "label of name");
    auto *description = qobject_cast<QPlainTextEdit *>(detail->editorFor("sdescription"));
    ASSERT_NE(description, nullptr);
    expectReadable(description->viewport(), "multi-line field sdescription");
    for (const char *dd : {"country", "category"}) {
        auto *combo = qobject_cast<QComboBox *>(detail->editorFor(dd));
        ASSERT_NE(combo, nullptr) << dd;
        ASSERT_FALSE(combo->currentText().trimmed().isEmpty()) << dd;
        expectReadable(combo, QStringLiteral("drop-down ") + dd, comboText(combo));
    }

    // The focused field: highlight colour and its own text colour.
    activateMainWindow();
    name->setFocus(Qt::MouseFocusReason);
    QCoreApplication::processEvents();
    ASSERT_EQ(QApplication::focusWidget(), name);
    EXPECT_EQ(name->palette().color(QPalette::Base), QColor(255, 180, 180));
    expectReadable(name, "current field name", inside(name));

    // The open list of a drop-down: its rows, the current one and the one
    // under the mouse (which becomes current).
    auto *category = qobject_cast<QComboBox *>(detail->editorFor("category"));
    category->showPopup();
    QAbstractItemView *list = category->view();
    ASSERT_TRUE(QTest::qWaitFor([list] { return list->isVisible(); }, 2000));
    auto row = [list](int r) { return list->visualRect(list->model()->index(r, 0)).adjusted(2, 2, -2, -2); };
    const int current = category->currentIndex();
    ASSERT_EQ(list->currentIndex().row(), current);
    for (int r : {1, 2, 3, current})
        expectReadable(list->viewport(), QString("drop-down row %1").arg(r), row(r));
    QTest::mouseMove(list->viewport(), row(2).center()); // a move to where the mouse is counts for none
    QTest::mouseMove(list->viewport(), row(3).center());
    ASSERT_TRUE(QTest::qWaitFor([list] { return list->currentIndex().row() == 3; }, 2000));
    expectReadable(list->viewport(), "drop-down row under the mouse", row(3));
    expectReadable(list->viewport(), "drop-down row left by the mouse", row(current));
    category->hidePopup();
}

TEST_P(Themes, EventDatesCellsOpenEditorAndHeadings)
{
    openWithOneEvent();
    showPage(3);
    DataWindow *dates = dw("dw_event_dates");
    auto *grid = dates->findChild<QTableView *>();
    ASSERT_NE(grid, nullptr);
    const int city = dates->definition().columnIndex("city") - 1;
    const int start = dates->definition().columnIndex("start_date") - 1;
    for (int row : {0, 1})
        for (int col : {city, start})
            expectReadable(grid->viewport(), QString("date line %1 column %2").arg(row + 1).arg(col + 1),
                           cell(grid, row, col));
    expectHeadingsReadable(grid, {city, start}, "dates");

    // The cell being edited: the highlight colour with its text colour.
    activateMainWindow();
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->visualRect(grid->model()->index(1, city)).center());
    QCoreApplication::processEvents();
    auto *editor = qobject_cast<QLineEdit *>(QApplication::focusWidget());
    ASSERT_NE(editor, nullptr);
    ASSERT_FALSE(editor->text().isEmpty());
    editor->deselect();
    expectReadable(editor, "open cell editor", inside(editor, 2));
}

TEST_P(Themes, ErrorListRowsHeadingsAndHint)
{
    openWithOneEvent();
    typeInto("dw_admin", "user_id", ""); // a required field left empty
    boxes.clear();
    click("pb_save");
    settle();
    auto *list = errorList();
    ASSERT_NE(list, nullptr);
    auto *rows = list->findChild<QTableView *>("dw_show_errors");
    ASSERT_NE(rows, nullptr);
    ASSERT_GE(rows->model()->rowCount(), 1);
    for (int col = 0; col < rows->model()->columnCount(); ++col)
        if (!rows->isColumnHidden(col) && !rows->model()->index(0, col).data().toString().isEmpty())
            expectReadable(rows->viewport(), QString("error row column %1").arg(col + 1), cell(rows, 0, col));
    QList<int> shown;
    for (int col = 0; col < rows->model()->columnCount(); ++col)
        if (!rows->isColumnHidden(col) && !rows->model()->headerData(col, Qt::Horizontal).toString().isEmpty())
            shown << col;
    ASSERT_FALSE(shown.isEmpty());
    expectHeadingsReadable(rows, shown, "error list");
    expectReadable(list->findChild<QLabel *>("st_escape"), "error list hint");
}

TEST_P(Themes, CalendarTextsDaysAndYearField)
{
    openWithOneEvent();
    gs_short_date_format = "dd.mm.yyyy";
    rt::Message().stringParm = "15.06.2025";
    rt::Message().numberParm = 1;
    w_calendar cal(w.get());
    cal.open_calendar();
    cal.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&cal));
    expectReadable(cal.findChild<QLabel *>("st_month"), "calendar month caption");
    for (const char *arrow : {"st_prior", "st_next"}) {
        QWidget *a = cal.findChild<QWidget *>(arrow);
        ASSERT_NE(a, nullptr);
        if (textColour(a) == w_calendar::kFocusText)
            continue; // measured below
        expectReadable(a, arrow);
    }
    auto *grid = cal.findChild<CalendarGrid *>("dwc_calendar");
    ASSERT_NE(grid, nullptr);
    int highlighted = 0;
    for (int c = 1; c <= 42; ++c) {
        if (grid->data()->GetItemNumber(1, c) == 0)
            continue;
        if (grid->data()->cellBorder(c) == 5) {
            highlighted = c;
            continue;
        }
        expectReadable(grid, QString("calendar day cell %1").arg(c), grid->cellRect(c).adjusted(3, 3, -3, -3));
    }
    ASSERT_NE(highlighted, 0);
    // The day shown in the specified focus colour, pure red rgb(255,0,0):
    // no light background gives it 4.5:1 (white gives 4.0), so it is held
    // to the 3:1 that the guidelines ask of large text and of markers.
    expectReadable(grid, "highlighted day", grid->cellRect(highlighted).adjusted(4, 4, -4, -4), 3.0);

    // The month-and-year view: its labels, the month list and the year.
    QTest::mouseClick(cal.findChild<QWidget *>("st_next"), Qt::RightButton);
    QCoreApplication::processEvents();
    ASSERT_TRUE(cal.monthYearViewShown());
    auto *months = cal.findChild<QListWidget *>("lb_months");
    ASSERT_NE(months, nullptr);
    for (int row : {0, 5}) {
        if (months->item(row)->isSelected())
            continue;
        expectReadable(months->viewport(), QString("month list row %1").arg(row + 1),
                       months->visualItemRect(months->item(row)).adjusted(2, 1, -2, -1));
    }
    for (const char *label : {"st_month_select", "st_year_select"}) {
        QWidget *l = cal.findChild<QWidget *>(label);
        ASSERT_NE(l, nullptr);
        expectReadable(l, label, QRect(), textColour(l) == w_calendar::kFocusText ? 3.0 : 4.5);
    }
    auto *year = cal.findChild<QAbstractSpinBox *>("em_years");
    ASSERT_NE(year, nullptr);
    auto *yearText = year->findChild<QLineEdit *>();
    ASSERT_NE(yearText, nullptr);
    yearText->deselect();
    expectReadable(yearText, "year field", inside(yearText, 1));
    cal.close();
}

TEST_P(Themes, HelpPages)
{
    openWithOneEvent();
    showPage(2);
    activateMainWindow();
    dw("dw_events")->editorFor("name")->setFocus(Qt::MouseFocusReason);
    QCoreApplication::processEvents();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_F1);
    QWidget *help = rt::helpWindow();
    ASSERT_NE(help, nullptr);
    auto *browser = help->findChild<QTextBrowser *>("help_browser");
    ASSERT_NE(browser, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(help));
    const QRect text = browser->viewport()->rect();
    expectReadable(browser->viewport(), "help page", QRect(0, 0, text.width(), text.height() / 2));
    help->close();
}

INSTANTIATE_TEST_SUITE_P(DesktopPalettes, Themes, ::testing::Values(Theme::Light, Theme::Dark), themeName);

} // namespace
