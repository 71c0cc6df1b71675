#include "eventdatespage.h"

#include "datawindow.h"
#include "eventdocument.h"
#include "globals.h"
#include "keys.h"
#include "pagehost.h"
#include "recordset.h"
#include "runtime.h"
#include "vantel.h"
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
    const RecordSet &dates = host_.document().dates();
    for (long row = ai_row; row <= dates.RowCount(); ++row) {
        if (dates.GetItemString(row, QStringLiteral("city")).isEmpty()
            || dates.IsNull(row, QStringLiteral("start_date")) || dates.IsNull(row, QStringLiteral("end_date")))
            return false;
        const QString time1 = vantel_startup::Trim(dates.GetItemString(row, QStringLiteral("time1")));
        if (time1.isEmpty() || time1 == QLatin1String("0000"))
            return false;
    }
    return true;
}

long EventDatesPage::insertLine(bool scrollFirst)
{
    RecordSet &dates = host_.document().dates();
    const long ll_row = dates.InsertRow(0);
    if (ll_row >= 1) {
        host_.document().setModified(true);
        if (scrollFirst)
            dw_event_dates->ScrollToRow(ll_row);
        dates.SetItem(ll_row, QStringLiteral("event_id"), host_.currentEventId());
        dates.SetItem(ll_row, QStringLiteral("time_id"), gf_create_key(QStringLiteral("TI")));
        dates.SetItem(ll_row, QStringLiteral("state"), gs_state);
        dates.SetItem(ll_row, QStringLiteral("city"), gs_city);
        if (!scrollFirst)
            dw_event_dates->ScrollToRow(ll_row);
    }
    return ll_row;
}

void EventDatesPage::ue_tab_out()
{
    insertLine(true);
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
    insertLine(false);
    dw_event_dates->SetFocus();
    dw_event_dates->SetColumn(5);
}

void EventDatesPage::pb_delete_date_clicked()
{
    const long ll_row = dw_event_dates->GetRow();
    if (ll_row > 0) {
        host_.document().dates().DeleteRow(ll_row);
        host_.document().setModified(true);
    }
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
        if (date.isValid() && row >= 1) {
            host_.document().dates().SetItem(row, column, date);
            host_.document().setModified(true);
        }
        return true;
    }
    if (k == rt::KeyF1) {
        host_.key(k, keyflags);
        return true;
    }
    return false;
}
