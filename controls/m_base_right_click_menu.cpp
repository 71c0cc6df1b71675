#include "m_base_right_click_menu.h"

#include <QAction>

m_base_right_click_menu::m_base_right_click_menu(QWidget *parent)
    : QMenu(parent)
{
    setObjectName(QStringLiteral("m_base_right_click_menu"));

    m_close = addMenu(QStringLiteral("Close"));
    m_close->setObjectName(QStringLiteral("m_close"));
    m_close->menuAction()->setObjectName(QStringLiteral("m_close"));

    m_close0 = m_close->addAction(QStringLiteral("Close"));
    m_close0->setObjectName(QStringLiteral("m_close0"));
    connect(m_close0, &QAction::triggered, this, [this] { is_menu_item_clicked = QStringLiteral("close"); });

    m_cancel = m_close->addAction(QStringLiteral("Close with value"));
    m_cancel->setObjectName(QStringLiteral("m_cancel"));
    connect(m_cancel, &QAction::triggered, this,
            [this] { is_menu_item_clicked = QStringLiteral("closevalue"); });

    m_1 = addAction(QString());
    m_1->setObjectName(QStringLiteral("m_1"));
    m_1->setVisible(false);
}

void m_base_right_click_menu::PopMenu(const QPoint &globalPos)
{
    m_close->exec(globalPos);
}
