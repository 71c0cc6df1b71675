// The Event Detail tab page: the counter over the form of the current event.
#pragma once

#include "pagehost.h"

class QLabel;

class EventDetailPage : public EventPage {
    Q_OBJECT
public:
    EventDetailPage(PageHost &host, QWidget *parent);

    // "Event <row> of <count>", or "Event 0 of 0" with no event.
    void showPosition(long row, long count);

private:
    QLabel *st_event_count = nullptr;
    DataWindow *dw_events = nullptr;
};
