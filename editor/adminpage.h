// The Admin tab page: the banner with the rotating caption, the admin
// record and the Browse button for the data folder.
#pragma once

#include "pagehost.h"

class QLabel;

class AdminPage : public EventPage {
    Q_OBJECT
public:
    AdminPage(PageHost &host, QWidget *parent);

    QLabel *caption() const { return st_messages; }
    // The banner's caption `n` of the ten it turns through, from 1.
    void showCaption(int n);

    // Asks for a folder and puts it, ending with "/", into the record.
    void pb_browse_clicked();

private:
    QLabel *st_messages = nullptr;
    DataWindow *dw_admin = nullptr;
};
