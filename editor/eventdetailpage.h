// The Event Detail tab page: the counter over the form of the current event.
#pragma once

#include <QWidget>

class DataWindow;
class PageHost;
class QLabel;

class EventDetailPage : public QWidget {
    Q_OBJECT
public:
    EventDetailPage(PageHost &host, QWidget *parent);

    DataWindow *view() const { return dw_events; }
    // "Event <row> of <count>", or "Event 0 of 0" with no event.
    void showPosition(long row, long count);

private:
    QLabel *st_event_count = nullptr;
    DataWindow *dw_events = nullptr;
};
