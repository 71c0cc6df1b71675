// The small pop-up menu of the calendar picker. It does not act on any
// window: it only records which item was chosen, and the window asks for
// that answer once the menu has closed. Create one object per right click.
#pragma once

#include <QMenu>
#include <QString>

class QAction;

class m_base_right_click_menu : public QMenu {
    Q_OBJECT
public:
    explicit m_base_right_click_menu(QWidget *parent = nullptr);

    // "close" after "Close", "closevalue" after "Close with value", the
    // empty string while nothing has been chosen (also after a dismissed menu).
    QString mf_get_menu_item_clicked() const { return is_menu_item_clicked; }

    // Shows the submenu of `m_close` at a screen position and returns when
    // an item was chosen or the menu was dismissed.
    void PopMenu(const QPoint &globalPos);

    QMenu *m_close = nullptr;     // "Close": holds the two items below
    QAction *m_close0 = nullptr;  // "Close"
    QAction *m_cancel = nullptr;  // "Close with value"
    QAction *m_1 = nullptr;       // no text, never shown

private:
    QString is_menu_item_clicked;
};
