#include "eventdetailpage.h"

#include "datawindow.h"
#include "pagehost.h"
#include "runtime.h"
#include "vo_base_st_transparent.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

EventDetailPage::EventDetailPage(PageHost &host, QWidget *parent)
    : EventPage(host, parent, QStringLiteral("tabpage_events_detail"))
{
    QWidget *page = content();
    auto *p_4 = new QLabel(page);
    p_4->setObjectName(QStringLiteral("p_4"));
    p_4->setPixmap(QPixmap(rt::PicturePath(QStringLiteral("gradient_red.JPG"))));
    p_4->setScaledContents(true);
    p_4->setFixedHeight(28);
    p_4->setMinimumWidth(1); // a band as wide as the page, however narrow
    st_event_count = new vo_base_st_transparent(p_4);
    st_event_count->setText(QStringLiteral("0 of 0"));
    st_event_count->setObjectName(QStringLiteral("st_event_count"));
    QFont f = st_event_count->font();
    f.setBold(true);
    st_event_count->setFont(f);
    st_event_count->setStyleSheet(QStringLiteral("color: rgb(60,0,0);"));
    auto *countLayout = new QHBoxLayout(p_4);
    countLayout->setContentsMargins(10, 0, 10, 0);
    countLayout->addWidget(st_event_count);
    countLayout->addStretch();

    // The form presents the list's events once the data is loaded (ShareData).
    dw_events = makeView(QStringLiteral("dw_events"), QStringLiteral("d_events"), DataWindow::Kind::Form, nullptr);
    auto *layout = new QVBoxLayout(page);
    layout->addWidget(p_4);
    layout->addWidget(dw_events, 1);

    pages::connectEditorBehaviour(host, dw_events, QStringLiteral("eventsdetail.htm"));
}

void EventDetailPage::showPosition(long row, long count)
{
    st_event_count->setText(row < 1 ? QStringLiteral("Event 0 of 0")
                                    : QStringLiteral("Event ") + QString::number(row) + QStringLiteral(" of ")
                                          + QString::number(count));
}
