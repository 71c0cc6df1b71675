#include "eventlistpage.h"

#include "datawindow.h"
#include "eventdatespage.h"
#include "eventdetailpage.h"
#include "eventdocument.h"
#include "globals.h"
#include "keys.h"
#include "pagehost.h"
#include "recordset.h"
#include "runtime.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

EventListPage::EventListPage(PageHost &host, QWidget *parent)
    : EventPage(host, parent, QStringLiteral("tabpage_event_list"))
{
    QWidget *page = this;
    // Made in the order Tab visits them: the buttons as they stand in their row, then the list.
    auto *pb_new = pages::button(page, "pb_new", QStringLiteral("New "), "new.jpg", "new_focus.jpg", "new_dis.jpg");
    auto *pb_new_copy =
        pages::button(page, "pb_new_copy", QStringLiteral("Copy   "), "new_copy.jpg", "new_copy.jpg", "new_copy.jpg");
    auto *pb_4 = pages::button(page, "pb_4", QStringLiteral("Delete"), "delete.jpg", "delete_focus.jpg", "delete_dis.jpg");
    dw_event_list = makeView(QStringLiteral("dw_event_list"), QStringLiteral("d_list"), DataWindow::Kind::Grid,
                             &host.document().events());
    dw_event_list->gridView()->setAccessibleName(QStringLiteral("Events"));
    layOutUnderRow({pb_new, pb_new_copy, pb_4}, {});

    dw_event_list->Modify(QStringLiteral("DataWindow.NoUserPrompt='yes'"));
    connect(dw_event_list, &DataWindow::rowFocusChanged, this, [this](long row) { rowfocuschanged(row); });
    connect(dw_event_list, &DataWindow::getFocus, this,
            [this] { host_.setHelpTopic(QStringLiteral("eventslist.htm")); });
    connect(dw_event_list, &DataWindow::editChanged, this, [this] { host_.document().setModified(true); });
    connect(dw_event_list, &DataWindow::doubleClicked, this,
            [this](long) { host_.SelectTab(QStringLiteral("tabpage_events_detail")); });
    dw_event_list->ue_key = [this](int k, quint32 flags) {
        if (k == rt::KeyF1) {
            host_.key(k, flags);
            return true;
        }
        return false;
    };
    connect(pb_new, &QPushButton::clicked, this, &EventListPage::pb_new_clicked);
    connect(pb_new_copy, &QPushButton::clicked, this, &EventListPage::pb_new_copy_clicked);
    connect(pb_4, &QPushButton::clicked, this, &EventListPage::pb_4_clicked);
}

void EventListPage::follow(EventDetailPage *detail, EventDatesPage *dates)
{
    detail_ = detail;
    dates_ = dates;
    connect(detail_->view(), &DataWindow::rowFocusChanged, this, [this](long row) { rowfocuschanged(row); });
}

long EventListPage::rowfocuschanged(long currentrow)
{
    if (currentrow < 1) {
        detail_->showPosition(0, 0);
        return 0;
    }
    dw_event_list->SelectRow(0, false);
    dw_event_list->SelectRow(currentrow, true);
    detail_->view()->ScrollToRow(currentrow);
    const RecordSet &events = host_.document().events();
    detail_->showPosition(currentrow, events.RowCount());
    host_.currentEventId() = events.GetItemString(currentrow, QStringLiteral("event_id"));
    dates_->ue_set_filter(host_.currentEventId());
    return 0;
}

bool EventListPage::ue_row_populated(int ai_row)
{
    const RecordSet &events = host_.document().events();
    static const char *mandatory[] = {"country", "city", "name", "sdescription", "category", "cost"};
    for (long row = ai_row; row <= events.RowCount(); ++row)
        for (const char *column : mandatory)
            if (events.GetItemString(row, QLatin1String(column)).isEmpty())
                return false;
    return true;
}

QString EventListPage::addFirstDateLine()
{
    RecordSet &dates = host_.document().dates();
    const long ll_row = dates.InsertRow(0);
    if (ll_row <= 0)
        return QString();
    const QString ls_time_id = gf_create_key(QStringLiteral("TI"));
    dates.SetItem(ll_row, QStringLiteral("event_id"), host_.currentEventId());
    dates.SetItem(ll_row, QStringLiteral("time_id"), ls_time_id);
    dates.SetItem(ll_row, QStringLiteral("state"), gs_state);
    dates.SetItem(ll_row, QStringLiteral("city"), gs_city);
    dates_->ue_set_filter(host_.currentEventId());
    return ls_time_id;
}

void EventListPage::pb_new_clicked()
{
    if (!ue_row_populated(1)) {
        rt::MessageBox(QStringLiteral("New Event"), host_.message(15));
        return;
    }
    RecordSet &events = host_.document().events();
    const long ll_row = events.InsertRow(0);
    if (ll_row <= 0)
        return;
    host_.document().setModified(true);
    dw_event_list->ScrollToRow(ll_row);
    QString &eventId = host_.currentEventId();
    eventId = gf_create_key(QStringLiteral("EV"));
    events.SetItem(ll_row, QStringLiteral("event_id"), eventId);
    events.SetItem(ll_row, QStringLiteral("user_id"), gs_login);
    events.SetItem(ll_row, QStringLiteral("user_password"), gs_password);
    events.SetItem(ll_row, QStringLiteral("country"), gs_country);
    events.SetItem(ll_row, QStringLiteral("city"), gs_city);
    events.SetItem(ll_row, QStringLiteral("state"), gs_state);
    events.SetItem(ll_row, QStringLiteral("category"), QStringLiteral("70"));

    const QString ls_time_id = addFirstDateLine();
    if (!ls_time_id.isNull()) {
        const RecordSet &dates = host_.document().dates();
        dates_->view()->ScrollToRow(
            dates.Find(QStringLiteral("time_id = '") + ls_time_id + QLatin1Char('\''), 1, dates.RowCount()));
    }
    host_.SelectTab(QStringLiteral("tabpage_events_detail"));
}

void EventListPage::pb_new_copy_clicked()
{
    RecordSet &events = host_.document().events();
    RecordSet &dates = host_.document().dates();
    const long ll_current_row = dw_event_list->GetRow();
    if (ll_current_row <= 0) {
        rt::MessageBox(QStringLiteral("Event Copy"),
                       QStringLiteral("You must have a selected event before you my copy the information !"));
        return;
    }
    events.RowsCopy(ll_current_row, ll_current_row, events, 999999);
    const long ll_new_row = events.RowCount();
    QString &eventId = host_.currentEventId();
    eventId = gf_create_key(QStringLiteral("EV"));
    events.SetItem(ll_new_row, QStringLiteral("event_id"), eventId);

    const long ll_nbr_of_records = dates.RowCount();
    if (ll_nbr_of_records < 1) {
        addFirstDateLine();
        dates_->view()->ScrollToRow(1);
        host_.SelectTab(QStringLiteral("tabpage_events_detail"));
    } else {
        for (long ll_row = 1; ll_row <= ll_nbr_of_records; ++ll_row) {
            dates.RowsCopy(ll_row, ll_row, dates, 999999);
            const long ll_new_row2 = dates.RowCount();
            dates.SetItem(ll_new_row2, QStringLiteral("event_id"), eventId);
            dates.SetItem(ll_new_row2, QStringLiteral("time_id"), gf_create_key(QStringLiteral("TI")));
        }
        dates_->ue_set_filter(eventId);
        dates_->view()->ScrollToRow(1);
    }
    dw_event_list->ScrollToRow(ll_new_row);
    host_.document().setModified(true);
}

void EventListPage::pb_4_clicked()
{
    RecordSet &events = host_.document().events();
    RecordSet &dates = host_.document().dates();
    const long ll_row = dw_event_list->GetRow();
    if (ll_row <= 0)
        return;
    // The event's date lines go with it: left behind they would be saved and
    // sent without their event.
    const QString eventId = events.GetItemString(ll_row, QStringLiteral("event_id"));
    if (!eventId.isEmpty()) {
        const QString filter = dates.filterText();
        dates.SetFilter(QStringLiteral("event_id = '") + eventId + QLatin1Char('\''));
        dates.Filter();
        for (long r = dates.RowCount(); r >= 1; --r)
            dates.DeleteRow(r);
        dates.SetFilter(filter);
        dates.Filter();
    }
    events.DeleteRow(ll_row);
    if (events.RowCount() == 0)
        dates.Reset();
    host_.document().setModified(true);
}
