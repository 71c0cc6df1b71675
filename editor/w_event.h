// The main window: four tab pages over the event data and the Save, Export
// and Close buttons.
#pragma once

#include "eventdocument.h"
#include "pagehost.h"
#include "runtime.h"

#include <QPointer>
#include <QStringList>
#include <QWidget>

#include <memory>
#include <vector>

class AdminPage;
class DataWindow;
class EventDatesPage;
class EventDetailPage;
class EventListPage;
class ExportRun;
class FindBar;
class QBoxLayout;
class QLabel;
class QPushButton;
class QTabWidget;
class QTimer;
class RecordSet;

class w_event : public QWidget, public rt::KeyTarget, public PageHost {
    Q_OBJECT
public:
    explicit w_event(QWidget *parent = nullptr);
    ~w_event() override;

    // The open event: message texts, centring, the program and data
    // folders, the settings file; shows the window and posts ue_post_open.
    void open();
    void ue_post_open();

    long key(int key, quint32 keyflags) override; // F1, Escape
    void help(int xpos, int ypos);
    void timer();
    void ue_animation(const QString &as_message);
    qint16 wf_create_directory(const QString &as_directoryname);

    // Validation and the error list.
    QString ue_get_tag(DataWindow *adw_object, const QString &as_object, const QString &as_tag);
    qint32 ue_validate(DataWindow *adw_object, qint32 al_row);
    qint32 ue_set_error(qint32 al_row, const QString &as_col_name_db, const QString &as_col_name_display,
                        const QString &as_message);
    void ue_clear_errors();
    void ue_display_errors();
    // 0 when everything is valid, else the position of the faulty record
    // (1 for the admin record, the row of an event, the line of a date).
    qint32 wf_validate(const QString &as_param);

    // Buttons. Save answers 0 when saved, 1 when a check failed (the error
    // list shows), 2 when writing failed, 3 when refused during an export.
    long pb_save_clicked();
    void pb_close_clicked();
    void pb_export_clicked();
    void cb_1_clicked();
    void cb_2_clicked();

    // Tab control.
    long selectionchanging(int oldindex, int newindex);
    void selectionchanged(int newindex);
    int SelectTab(const QString &pageName) override;

    // The rules of the admin record and of a date line beyond their columns.
    long dw_admin_ue_validate(long al_row);
    long dw_event_dates_ue_validate(long al_row);
    // The event list's current row became `currentrow`.
    long dw_event_list_rowfocuschanged(long currentrow);

    // Undo and redo: a step of the data taken back or made again, and the
    // page and row where it happened brought forward.
    void takeStep(bool redo);
    void showStep(const ChangeSite &site);
    // Find on the event pages (Ctrl+F); not on the admin page.
    void openFindBar();
    FindBar *findBar() const { return findBar_; }

    QString message(int index) const override; // is_messages[index], from 1
    EventDocument &document() const override { return *doc_; }
    bool hasErrorWindow() const override { return !errorWindow_.isNull(); }
    void setHelpTopic(const QString &topic) override { is_help_topic = topic; }
    QString &currentEventId() override { return is_event_id; }
    const std::vector<str_errors> &errors() const { return istr_errors; }
    QWidget *errorWindow() const { return errorWindow_; }

    QString is_event_id;
    QString is_help_topic;
    QString is_helpfile = QStringLiteral("VantelHelp.chm");
    qint16 ii_anim = 0;
    QWidget *iw_parent = nullptr;

protected:
    void closeEvent(QCloseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildMessages(const QString &thirdLine);
    void copyAdminRowToGlobals();
    qint32 report(const RowCheck &check);
    // The check of a line with the row the user sees: that of its view.
    static RowCheck asShown(RowCheck check, qint32 row);
    void showImportProblems(const QStringList &problems, const QString &backup);
    bool mayClose();
    // Changes of the data not yet saved, or typing not yet in the data.
    bool hasUnsavedChanges() const;
    void showUnsaved(); // pb_save's enabled state
    DataWindow *dataWindowOfPage(int index) const;
    void installTools(QBoxLayout *layout); // undo, redo and find
    void selectEvent(long row);
    // The list and dates pages, built at the first showing of an event
    // page or when something needs them before.
    void buildEventPages();
    DataWindow *eventList();

    std::unique_ptr<EventDocument> doc_;
    QStringList is_messages; // index 0 unused: elements are counted from 1
    qint32 il_error_nbr = 0; // entries in istr_errors since the last clear
    std::vector<str_errors> istr_errors;
    const std::vector<str_errors> istr_no_errors;
    QPointer<QWidget> errorWindow_;

    QTabWidget *tab_1 = nullptr;
    int currentTab_ = 0;
    bool changingTab_ = false;
    QPushButton *pb_save = nullptr;
    QPushButton *pb_export = nullptr;
    QPushButton *pb_close = nullptr;
    QPushButton *cb_1 = nullptr;
    QPushButton *cb_2 = nullptr;
    AdminPage *adminPage_ = nullptr;
    EventListPage *listPage_ = nullptr;
    EventDetailPage *detailPage_ = nullptr;
    EventDatesPage *datesPage_ = nullptr;
    DataWindow *dw_admin = nullptr;
    DataWindow *dw_event_list = nullptr; // null until buildEventPages
    DataWindow *dw_events = nullptr;
    DataWindow *dw_event_dates = nullptr; // null until buildEventPages
    QTimer *timer_ = nullptr;
    FindBar *findBar_ = nullptr;
    ExportRun *exportRun_ = nullptr;
    bool closing_ = false;
    bool validatingAll_ = false; // wf_validate is running
    bool dataLoaded_ = false;
    bool eventPagesBuilt_ = false;
};
