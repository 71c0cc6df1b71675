#include "eventdatespage.h"

#include "datawindow.h"
#include "eventdocument.h"
#include "globals.h"
#include "pagehost.h"
#include "recordset.h"
#include "runtime.h"
#include "w_calendar.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

EventDatesPage::EventDatesPage(PageHost &host, QWidget *parent)
    : EventPage(host, parent, QStringLiteral("tabpage_event_dates"))
{
    QWidget *page = this;
    auto *st_1 = new QLabel(QStringLiteral("F3 - Date Search"), page);
    st_1->setObjectName(QStringLiteral("st_1"));
    auto *p_1 = pages::picture(page, "p_1", QStringLiteral("f3.bmp"));
    // Made in the order Tab visits them: the buttons as they stand in their row, then the lines.
    auto *pb_new_date = pages::button(page, "pb_new_date", QStringLiteral("New"), "new.jpg", "new_focus.jpg", "new_dis.jpg");
    auto *pb_delete_date = pages::button(page, "pb_delete_date", QStringLiteral("Delete"), "delete.jpg",
                                         "delete_focus.jpg", "delete_dis.jpg");
    dw_event_dates = makeView(QStringLiteral("dw_event_dates"), QStringLiteral("d_event_dates"), DataWindow::Kind::Grid,
                              &host.document().dates());
    dw_event_dates->gridView()->setAccessibleName(QStringLiteral("Event Dates & Times"));
    layOutUnderRow({pb_new_date, pb_delete_date}, {p_1, st_1});

    pages::connectEditorBehaviour(host, dw_event_dates, QStringLiteral("eventdates.htm"));
    const QString pattern = usablePattern(gs_short_date_format);
    dw_event_dates->setDateMask(QStringLiteral("start_date"), pattern);
    dw_event_dates->setDateMask(QStringLiteral("end_date"), pattern);
    dw_event_dates->ue_tab_out = [this] { ue_tab_out(); };
    dw_event_dates->ue_enter = [this] { return ue_enter(); };
    dw_event_dates->ue_key = [this](int k, quint32 flags) { return ue_key(k, flags); };
    connect(pb_new_date, &QPushButton::clicked, this, &EventDatesPage::pb_new_date_clicked);
    connect(pb_delete_date, &QPushButton::clicked, this, &EventDatesPage::pb_delete_date_clicked);
}

void EventDatesPage::ue_set_filter(const QString &as_filter_key)
{
    host_.document().filterDates(as_filter_key);
}

bool EventDatesPage::ue_row_populated(int ai_row)
{
    const EventDocument &doc = host_.document();
    for (long row = ai_row; row <= doc.dates().RowCount(); ++row)
        if (!doc.lineComplete(row))
            return false;
    return true;
}

long EventDatesPage::insertLine()
{
    const long ll_row = host_.document().newDateLine(host_.currentEventId());
    if (ll_row >= 1)
        dw_event_dates->ScrollToRow(ll_row);
    return ll_row;
}

void EventDatesPage::ue_tab_out()
{
    insertLine();
    dw_event_dates->SetFocus();
    dw_event_dates->SetColumn(5);
}

long EventDatesPage::ue_enter()
{
    dw_event_dates->sendTab();
    return 1;
}

void EventDatesPage::pb_new_date_clicked()
{
    if (host_.document().events().RowCount() < 1) {
        rt::MessageBox(QStringLiteral("Event Dates"),
                       QStringLiteral("You must have a selected event before adding date information!"));
        return;
    }
    if (!ue_row_populated(1)) {
        rt::MessageBox(QStringLiteral("New Event"), host_.message(15));
        return;
    }
    insertLine();
    dw_event_dates->SetFocus();
    dw_event_dates->SetColumn(5);
}

void EventDatesPage::pb_delete_date_clicked()
{
    const long ll_row = dw_event_dates->GetRow();
    if (ll_row > 0)
        host_.document().deleteDateLine(ll_row);
}

bool EventDatesPage::ue_key(int k, quint32 keyflags)
{
    if (k == rt::KeyF3) {
        const QString column = dw_event_dates->GetColumnName();
        if (column != QLatin1String("start_date") && column != QLatin1String("end_date"))
            return false;
        dw_event_dates->AcceptText();
        const QString ls_date = w_calendar::pick(window());
        if (ls_date.isEmpty())
            return true;
        const QDate date = dateFromPattern(ls_date, gs_short_date_format);
        const long row = dw_event_dates->GetRow();
        if (date.isValid() && row >= 1)
            host_.document().setField(EventDocument::Part::Dates, row, column, date);
        return true;
    }
    if (k == rt::KeyF1) {
        host_.key(k, keyflags);
        return true;
    }
    return false;
}
