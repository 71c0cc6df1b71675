#include "findbar.h"

#include "eventdocument.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>

FindBar::FindBar(const EventDocument &doc, QWidget *parent) : QWidget(parent), doc_(doc)
{
    setObjectName(QStringLiteral("find_bar"));
    auto *label = new QLabel(QStringLiteral("&Find event:"), this);
    find_text = new QLineEdit(this);
    find_text->setObjectName(QStringLiteral("find_text"));
    find_text->setAccessibleName(QStringLiteral("Find event"));
    find_text->setPlaceholderText(QStringLiteral("Name, venue or city - Enter for the next, Escape to close"));
    find_text->setClearButtonEnabled(true);
    label->setBuddy(find_text);
    status_ = new QLabel(this);
    status_->setObjectName(QStringLiteral("find_status"));
    status_->setStyleSheet(QStringLiteral("color: rgb(176,32,48);"));
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(label);
    layout->addWidget(find_text, 1);
    layout->addWidget(status_);
    find_text->installEventFilter(this);
    connect(find_text, &QLineEdit::textChanged, this, [this] { search(0); });
    connect(find_text, &QLineEdit::returnPressed, this, [this] { search(currentRow ? currentRow() : 0); });
    hide();
}

void FindBar::open()
{
    QWidget *focused = QApplication::focusWidget();
    if (focused != find_text)
        cameFrom_ = focused;
    show();
    find_text->setFocus(Qt::ShortcutFocusReason);
    find_text->selectAll();
}

void FindBar::dismiss()
{
    const bool hadFocus = find_text->hasFocus();
    hide();
    if (hadFocus && cameFrom_ && cameFrom_->isVisible() && cameFrom_->isEnabled())
        cameFrom_->setFocus(Qt::OtherFocusReason);
}

void FindBar::search(long after)
{
    const QString text = find_text->text();
    const long row = doc_.findEvent(text, after);
    status_->setText(text.isEmpty() || row > 0 ? QString() : QStringLiteral("No event found"));
    if (row > 0 && select)
        select(row);
}

bool FindBar::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == find_text && event->type() == QEvent::KeyPress
        && static_cast<QKeyEvent *>(event)->key() == Qt::Key_Escape) {
        dismiss();
        if (escape)
            escape();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}
