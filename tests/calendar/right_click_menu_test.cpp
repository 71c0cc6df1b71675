// The right-click menu only records which item was chosen.
#include "calendar_test_util.h"

#include "m_base_right_click_menu.h"

using namespace caltest;

TEST(RightClickMenu, AnswersTheChosenItem)
{
    const std::pair<QString, QString> cases[] = {
        {QStringLiteral("m_close0"), QStringLiteral("close")},
        {QStringLiteral("m_cancel"), QStringLiteral("closevalue")},
        {QString(), QString()},
    };
    for (const auto &[action, answer] : cases) {
        m_base_right_click_menu menu; // a new menu for every right click
        EXPECT_EQ(menu.mf_get_menu_item_clicked(), QString());
        answerNextMenu(action);
        menu.PopMenu(QPoint(50, 50));
        EXPECT_EQ(menu.mf_get_menu_item_clicked(), answer) << action.toStdString();
    }
}

TEST(RightClickMenu, ShowsCloseThenCloseWithValue)
{
    m_base_right_click_menu menu;
    const QList<QAction *> shown = menu.m_close->actions();
    ASSERT_EQ(shown.size(), 2);
    EXPECT_EQ(shown[0]->text(), QStringLiteral("Close"));
    EXPECT_EQ(shown[0]->objectName(), QStringLiteral("m_close0"));
    EXPECT_EQ(shown[1]->text(), QStringLiteral("Close with value"));
    EXPECT_EQ(shown[1]->objectName(), QStringLiteral("m_cancel"));
    EXPECT_EQ(menu.m_close->objectName(), QStringLiteral("m_close"));
}
