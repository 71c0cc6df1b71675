// The shared controls: the picture button, the transparent label and the
// error list window, each on its own, without the main window.
#include "definition.h"
#include "globals.h"
#include "recordset.h"
#include "runtime.h"
#include "vo_base_pic_button.h"
#include "vo_base_st_transparent.h"
#include "w_show_errors.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QPointer>
#include <QTabWidget>
#include <QTableView>
#include <QTest>
#include <QVBoxLayout>

#include <gtest/gtest.h>

#include <memory>
#include <utility>
#include <vector>

namespace {

// A window that records the keys its controls forward to it.
class KeyWindow : public QWidget, public rt::KeyTarget {
public:
    long key(int k, quint32 flags) override
    {
        keys.emplace_back(k, flags);
        return 0;
    }
    std::vector<std::pair<int, quint32>> keys;
};

bool activate(QWidget *window)
{
    window->show();
    window->windowHandle()->requestActivate();
    return QTest::qWaitFor([window] { return QApplication::activeWindow() == window; }, 2000);
}

// ---- Picture button ---------------------------------------------------------

TEST(PictureButton, FocusSwapsThePictureAndKeysReachTheWindowThroughTabPages)
{
    KeyWindow window;
    auto *layout = new QVBoxLayout(&window);
    auto *first = new vo_base_pic_button(QStringLiteral("First"), &window);
    auto *tabs = new QTabWidget(&window);
    auto *page = new QWidget;
    auto *onPage = new vo_base_pic_button(QStringLiteral("Save"), page);
    onPage->setPictures("save.jpg", "save_focus.jpg", "save_dis.jpg");
    tabs->addTab(page, QStringLiteral("Page"));
    layout->addWidget(first);
    layout->addWidget(tabs);
    ASSERT_TRUE(activate(&window));

    // The defaults of a plain button.
    EXPECT_EQ(first->normalPicture(), "button_default.jpg");
    EXPECT_EQ(first->focusPicture(), "button_focus_default.jpg");
    EXPECT_EQ(first->disabledName(), "button_default.jpg");
    EXPECT_EQ(first->parentWindow(), &window);

    onPage->setFocus(Qt::TabFocusReason);
    QCoreApplication::processEvents();
    ASSERT_TRUE(onPage->hasFocus());
    EXPECT_EQ(onPage->pictureName(), "save_focus.jpg");
    // What is drawn: the picture of the state, the double-size one where
    // the screen needs twice the pixels.
    auto drawn = [onPage](int scale, QIcon::Mode mode) {
        return onPage->icon().pixmap(onPage->iconSize() * scale, mode).toImage().convertToFormat(QImage::Format_RGB32);
    };
    auto picture = [](const char *name) {
        return QImage(QStringLiteral(":/images/") + name).convertToFormat(QImage::Format_RGB32);
    };
    EXPECT_EQ(onPage->iconSize(), picture("save.jpg").size());
    EXPECT_TRUE(drawn(1, QIcon::Normal) == picture("save_focus.jpg"));
    EXPECT_TRUE(drawn(2, QIcon::Normal) == picture("save_focus@2x.jpg"));
    EXPECT_TRUE(drawn(1, QIcon::Disabled) == picture("save_dis.jpg"));
    EXPECT_FALSE(picture("save_focus.jpg") == picture("save_dis.jpg"));
    first->setFocus(Qt::BacktabFocusReason);
    QCoreApplication::processEvents();
    EXPECT_EQ(onPage->pictureName(), "save.jpg");
    EXPECT_EQ(first->pictureName(), "button_focus_default.jpg");

    // Page, stack and tab control are stepped over: the window gets the keys.
    EXPECT_EQ(onPage->parentWindow(), &window);
    onPage->setFocus(Qt::TabFocusReason);
    QTest::keyClick(onPage, Qt::Key_Escape);
    QKeyEvent shiftF1(QEvent::KeyPress, Qt::Key_F1, Qt::ShiftModifier);
    QApplication::sendEvent(onPage, &shiftF1);
    ASSERT_EQ(window.keys.size(), 2u);
    EXPECT_EQ(window.keys[0], std::make_pair(int(rt::KeyEscape), quint32(0)));
    EXPECT_EQ(window.keys[1], std::make_pair(int(rt::KeyF1), quint32(1)));
}

TEST(PictureButton, ClickedRefusesWhenDisabledOrHidden)
{
    KeyWindow window;
    auto *b = new vo_base_pic_button(&window);
    window.show();
    EXPECT_EQ(b->text(), "OK");
    EXPECT_EQ(b->clicked(), 0);
    b->setEnabled(false);
    EXPECT_EQ(b->clicked(), 1);
    b->setEnabled(true);
    b->hide();
    EXPECT_EQ(b->clicked(), 1);
}

// ---- Transparent label -------------------------------------------------------

TEST(TransparentText, TheSurfaceBehindShowsAroundTheLetters)
{
    QWidget surface;
    surface.resize(200, 40);
    surface.setAutoFillBackground(true);
    QPalette pal = surface.palette();
    pal.setColor(QPalette::Window, QColor(0, 160, 0));
    surface.setPalette(pal);
    auto *label = new vo_base_st_transparent(QStringLiteral("1 of 2"), &surface);
    // A label of its own colour would paint this box around the letters.
    QPalette own = label->palette();
    own.setColor(QPalette::Window, QColor(255, 255, 255));
    label->setPalette(own);
    label->setGeometry(10, 5, 180, 30);
    const QImage img = surface.grab().toImage();
    const qreal dpr = img.devicePixelRatio();
    // A point inside the label, right of its text.
    EXPECT_EQ(img.pixelColor(int(185 * dpr), int(8 * dpr)), QColor(0, 160, 0));
    EXPECT_EQ(label->font().family(), "Arial");
}

// ---- Error list window -------------------------------------------------------

class ErrorListWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        gl_screen_width = 1280;
        gl_screen_height = 1024;
        owner.resize(300, 200);
        owner.show();
    }
    void TearDown() override
    {
        if (shown)
            delete shown.data();
    }
    static std::unique_ptr<RecordSet> errors(int n)
    {
        auto rs = std::make_unique<RecordSet>(definition(QStringLiteral("d_show_errors")));
        for (int i = 1; i <= n; ++i) {
            const long row = rs->InsertRow(0);
            rs->SetItem(row, QStringLiteral("al_row"), 10 * i);
            rs->SetItem(row, QStringLiteral("as_column_name"), QStringLiteral("Field %1").arg(i));
            rs->SetItem(row, QStringLiteral("as_message"), QStringLiteral("Message %1").arg(i));
        }
        return rs;
    }
    static QStringList rows(const RecordSet &rs)
    {
        QStringList out;
        for (long r = 1; r <= rs.RowCount(); ++r)
            out << rs.GetItemString(r, "al_row") + "|" + rs.GetItemString(r, "as_column_name") + "|"
                       + rs.GetItemString(r, "as_message");
        return out;
    }
    QTableView *list() const { return shown->findChild<QTableView *>("dw_show_errors"); }
    static void settle()
    {
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    QWidget owner;
    QPointer<w_show_errors> shown;
};

TEST_F(ErrorListWindow, CopiesTheRowsSoTheOpenerMayFreeThemAtOnce)
{
    {
        auto rs = errors(3);
        shown = w_show_errors::open_with_parm(&owner, rs.get());
    }
    ASSERT_NE(shown, nullptr);
    EXPECT_TRUE(shown->isVisible());
    EXPECT_FALSE(shown->isModal());
    EXPECT_EQ(rows(shown->errors()), (QStringList{"10|Field 1|Message 1", "20|Field 2|Message 2",
                                                 "30|Field 3|Message 3"}));
    ASSERT_NE(list(), nullptr);
    EXPECT_EQ(list()->model()->rowCount(), 3);
}

TEST_F(ErrorListWindow, EmptyListShowsNoErrorsAndNoListClosesAtOnce)
{
    auto rs = errors(0);
    shown = w_show_errors::open_with_parm(&owner, rs.get());
    ASSERT_NE(shown, nullptr);
    EXPECT_EQ(rows(shown->errors()), QStringList{"||No Errors"});
    delete shown.data();

    rt::Message().objectParm = std::any();
    EXPECT_EQ(w_show_errors::open_with_parm(&owner), nullptr);
    settle();
    EXPECT_TRUE(owner.findChildren<w_show_errors *>().isEmpty());
}

TEST_F(ErrorListWindow, EscapeInTheListClosesIt)
{
    auto rs = errors(2);
    shown = w_show_errors::open_with_parm(&owner, rs.get());
    ASSERT_NE(shown, nullptr);
    ASSERT_TRUE(QTest::qWaitFor([this] { return QApplication::focusWidget() == list(); }, 2000));
    QTest::keyClick(list(), Qt::Key_Return); // other keys do nothing
    settle();
    ASSERT_NE(shown, nullptr);
    QTest::keyClick(list(), Qt::Key_Escape);
    settle();
    EXPECT_EQ(shown, nullptr);
}

TEST_F(ErrorListWindow, LeftButtonDragOverTheListMovesTheWindow)
{
    auto rs = errors(2);
    shown = w_show_errors::open_with_parm(&owner, rs.get());
    ASSERT_NE(shown, nullptr);
    QWidget *viewport = list()->viewport();
    const QPoint start = viewport->rect().center();
    const QPoint before = shown->pos();

    QTest::mousePress(viewport, Qt::LeftButton, {}, start);
    // The first step records the pointer only.
    QMouseEvent first(QEvent::MouseMove, start, viewport->mapToGlobal(start), Qt::NoButton, Qt::LeftButton, {});
    QApplication::sendEvent(viewport, &first);
    EXPECT_EQ(shown->pos(), before);
    const QPoint to = start + QPoint(15, 7);
    QMouseEvent step(QEvent::MouseMove, to, viewport->mapToGlobal(to), Qt::NoButton, Qt::LeftButton, {});
    QApplication::sendEvent(viewport, &step);
    EXPECT_EQ(shown->pos(), before + QPoint(15, 7));

    // Released, moves no longer drag; nor does a move with Shift held.
    QTest::mouseRelease(viewport, Qt::LeftButton, {}, to);
    const QPoint after = shown->pos();
    const QPoint further = to + QPoint(20, 20);
    QMouseEvent hover(QEvent::MouseMove, further, viewport->mapToGlobal(further), Qt::NoButton, Qt::NoButton, {});
    QApplication::sendEvent(viewport, &hover);
    QMouseEvent shifted(QEvent::MouseMove, further, viewport->mapToGlobal(further), Qt::NoButton, Qt::LeftButton,
                        Qt::ShiftModifier);
    QApplication::sendEvent(viewport, &shifted);
    EXPECT_EQ(shown->pos(), after);
}

} // namespace
