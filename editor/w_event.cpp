#include "w_event.h"

#include "datafiles.h"
#include "datawindow.h"
#include "externals.h"
#include "globals.h"
#include "helpviewer.h"
#include "operatorinfo.h"
#include "package.h"
#include "profile.h"
#include "vantel.h"
#include "recordset.h"
#include "keys.h"
#include "vo_base_pic_button.h"
#include "vo_base_st_transparent.h"
#include "w_calendar.h"
#include "w_show_errors.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QFrame>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QShortcut>
#include <QScopeGuard>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>

namespace {
const QString kGeneral = QStringLiteral("General");
const QString kGetDir = QStringLiteral("GETDIR");

QLabel *picture(QWidget *parent, const char *name, const QString &file)
{
    auto *label = new QLabel(parent);
    label->setObjectName(QLatin1String(name));
    QPixmap pm(rt::PicturePath(file));
    label->setPixmap(pm);
    return label;
}

// The three lines that tell where the zip package lies and where to mail it.
QString zipMessage(const QString &directory, const QString &thirdLine)
{
    const QString crlf = QStringLiteral("\r\n");
    return QStringLiteral("A zip file named ") + gs_zip_filename
           + QStringLiteral(" containing your event information was successfully created !") + crlf
           + QStringLiteral("This zip file is located in ") + directory + crlf + thirdLine + crlf;
}

QString mailLine()
{
    return QStringLiteral("Email this zip file to ") + vantel_operator::events_mailbox
           + QStringLiteral(", specifying 'VantelEvents' as the subject.");
}

QFrame *line(QWidget *parent, const char *name)
{
    auto *f = new QFrame(parent);
    f->setObjectName(QLatin1String(name));
    f->setFrameShape(QFrame::HLine);
    f->setStyleSheet(QStringLiteral("color: rgb(200,120,120);"));
    return f;
}
} // namespace

// ---- Construction ----------------------------------------------------------

w_event::w_event(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("w_event"));
    setWindowTitle(QStringLiteral("Vantel - ") + vantel_operator::web_site);
    setWindowIcon(QIcon(rt::PicturePath(QStringLiteral("vantel.png"))));

    tab_1 = new QTabWidget(this);
    tab_1->setObjectName(QStringLiteral("tab_1"));
    const struct {
        const char *name;
        const char *text;
    } pages[] = {{"tabpage_admin", "Admin"},
                 {"tabpage_event_list", "Events"},
                 {"tabpage_events_detail", "Event Detail"},
                 {"tabpage_event_dates", "Event Dates && Times"}};
    QWidget *pageWidgets[4];
    for (int i = 0; i < 4; ++i) {
        auto *page = new QWidget(tab_1);
        page->setObjectName(QLatin1String(pages[i].name));
        tab_1->addTab(page, QString::fromLatin1(pages[i].text));
        pageWidgets[i] = page;
    }
    buildAdminPage(pageWidgets[0]);
    buildListPage(pageWidgets[1]);
    buildDetailPage(pageWidgets[2]);
    buildDatesPage(pageWidgets[3]);
    connect(tab_1, &QTabWidget::currentChanged, this, [this](int index) {
        if (changingTab_)
            return;
        const int old = currentTab_;
        if (selectionchanging(old + 1, index + 1) != 0) {
            changingTab_ = true;
            tab_1->setCurrentIndex(old);
            changingTab_ = false;
            if (!istr_errors.empty())
                dw_admin->SetColumn(istr_errors.front().columndb);
            return;
        }
        currentTab_ = index;
        selectionchanged(index + 1);
    });

    pb_close = button(this, "pb_close", QStringLiteral("Close"), "cancel.jpg", "cancel_focus.jpg", "cancel_dis.jpg");
    pb_export = button(this, "pb_export", QStringLiteral("Export"), "export.jpg", "export_focus.jpg", "export_dis.jpg");
    pb_save = button(this, "pb_save", QStringLiteral("Save"), "save.jpg", "save_focus.jpg", "save_dis.jpg");
    pb_save->setEnabled(false);
    cb_1 = new QPushButton(QStringLiteral("ZIP"), this);
    cb_1->setObjectName(QStringLiteral("cb_1"));
    cb_1->setVisible(false);
    cb_2 = new QPushButton(QStringLiteral("Import"), this);
    cb_2->setObjectName(QStringLiteral("cb_2"));
    cb_2->setVisible(false);
    connect(pb_save, &QPushButton::clicked, this, [this] { pb_save_clicked(); });
    connect(pb_close, &QPushButton::clicked, this, [this] { pb_close_clicked(); });
    connect(pb_export, &QPushButton::clicked, this, [this] { pb_export_clicked(); });
    connect(cb_1, &QPushButton::clicked, this, [this] { cb_1_clicked(); });
    connect(cb_2, &QPushButton::clicked, this, [this] { cb_2_clicked(); });
    // The usual desktop key for saving, beside Tab and Space on the button.
    auto *saveKey = new QShortcut(QKeySequence::Save, this);
    connect(saveKey, &QShortcut::activated, this, [this] {
        if (!pb_save->isEnabled())
            return;
        // Whoever saves from the keyboard goes on typing where they were.
        // The save closes an open cell editor, and the focus would fall to
        // the next button in the chain (Close).
        DataWindow *page = dataWindowOfPage(tab_1->currentIndex() + 1);
        QWidget *focused = QApplication::focusWidget();
        const bool inPage = page && focused && (focused == page || page->isAncestorOf(focused));
        pb_save->click();
        if (inPage && !pb_save->isEnabled() && dataWindowOfPage(tab_1->currentIndex() + 1) == page)
            page->SetFocus();
    });
    pb_save->setToolTip(QStringLiteral("Check and save all event data (Ctrl+S)"));
    pb_export->setToolTip(QStringLiteral("Pack the saved data files into the zip package"));
    pb_close->setToolTip(QStringLiteral("Close Vantel"));

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(cb_1);
    buttons->addWidget(cb_2);
    buttons->addStretch();
    buttons->addWidget(pb_save);
    buttons->addWidget(pb_export);
    buttons->addWidget(pb_close);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(tab_1);
    layout->addLayout(buttons);
    resize(900, 640);

    timer_ = new QTimer(this);
    connect(timer_, &QTimer::timeout, this, &w_event::timer);
}

w_event::~w_event()
{
    if (errorWindow_)
        delete errorWindow_.data();
}

QPushButton *w_event::button(QWidget *parent, const char *name, const QString &text, const char *normal,
                             const char *focus, const char *disabled)
{
    auto *b = new vo_base_pic_button(text, parent);
    b->setObjectName(QLatin1String(name));
    b->setPictures(QLatin1String(normal), QLatin1String(focus), QLatin1String(disabled));
    return b;
}

void w_event::setSaveEnabled()
{
    pb_save->setEnabled(true);
}

void w_event::connectEditorBehaviour(DataWindow *dw, const QString &helpTopic)
{
    dw->Modify(QStringLiteral("DataWindow.NoUserPrompt='yes'"));
    connect(dw, &DataWindow::getFocus, this, [this, dw, helpTopic] {
        const long row = dw->GetRow();
        if (row >= 1)
            dw->recordSet()->SetItem(row, QStringLiteral("current_column"), dw->GetColumnName());
        is_help_topic = helpTopic;
    });
    connect(dw, &DataWindow::loseFocus, this, [dw] {
        const long row = dw->GetRow();
        if (row > 0)
            dw->recordSet()->SetItem(row, QStringLiteral("current_column"), QString());
    });
    connect(dw, &DataWindow::itemFocusChanged, this, [dw](long row, const QString &column) {
        if (row >= 1 && !column.isEmpty())
            dw->recordSet()->SetItem(row, QStringLiteral("current_column"), column);
    });
    connect(dw, &DataWindow::editChanged, this, &w_event::setSaveEnabled);
    dw->ue_key = [this](int k, quint32 flags) {
        if (k == rt::KeyF1 || (k == rt::KeyEscape && errorWindow_)) {
            key(k, flags);
            return true;
        }
        return false;
    };
}

void w_event::buildAdminPage(QWidget *page)
{
    auto *p_help = picture(page, "p_help", QStringLiteral("f1.bmp"));
    auto *st_help = new QLabel(QStringLiteral("F1 - Help"), page);
    st_help->setObjectName(QStringLiteral("st_help"));
    auto *ln_2 = line(page, "ln_2");
    st_messages = new QLabel(QStringLiteral("events"), page);
    st_messages->setObjectName(QStringLiteral("st_messages"));
    QFont big = st_messages->font();
    big.setFamilies({QStringLiteral("Broadway BT"), QStringLiteral("DejaVu Serif")});
    big.setPointSize(18);
    big.setBold(true);
    st_messages->setFont(big);
    st_messages->setStyleSheet(QStringLiteral("color: rgb(176,32,48);"));
    st_messages->setAlignment(Qt::AlignCenter);
    auto *r_1 = new QFrame(page);
    r_1->setObjectName(QStringLiteral("r_1"));
    r_1->setFrameShape(QFrame::StyledPanel);
    r_1->setStyleSheet(QStringLiteral("#r_1 { background: rgb(255,238,238); border: 1px solid rgb(220,150,150); "
                                      "border-radius: 6px; }"));
    auto *p_right = picture(page, "p_right", QStringLiteral("l.gif"));
    pb_browse = button(page, "pb_browse", QStringLiteral("Browse"), "BROWSE.jpg", "BROWSE.jpg", "BROWSE.jpg");
    auto *st_tm = new QLabel(QStringLiteral("TM"), page);
    st_tm->setObjectName(QStringLiteral("st_tm"));
    auto *st_2 = new QLabel(QStringLiteral("Version 1.0"), page);
    st_2->setObjectName(QStringLiteral("st_2"));
    auto *p_2 = picture(page, "p_2", QStringLiteral("vantel.jpg"));
    dw_admin = new DataWindow(QStringLiteral("dw_admin"), definition(QStringLiteral("d_admin")), DataWindow::Kind::Form,
                              page);
    auto *gb_2 = new QGroupBox(QStringLiteral("Administration"), page);
    gb_2->setObjectName(QStringLiteral("gb_2"));
    auto *p_left = picture(page, "p_left", QStringLiteral("left.gif"));
    auto *ln_1 = line(page, "ln_1");

    // Banner: logo and version on the left, the rotating slogan in the middle.
    auto *brand = new QVBoxLayout;
    auto *logoRow = new QHBoxLayout;
    logoRow->addWidget(p_2);
    logoRow->addWidget(st_tm, 0, Qt::AlignTop);
    brand->addLayout(logoRow);
    brand->addWidget(st_2);
    auto *slogan = new QHBoxLayout(r_1);
    slogan->addWidget(p_left);
    slogan->addWidget(st_messages, 1);
    slogan->addWidget(p_right);
    auto *banner = new QHBoxLayout;
    banner->addLayout(brand);
    banner->addWidget(r_1, 1);
    auto *hint = new QHBoxLayout;
    hint->addStretch();
    hint->addWidget(p_help);
    hint->addWidget(st_help);

    auto *record = new QHBoxLayout(gb_2);
    record->addWidget(dw_admin, 1);
    auto *side = new QVBoxLayout;
    side->addSpacing(60);
    side->addWidget(pb_browse);
    side->addStretch();
    record->addLayout(side);

    auto *layout = new QVBoxLayout(page);
    layout->addLayout(banner);
    layout->addWidget(ln_2);
    layout->addWidget(gb_2, 1);
    layout->addWidget(ln_1);
    layout->addLayout(hint);

    connectEditorBehaviour(dw_admin, QStringLiteral("admin.htm"));
    is_help_topic = QStringLiteral("admin.htm");
    connect(dw_admin, &DataWindow::itemChanged, this, &w_event::setSaveEnabled);
    dw_admin->ue_validate = [this](long row) { return dw_admin_ue_validate(row); };
    connect(pb_browse, &QPushButton::clicked, this, &w_event::pb_browse_clicked);
}

void w_event::buildListPage(QWidget *page)
{
    pb_new_copy = button(page, "pb_new_copy", QStringLiteral("Copy   "), "new_copy.jpg", "new_copy.jpg", "new_copy.jpg");
    pb_4 = button(page, "pb_4", QStringLiteral("Delete"), "delete.jpg", "delete_focus.jpg", "delete_dis.jpg");
    pb_new = button(page, "pb_new", QStringLiteral("New "), "new.jpg", "new_focus.jpg", "new_dis.jpg");
    dw_event_list = new DataWindow(QStringLiteral("dw_event_list"), definition(QStringLiteral("d_list")),
                                   DataWindow::Kind::Grid, page);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(pb_new);
    buttons->addWidget(pb_new_copy);
    buttons->addWidget(pb_4);
    buttons->addStretch();
    auto *layout = new QVBoxLayout(page);
    layout->addLayout(buttons);
    layout->addWidget(dw_event_list, 1);

    dw_event_list->Modify(QStringLiteral("DataWindow.NoUserPrompt='yes'"));
    dw_event_list->ue_validate = [](long) { return 0L; };
    connect(dw_event_list, &DataWindow::rowFocusChanged, this,
            [this](long row) { dw_event_list_rowfocuschanged(row); });
    connect(dw_event_list, &DataWindow::getFocus, this, [this] { is_help_topic = QStringLiteral("eventslist.htm"); });
    connect(dw_event_list, &DataWindow::editChanged, this, &w_event::setSaveEnabled);
    connect(dw_event_list, &DataWindow::doubleClicked, this,
            [this](long) { SelectTab(QStringLiteral("tabpage_events_detail")); });
    dw_event_list->ue_key = [this](int k, quint32 flags) {
        if (k == rt::KeyF1) {
            key(k, flags);
            return true;
        }
        return false;
    };
    connect(pb_new, &QPushButton::clicked, this, &w_event::pb_new_clicked);
    connect(pb_new_copy, &QPushButton::clicked, this, &w_event::pb_new_copy_clicked);
    connect(pb_4, &QPushButton::clicked, this, &w_event::pb_4_clicked);
}

void w_event::buildDetailPage(QWidget *page)
{
    auto *p_4 = new QLabel(page);
    p_4->setObjectName(QStringLiteral("p_4"));
    p_4->setPixmap(QPixmap(rt::PicturePath(QStringLiteral("gradient_red.JPG"))));
    p_4->setScaledContents(true);
    p_4->setFixedHeight(28);
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

    dw_events = new DataWindow(QStringLiteral("dw_events"), definition(QStringLiteral("d_events")),
                               DataWindow::Kind::Form, page);
    auto *layout = new QVBoxLayout(page);
    layout->addWidget(p_4);
    layout->addWidget(dw_events, 1);

    connectEditorBehaviour(dw_events, QStringLiteral("eventsdetail.htm"));
    dw_events->ue_validate = [](long) { return 0L; };
    connect(dw_events, &DataWindow::rowFocusChanged, this, [this](long row) { dw_event_list_rowfocuschanged(row); });
}

void w_event::buildDatesPage(QWidget *page)
{
    auto *st_1 = new QLabel(QStringLiteral("F3 - Date Search"), page);
    st_1->setObjectName(QStringLiteral("st_1"));
    auto *p_1 = picture(page, "p_1", QStringLiteral("f3.bmp"));
    pb_delete_date =
        button(page, "pb_delete_date", QStringLiteral("Delete"), "delete.jpg", "delete_focus.jpg", "delete_dis.jpg");
    pb_new_date = button(page, "pb_new_date", QStringLiteral("New"), "new.jpg", "new_focus.jpg", "new_dis.jpg");
    dw_event_dates = new DataWindow(QStringLiteral("dw_event_dates"), definition(QStringLiteral("d_event_dates")),
                                    DataWindow::Kind::Grid, page);
    auto *top = new QHBoxLayout;
    top->addWidget(pb_new_date);
    top->addWidget(pb_delete_date);
    top->addStretch();
    top->addWidget(p_1);
    top->addWidget(st_1);
    auto *layout = new QVBoxLayout(page);
    layout->addLayout(top);
    layout->addWidget(dw_event_dates, 1);

    connectEditorBehaviour(dw_event_dates, QStringLiteral("eventdates.htm"));
    const QString pattern = usablePattern(gs_short_date_format);
    dw_event_dates->setDateMask(QStringLiteral("start_date"), pattern);
    dw_event_dates->setDateMask(QStringLiteral("end_date"), pattern);
    dw_event_dates->ue_validate = [this](long row) { return dw_event_dates_ue_validate(row); };
    dw_event_dates->ue_tab_out = [this] { dw_event_dates_ue_tab_out(); };
    dw_event_dates->ue_enter = [this] { return dw_event_dates_ue_enter(); };
    dw_event_dates->ue_key = [this](int k, quint32 flags) { return dw_event_dates_ue_key(k, flags); };
    connect(pb_new_date, &QPushButton::clicked, this, &w_event::pb_new_date_clicked);
    connect(pb_delete_date, &QPushButton::clicked, this, &w_event::pb_delete_date_clicked);
}

// The admin record becomes the settings the other pages use.
void w_event::copyAdminRowToGlobals()
{
    const RecordSet *admin = dw_admin->recordSet();
    gs_directory = admin->GetItemString(1, QStringLiteral("file_directory"));
    gs_login = admin->GetItemString(1, QStringLiteral("user_id"));
    gs_password = admin->GetItemString(1, QStringLiteral("user_password"));
    gs_country = admin->GetItemString(1, QStringLiteral("default_country"));
    gs_state = admin->GetItemString(1, QStringLiteral("default_state"));
    gs_city = admin->GetItemString(1, QStringLiteral("default_city"));
}

QString w_event::message(int index) const
{
    return index >= 1 && index < is_messages.size() ? is_messages[index] : QString();
}

void w_event::buildMessages(const QString &thirdLine)
{
    is_messages = QStringList(16);
    is_messages[10] = QStringLiteral("This is a required field !");
    is_messages[11] = QStringLiteral("This directory is invalid !");
    is_messages[12] = QStringLiteral("The end date may not occur before the start date !");
    is_messages[13] = QStringLiteral("Please complete at least the first time (24 hour format) !");
    is_messages[14] = zipMessage(gs_directory, thirdLine);
    is_messages[15] = QStringLiteral(
        "Please complete all the mandatory fields in the existing record before adding a new one.");
}

// The current working folder with a trailing "/".
QString w_event::currentFolder() const
{
    QString dir(4096, QLatin1Char(' '));
    if (ext::GetCurrentDirectoryA(4096, dir) == 0)
        dir.clear();
    dir = vantel_startup::Trim(dir);
    if (!dir.endsWith(QLatin1Char('/')))
        dir += QLatin1Char('/');
    return dir;
}

qint16 w_event::wf_create_directory(const QString &as_directoryname)
{
    return ext::CreateDirectoryA(as_directoryname) ? 0 : -1;
}

DataWindow *w_event::dataWindowOfPage(int index) const
{
    switch (index) {
    case 1: return dw_admin;
    case 2: return dw_event_list;
    case 3: return dw_events;
    case 4: return dw_event_dates;
    default: return nullptr;
    }
}

// ---- Opening ---------------------------------------------------------------

void w_event::open()
{
    // 1. Message texts.
    buildMessages(QStringLiteral("Email this zip file to ") + vantel_operator::events_mailbox
                  + QStringLiteral(", specifying VantelEvents in the subject"));

    // 2. The data is loaded once the window shows.
    rt::Post(this, [this] { ue_post_open(); });

    // 3. Centre on the screen.
    const int x = static_cast<int>((rt::PixelsToUnits(gl_screen_width, rt::Axis::X)
                                    - rt::PixelsToUnits(frameGeometry().width(), rt::Axis::X))
                                   * 0.5);
    const int y = static_cast<int>((rt::PixelsToUnits(gl_screen_height, rt::Axis::Y)
                                    - rt::PixelsToUnits(frameGeometry().height(), rt::Axis::Y))
                                   * 0.5);
    move(rt::UnitsToPixels(x, rt::Axis::X), rt::UnitsToPixels(y, rt::Axis::Y));

    // 4. Program folder.
    if (gs_app_dir.isEmpty() || gs_app_dir == kGetDir) {
        gs_app_dir = currentFolder();
        rt::SetProfileString(gs_ini_file_name, kGeneral, QStringLiteral("App"), gs_app_dir);
    } else {
        const QString here = currentFolder();
        if (here != gs_app_dir) {
            rt::MessageBox(QStringLiteral("Application Moved"),
                           QStringLiteral("The Vantel Tool has been moved to a new location!") + QStringLiteral("\n\r")
                               + QStringLiteral("The location where the files generated by this tool is stored, "
                                                "might still point to the previous location.")
                               + QStringLiteral("\n\r")
                               + QStringLiteral("Please verify the location on the admin tab page (first tab page)"));
        }
        gs_app_dir = here;
    }

    // 5. Data folder.
    if (gs_directory.isEmpty() || gs_directory == kGetDir) {
        gs_directory = currentFolder();
        const QString candidate = gs_directory + QStringLiteral("Files");
        if (rt::FileExists(candidate) || wf_create_directory(candidate) == 0)
            gs_directory = candidate + QLatin1Char('/');
    }

    // 6. Both folders back to the settings file.
    rt::SetProfileString(gs_ini_file_name, kGeneral, QStringLiteral("Files"), gs_directory);
    rt::SetProfileString(gs_ini_file_name, kGeneral, QStringLiteral("App"), gs_app_dir);

    // 7. The admin page is in front: its help topic is in force until a
    // field takes the focus.
    is_help_topic = QStringLiteral("admin.htm");
    iw_parent = this;
    show();
}

void w_event::showImportProblems(const QStringList &problems, const QString &backup)
{
    if (problems.isEmpty())
        return;
    QString text = problems.join(QStringLiteral("\r\n"));
    text += QStringLiteral("\r\n\r\nThe readable records were loaded.");
    if (!backup.isEmpty())
        text += QStringLiteral(" The file as it was is kept as ") + backup + QStringLiteral(".");
    rt::MessageBox(QStringLiteral("Data File"), text, rt::Icon::Exclamation);
}

void w_event::ue_post_open()
{
    RecordSet *admin = dw_admin->recordSet();
    RecordSet *events = dw_event_list->recordSet();
    RecordSet *dates = dw_event_dates->recordSet();

    // 1. Admin record.
    ImportReport report;
    if (admin->ImportFile(gs_directory + gs_admin_filename, &report) >= 1) {
        copyAdminRowToGlobals();
    } else {
        gs_login.clear();
        gs_password.clear();
        gs_country.clear();
        const long row = admin->InsertRow(0);
        admin->SetItem(row, QStringLiteral("file_directory"), gs_directory);
    }
    showImportProblems(report.problems, report.backupPath);

    // 2. The export message names the data folder now in force.
    buildMessages(mailLine());

    // 3. The detail form presents the list's events.
    dw_events->ShareData(dw_event_list);

    // 4. Events, and their dates only when there are events.
    ImportReport eventsReport, datesReport;
    if (events->ImportFile(gs_directory + gs_event_filename, &eventsReport) >= 1)
        dates->ImportFile(gs_directory + gs_event_dates_filename, &datesReport);
    showImportProblems(eventsReport.problems, eventsReport.backupPath);
    showImportProblems(datesReport.problems, datesReport.backupPath);

    // A data file that is there but could not be read must never be
    // replaced by a save of what was (not) loaded: say why and close.
    QStringList unreadable;
    for (const ImportReport *r : {&report, &eventsReport, &datesReport})
        if (!r->readError.isEmpty())
            unreadable += r->readError + QLatin1Char('.');
    if (!unreadable.isEmpty()) {
        rt::MessageBox(QStringLiteral("Data File"),
                       unreadable.join(QStringLiteral("\r\n"))
                           + QStringLiteral("\r\n\r\nVantel closes so that no save can replace what it could not "
                                            "read. Make the file readable and start Vantel again."),
                       rt::Icon::StopSign);
        close();
        return;
    }

    // 5. The zip component.
    if (ext::RegisterAX(ext::zip_component_library, 1) != 0)
        rt::MessageBox(QStringLiteral("Error"), QStringLiteral("Unable to register certain components!"));

    // 6. The first event.
    if (events->RowCount() >= 1) {
        dw_event_list->SetRow(1);
        dw_event_list_rowfocuschanged(1);
    }

    // 7. The caption and its timer.
    st_messages->setText(QStringLiteral("Events"));
    timer_->start(5000);
}

// ---- Keys, help, caption ---------------------------------------------------

long w_event::key(int k, quint32 /*keyflags*/)
{
    if (k == rt::KeyEscape && errorWindow_)
        errorWindow_->close();
    if (k == rt::KeyF1)
        help(1, 1);
    return 0;
}

void w_event::keyPressEvent(QKeyEvent *event)
{
    const int vk = rt::virtualKey(event->key());
    if (vk == rt::KeyEscape || vk == rt::KeyF1) {
        key(vk, rt::keyFlags(event->modifiers()));
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}

void w_event::help(int, int)
{
    rt::HtmlHelp(this, is_helpfile + QStringLiteral("::/") + is_help_topic);
    rt::MessageBox(QString(), is_help_topic);
}

void w_event::timer()
{
    rt::Post(this, [this] { ue_animation(QString()); });
}

void w_event::ue_animation(const QString &)
{
    static const QStringList captions = {
        QStringLiteral("Events"),   QStringLiteral("Expos"),   QStringLiteral("Musicals"),
        QStringLiteral("Dramas"),   QStringLiteral("Sport"),   QStringLiteral("Art"),
        QStringLiteral("Bizarre"),  QStringLiteral("Markets"), QStringLiteral("What is happening in town today?"),
        vantel_operator::web_site};
    ++ii_anim;
    if (ii_anim >= 11)
        ii_anim = 1;
    st_messages->setText(captions[ii_anim - 1]);
}

// ---- Tab control -----------------------------------------------------------

long w_event::selectionchanging(int oldindex, int /*newindex*/)
{
    if (oldindex != 1)
        return 0;
    dw_admin->AcceptText();
    // When wf_validate brings a faulty event or date line forward, the admin
    // record has just passed and the error list holds that record's errors:
    // they must survive the page change.
    qint32 rc = 0;
    if (!validatingAll_) {
        ue_clear_errors();
        rc = ue_validate(dw_admin, 1);
    }
    if (rc == 0) {
        copyAdminRowToGlobals();
        return 0;
    }
    if (!istr_errors.empty())
        dw_admin->SetColumn(istr_errors.front().columndb);
    ue_display_errors();
    return 1;
}

void w_event::selectionchanged(int newindex)
{
    if (DataWindow *dw = dataWindowOfPage(newindex))
        dw->SetFocus();
}

int w_event::SelectTab(const QString &pageName)
{
    for (int i = 0; i < tab_1->count(); ++i) {
        if (tab_1->widget(i)->objectName() == pageName) {
            tab_1->setCurrentIndex(i);
            return tab_1->currentIndex() == i ? 1 : -1;
        }
    }
    return -1;
}

// ---- Validation ------------------------------------------------------------

QString w_event::ue_get_tag(DataWindow *adw_object, const QString &as_object, const QString &as_tag)
{
    const QString tag = vantel_startup::Trim(adw_object->Describe(as_object + QStringLiteral(".tag")));
    const qsizetype pos = tag.toUpper().indexOf(as_tag.toUpper());
    if (as_tag.isEmpty() || pos < 0)
        return QStringLiteral("#");
    const qsizetype from = pos + as_tag.size();
    const qsizetype semi = tag.indexOf(QLatin1Char(';'), from);
    const qsizetype eq = tag.indexOf(QLatin1Char('='), from);
    if (eq < 0)
        return QStringLiteral("#");
    const qsizetype end = semi > eq ? semi : tag.size();
    return vantel_startup::Trim(tag.mid(eq + 1, end - eq - 1));
}

qint32 w_event::ue_validate(DataWindow *adw_object, qint32 al_row)
{
    qint32 rc = 0;
    RecordSet *rs = adw_object->recordSet();
    const int count = adw_object->Describe(QStringLiteral("datawindow.column.count")).toInt();
    for (int n = 1; n <= count; ++n) {
        const QString name = adw_object->Describe(QStringLiteral("#") + QString::number(n) + QStringLiteral(".name"));
        const QString display = ue_get_tag(adw_object, name, QStringLiteral("name"));
        const QString type = adw_object->Describe(name + QStringLiteral(".coltype")).toUpper().left(5).toUpper();

        QString required;
        for (const char *style : {".Edit.Required", ".EditMask.Required", ".dddw.Required", ".ddlb.Required"}) {
            required = adw_object->Describe(name + QLatin1String(style));
            if (required != QLatin1String("?") && required != QLatin1String("!"))
                break;
        }
        const bool isRequired = vantel_startup::Trim(required).toUpper() == QLatin1String("YES");

        const bool isChar = type == QLatin1String("CHAR(");
        const bool isDate = type == QLatin1String("DATE") || type == QLatin1String("DATET");
        const bool isTime = type == QLatin1String("TIME");
        const bool isNumber = type == QLatin1String("NUMBE") || type == QLatin1String("LONG")
                              || type == QLatin1String("ULONG") || type == QLatin1String("INTEG")
                              || type == QLatin1String("UINT") || type == QLatin1String("DOUBL");
        const bool isDecimal = type == QLatin1String("DECIM") || type == QLatin1String("REAL");

        if (isRequired) {
            bool missing = false;
            if (isChar)
                missing = rs->IsNull(al_row, n) || vantel_startup::Trim(rs->GetItemString(al_row, n)).isEmpty();
            else if (isDate || isTime || isNumber || isDecimal)
                missing = rs->IsNull(al_row, n);
            else
                rt::MessageBox(QStringLiteral("Error"), QStringLiteral("Unknown column data type"));
            if (missing) {
                ue_set_error(al_row, name, display, message(10));
                rc = 1;
            }
        }
        if (isDate && !rs->IsNull(al_row, n)) {
            const QDate d = rs->GetItemDate(al_row, n);
            if (d < QDate(1753, 1, 1) || d > QDate(3000, 12, 31)) {
                ue_set_error(al_row, name, display, QStringLiteral("Invalid Date specified !"));
                rc = 1;
            }
        } else if (type == QLatin1String("DECIM") && !rs->IsNull(al_row, n)) {
            if (rs->GetItemDecimal(al_row, n) >= 922337203685475.00) {
                ue_set_error(al_row, name, display, QStringLiteral("Invalid number specified !"));
                rc = 1;
            }
        }
    }
    if (adw_object->ue_validate)
        rc += static_cast<qint32>(adw_object->ue_validate(al_row));
    return rc;
}

qint32 w_event::ue_set_error(qint32 al_row, const QString &as_col_name_db, const QString &as_col_name_display,
                             const QString &as_message)
{
    ++il_error_nbr;
    istr_errors.resize(static_cast<size_t>(il_error_nbr));
    istr_errors[static_cast<size_t>(il_error_nbr - 1)] = str_errors{al_row, as_col_name_display, as_col_name_db,
                                                                     as_message};
    return 0;
}

void w_event::ue_clear_errors()
{
    if (errorWindow_)
        errorWindow_->close();
    istr_errors = istr_no_errors;
    il_error_nbr = 0;
}

qint32 w_event::wf_validate(const QString &)
{
    validatingAll_ = true;
    const auto done = qScopeGuard([this] { validatingAll_ = false; });

    // 1. The admin record.
    dw_admin->AcceptText();
    if (ue_validate(dw_admin, 1) != 0) {
        SelectTab(QStringLiteral("tabpage_admin"));
        dw_admin->ScrollToRow(1);
        dw_admin->SetRow(1);
        if (!istr_errors.empty())
            dw_admin->SetColumn(istr_errors.front().columndb);
        return 1;
    }

    // 2. Every event, against the list's definition.
    dw_event_list->AcceptText();
    dw_events->AcceptText();
    for (long row = 1; row <= dw_event_list->recordSet()->RowCount(); ++row) {
        const qint32 rc = ue_validate(dw_event_list, static_cast<qint32>(row));
        if (rc != 0) {
            dw_event_list->ScrollToRow(row);
            dw_event_list->SetRow(row);
            SelectTab(QStringLiteral("tabpage_events_detail"));
            if (!istr_errors.empty())
                dw_events->SetColumn(istr_errors.front().columndb);
            return rc;
        }
    }

    // 3. The dates of all events.
    RecordSet *dates = dw_event_dates->recordSet();
    dw_event_dates->AcceptText();
    dw_event_dates->SetRedraw(false);
    dates->SetFilter(QString());
    dates->Filter();
    for (long k = 1; k <= dates->RowCount(); ++k) {
        if (ue_validate(dw_event_dates, static_cast<qint32>(k)) == 0)
            continue;
        dw_event_dates->SetRedraw(true);
        const QString eventId = dates->GetItemString(k, QStringLiteral("event_id"));
        const QString timeId = dates->GetItemString(k, QStringLiteral("time_id"));
        RecordSet *events = dw_event_list->recordSet();
        const long found = events->Find(QStringLiteral("event_id = '") + eventId + QLatin1Char('\''), 1,
                                        events->RowCount());
        if (found > 0)
            dw_event_list->ScrollToRow(found);
        SelectTab(QStringLiteral("tabpage_event_dates"));
        const long line = dates->Find(QStringLiteral("time_id = '") + timeId + QLatin1Char('\''), 1,
                                      dates->RowCount());
        if (line > 0) {
            dw_event_dates->ScrollToRow(line);
            dw_event_dates->SetRow(line);
            if (!istr_errors.empty())
                dw_event_dates->SetColumn(istr_errors.front().columndb);
        }
        return static_cast<qint32>(k);
    }
    dates->SetFilter(QStringLiteral("event_id = '") + is_event_id + QLatin1Char('\''));
    dates->Filter();
    dw_event_dates->SetRedraw(true);
    return 0;
}

// ---- Saving, closing, exporting --------------------------------------------

long w_event::pb_save_clicked()
{
    ue_clear_errors();
    if (wf_validate(QString()) != 0) {
        ue_display_errors();
        return 1;
    }

    // The three files are written together: all or none.
    RecordSet *dates = dw_event_dates->recordSet();
    dw_event_dates->SetRedraw(false);
    dates->SetFilter(QString());
    dates->Filter();
    QString error;
    const int written = datafiles::saveAll({{dw_admin->recordSet(), gs_directory + gs_admin_filename},
                                            {dw_events->recordSet(), gs_directory + gs_event_filename},
                                            {dates, gs_directory + gs_event_dates_filename}},
                                           &error);
    dates->SetFilter(QStringLiteral("event_id = '") + is_event_id + QLatin1Char('\''));
    dates->Filter();
    dw_event_dates->SetRedraw(true);
    if (written != 1) {
        rt::MessageBox(QStringLiteral("Save"),
                       (written == -2 ? QStringLiteral("Your event data could not be saved, and not every file as "
                                                       "last saved could be put back yet; the next start of Vantel "
                                                       "puts them back.")
                                      : QStringLiteral("Your event data could not be saved; the files as last saved "
                                                       "are unchanged."))
                           + QStringLiteral("\r\n") + error,
                       rt::Icon::StopSign);
        return 2;
    }

    rt::SetProfileString(gs_ini_file_name, kGeneral, QStringLiteral("Files"), gs_directory);
    pb_save->setEnabled(false);
    return 0;
}

// Asks whether unsaved data is to be saved; false when the window must stay.
bool w_event::mayClose()
{
    if (pb_save->isEnabled()) {
        const int answer = rt::MessageBox(QStringLiteral("Unsaved Event Data"),
                                          QStringLiteral("Do you want to save your unsaved event data before closing ?"),
                                          rt::Icon::Question, rt::Buttons::YesNo, 1);
        if (answer == 1 && pb_save_clicked() != 0)
            return false;
    }
    return true;
}

void w_event::pb_close_clicked()
{
    if (!mayClose())
        return;
    closing_ = true;
    close();
}

void w_event::closeEvent(QCloseEvent *event)
{
    // Closing the window by its frame asks the same question as Close. (A
    // close() from within this handler would be ignored by Qt.)
    if (!closing_ && !mayClose()) {
        event->ignore();
        return;
    }
    closing_ = true;
    timer_->stop();
    if (errorWindow_)
        errorWindow_->close();
    if (QWidget *help = rt::helpWindow())
        help->close();
    event->accept();
}

void w_event::pb_export_clicked()
{
    const PackageResult r = pack_data_files(gs_directory, {gs_admin_filename, gs_event_filename, gs_event_dates_filename},
                                            gs_zip_filename);
    switch (r.kind) {
    case PackageResult::Ok:
        // The package was made in the data folder now in force. The text
        // built at start-up names the folder of that moment, and a folder
        // changed on the admin page since would send the user to the wrong
        // place (and perhaps to an old package): name the folder used.
        rt::MessageBox(QStringLiteral("Export"),
                       zipMessage(gs_directory, mailLine()));
        break;
    case PackageResult::NoComponent:
        rt::MessageBox(QStringLiteral("Error"), QStringLiteral("Unable to zip files. Please manually zip files!"));
        break;
    case PackageResult::MissingFiles:
        rt::MessageBox(QStringLiteral("Export"),
                       QStringLiteral("No zip file was created: these data files do not exist yet in ") + gs_directory
                           + QStringLiteral("\r\n") + r.missing.join(QStringLiteral("\r\n"))
                           + QStringLiteral("\r\nPlease save your event data first."),
                       rt::Icon::Exclamation);
        break;
    case PackageResult::PackFailed:
        rt::MessageBox(QStringLiteral("Export"),
                       QStringLiteral("No zip file was created: ") + r.detail, rt::Icon::StopSign);
        break;
    }
}

void w_event::cb_1_clicked()
{
    if (ext::RegisterAX(ext::zip_component_library, 1) != 0)
        rt::MessageBox(QStringLiteral("Error"), QStringLiteral("Unable to register certain components!"));
    // The deployment folder lies next to the program.
    const PackageResult r = pack_deployment(QCoreApplication::applicationDirPath() + QStringLiteral("/deploy/"),
                                            QStringLiteral("Vantel.zip"));
    if (r.kind == PackageResult::NoComponent) {
        rt::MessageBox(QStringLiteral("Error"), QStringLiteral("Unable to zip files. Please manually zip files!"));
        return;
    }
    if (r.kind != PackageResult::Ok) {
        rt::MessageBox(QStringLiteral("Export"), QStringLiteral("No zip file was created: ") + r.detail
                                                     + r.missing.join(QStringLiteral(", ")),
                       rt::Icon::Exclamation);
        return;
    }
    rt::MessageBox(QStringLiteral("Export"), message(14));
}

void w_event::cb_2_clicked()
{
    if (convertCountryList() != 1)
        rt::MessageBox(QStringLiteral("Import"),
                       QStringLiteral("The country list countries.txt could not be converted."),
                       rt::Icon::Exclamation);
}

// ---- Admin page ------------------------------------------------------------

long w_event::dw_admin_ue_validate(long al_row)
{
    const QString ls_directory = dw_admin->recordSet()->GetItemString(al_row, QStringLiteral("file_directory"));
    // A folder text ending with "/" names an existing folder exactly when
    // "<text>." exists.
    if (!rt::FileExists(ls_directory + QLatin1Char('.'))) {
        ue_set_error(static_cast<qint32>(al_row), QStringLiteral("file_directory"), QStringLiteral("File Directory"),
                     message(11));
        return 1;
    }
    return 0;
}

void w_event::pb_browse_clicked()
{
    QString ls_folder(1024, QLatin1Char(' '));
    ext::GetInstallDirectory(ls_folder, 1024);
    ls_folder = vantel_startup::Trim(ls_folder);
    if (ls_folder.isEmpty())
        return;
    if (!ls_folder.endsWith(QLatin1Char('/')))
        ls_folder += QLatin1Char('/');
    dw_admin->recordSet()->SetItem(1, QStringLiteral("file_directory"), ls_folder);
    pb_save->setEnabled(true);
}

// ---- Event list page -------------------------------------------------------

long w_event::dw_event_list_rowfocuschanged(long currentrow)
{
    if (currentrow < 1) {
        st_event_count->setText(QStringLiteral("Event 0 of 0"));
        return 0;
    }
    dw_event_list->SelectRow(0, false);
    dw_event_list->SelectRow(currentrow, true);
    dw_events->ScrollToRow(currentrow);
    RecordSet *events = dw_event_list->recordSet();
    st_event_count->setText(QStringLiteral("Event ") + QString::number(currentrow) + QStringLiteral(" of ")
                            + QString::number(events->RowCount()));
    is_event_id = events->GetItemString(currentrow, QStringLiteral("event_id"));
    dw_event_dates_ue_set_filter(is_event_id);
    return 0;
}

bool w_event::dw_event_list_ue_row_populated(int ai_row)
{
    RecordSet *events = dw_event_list->recordSet();
    static const char *mandatory[] = {"country", "city", "name", "sdescription", "category", "cost"};
    for (long row = ai_row; row <= events->RowCount(); ++row)
        for (const char *column : mandatory)
            if (events->GetItemString(row, QLatin1String(column)).isEmpty())
                return false;
    return true;
}

// ---- Event detail commands -------------------------------------------------

void w_event::pb_new_clicked()
{
    if (!dw_event_list_ue_row_populated(1)) {
        rt::MessageBox(QStringLiteral("New Event"), message(15));
        return;
    }
    RecordSet *events = dw_event_list->recordSet();
    long ll_row = events->InsertRow(0);
    if (ll_row <= 0)
        return;
    pb_save->setEnabled(true);
    dw_event_list->ScrollToRow(ll_row);
    is_event_id = gf_create_key(QStringLiteral("EV"));
    events->SetItem(ll_row, QStringLiteral("event_id"), is_event_id);
    events->SetItem(ll_row, QStringLiteral("user_id"), gs_login);
    events->SetItem(ll_row, QStringLiteral("user_password"), gs_password);
    events->SetItem(ll_row, QStringLiteral("country"), gs_country);
    events->SetItem(ll_row, QStringLiteral("city"), gs_city);
    events->SetItem(ll_row, QStringLiteral("state"), gs_state);
    events->SetItem(ll_row, QStringLiteral("category"), QStringLiteral("70"));

    RecordSet *dates = dw_event_dates->recordSet();
    ll_row = dates->InsertRow(0);
    if (ll_row > 0) {
        const QString ls_time_id = gf_create_key(QStringLiteral("TI"));
        dates->SetItem(ll_row, QStringLiteral("event_id"), is_event_id);
        dates->SetItem(ll_row, QStringLiteral("time_id"), ls_time_id);
        dates->SetItem(ll_row, QStringLiteral("state"), gs_state);
        dates->SetItem(ll_row, QStringLiteral("city"), gs_city);
        dw_event_dates_ue_set_filter(is_event_id);
        dw_event_dates->ScrollToRow(dates->Find(QStringLiteral("time_id = '") + ls_time_id + QLatin1Char('\''), 1,
                                                dates->RowCount()));
    }
    SelectTab(QStringLiteral("tabpage_events_detail"));
}

void w_event::pb_new_copy_clicked()
{
    RecordSet *events = dw_event_list->recordSet();
    RecordSet *dates = dw_event_dates->recordSet();
    const long ll_current_row = dw_event_list->GetRow();
    if (ll_current_row <= 0) {
        rt::MessageBox(QStringLiteral("Event Copy"),
                       QStringLiteral("You must have a selected event before you my copy the information !"));
        return;
    }
    events->RowsCopy(ll_current_row, ll_current_row, *events, 999999);
    const long ll_new_row = events->RowCount();
    is_event_id = gf_create_key(QStringLiteral("EV"));
    events->SetItem(ll_new_row, QStringLiteral("event_id"), is_event_id);

    const long ll_nbr_of_records = dates->RowCount();
    if (ll_nbr_of_records < 1) {
        const long ll_new_row2 = dates->InsertRow(0);
        const QString ls_time_id = gf_create_key(QStringLiteral("TI"));
        dates->SetItem(ll_new_row2, QStringLiteral("event_id"), is_event_id);
        dates->SetItem(ll_new_row2, QStringLiteral("time_id"), ls_time_id);
        dates->SetItem(ll_new_row2, QStringLiteral("state"), gs_state);
        dates->SetItem(ll_new_row2, QStringLiteral("city"), gs_city);
        dw_event_dates_ue_set_filter(is_event_id);
        dw_event_dates->ScrollToRow(1);
        SelectTab(QStringLiteral("tabpage_events_detail"));
    } else {
        for (long ll_row = 1; ll_row <= ll_nbr_of_records; ++ll_row) {
            dates->RowsCopy(ll_row, ll_row, *dates, 999999);
            const long ll_new_row2 = dates->RowCount();
            dates->SetItem(ll_new_row2, QStringLiteral("event_id"), is_event_id);
            dates->SetItem(ll_new_row2, QStringLiteral("time_id"), gf_create_key(QStringLiteral("TI")));
        }
        dw_event_dates_ue_set_filter(is_event_id);
        dw_event_dates->ScrollToRow(1);
    }
    dw_event_list->ScrollToRow(ll_new_row);
    pb_save->setEnabled(true);
}

void w_event::pb_4_clicked()
{
    RecordSet *events = dw_event_list->recordSet();
    RecordSet *dates = dw_event_dates->recordSet();
    const long ll_row = dw_event_list->GetRow();
    if (ll_row <= 0)
        return;
    // The event's date lines go with it: left behind they would be saved and
    // sent without their event.
    const QString eventId = events->GetItemString(ll_row, QStringLiteral("event_id"));
    if (!eventId.isEmpty()) {
        const QString filter = dates->filterText();
        dates->SetFilter(QStringLiteral("event_id = '") + eventId + QLatin1Char('\''));
        dates->Filter();
        for (long r = dates->RowCount(); r >= 1; --r)
            dates->DeleteRow(r);
        dates->SetFilter(filter);
        dates->Filter();
    }
    events->DeleteRow(ll_row);
    if (events->RowCount() == 0)
        dates->Reset();
    pb_save->setEnabled(true);
}

// ---- Event dates page ------------------------------------------------------

void w_event::dw_event_dates_ue_set_filter(const QString &as_filter_key)
{
    if (as_filter_key.isEmpty())
        return;
    RecordSet *dates = dw_event_dates->recordSet();
    dates->SetFilter(QStringLiteral("event_id = '") + as_filter_key + QLatin1Char('\''));
    dates->Filter();
}

bool w_event::dw_event_dates_ue_row_populated(int ai_row)
{
    RecordSet *dates = dw_event_dates->recordSet();
    for (long row = ai_row; row <= dates->RowCount(); ++row) {
        if (dates->GetItemString(row, QStringLiteral("city")).isEmpty()
            || dates->IsNull(row, QStringLiteral("start_date")) || dates->IsNull(row, QStringLiteral("end_date")))
            return false;
        const QString time1 = vantel_startup::Trim(dates->GetItemString(row, QStringLiteral("time1")));
        if (time1.isEmpty() || time1 == QLatin1String("0000"))
            return false;
    }
    return true;
}

long w_event::dw_event_dates_ue_validate(long al_row)
{
    RecordSet *dates = dw_event_dates->recordSet();
    const qint32 row = static_cast<qint32>(al_row);
    if (dates->IsNull(al_row, QStringLiteral("start_date"))) {
        ue_set_error(row, QStringLiteral("start_date"), QStringLiteral("Start Date"), message(10));
        return 1;
    }
    if (dates->IsNull(al_row, QStringLiteral("end_date"))) {
        ue_set_error(row, QStringLiteral("end_date"), QStringLiteral("End Date"), message(10));
        return 1;
    }
    const QDate start = dates->GetItemDate(al_row, QStringLiteral("start_date"));
    const QDate end = dates->GetItemDate(al_row, QStringLiteral("end_date"));
    if (start.daysTo(end) < 0) {
        ue_set_error(row, QStringLiteral("start_date"), QStringLiteral("Start Date"), message(12));
        return 1;
    }
    const QString time1 = vantel_startup::Trim(dates->GetItemString(al_row, QStringLiteral("time1")));
    if (time1.isEmpty() || time1 == QLatin1String("0000")) {
        ue_set_error(row, QStringLiteral("time1"), QStringLiteral("Time"), message(13));
        return 1;
    }
    return 0;
}

void w_event::dw_event_dates_ue_tab_out()
{
    RecordSet *dates = dw_event_dates->recordSet();
    const long ll_row = dates->InsertRow(0);
    if (ll_row >= 1) {
        pb_save->setEnabled(true);
        dw_event_dates->ScrollToRow(ll_row);
        dates->SetItem(ll_row, QStringLiteral("event_id"), is_event_id);
        dates->SetItem(ll_row, QStringLiteral("time_id"), gf_create_key(QStringLiteral("TI")));
        dates->SetItem(ll_row, QStringLiteral("state"), gs_state);
        dates->SetItem(ll_row, QStringLiteral("city"), gs_city);
    }
    dw_event_dates->SetFocus();
    dw_event_dates->SetColumn(5);
}

long w_event::dw_event_dates_ue_enter()
{
    dw_event_dates->sendTab();
    return 1;
}

void w_event::pb_new_date_clicked()
{
    if (dw_event_list->recordSet()->RowCount() < 1) {
        rt::MessageBox(QStringLiteral("Event Dates"),
                       QStringLiteral("You must have a selected event before adding date information!"));
        return;
    }
    if (!dw_event_dates_ue_row_populated(1)) {
        rt::MessageBox(QStringLiteral("New Event"), message(15));
        return;
    }
    RecordSet *dates = dw_event_dates->recordSet();
    const long ll_row = dates->InsertRow(0);
    if (ll_row > 0) {
        pb_save->setEnabled(true);
        dates->SetItem(ll_row, QStringLiteral("event_id"), is_event_id);
        dates->SetItem(ll_row, QStringLiteral("time_id"), gf_create_key(QStringLiteral("TI")));
        dates->SetItem(ll_row, QStringLiteral("state"), gs_state);
        dates->SetItem(ll_row, QStringLiteral("city"), gs_city);
        dw_event_dates->ScrollToRow(ll_row);
    }
    dw_event_dates->SetFocus();
    dw_event_dates->SetColumn(5);
}

void w_event::pb_delete_date_clicked()
{
    const long ll_row = dw_event_dates->GetRow();
    if (ll_row > 0) {
        dw_event_dates->recordSet()->DeleteRow(ll_row);
        pb_save->setEnabled(true);
    }
}

bool w_event::dw_event_dates_ue_key(int k, quint32 keyflags)
{
    if (k == rt::KeyF3) {
        const QString column = dw_event_dates->GetColumnName();
        if (column != QLatin1String("start_date") && column != QLatin1String("end_date"))
            return false;
        dw_event_dates->AcceptText();
        const QString ls_date = w_calendar::pick(this);
        if (ls_date.isEmpty())
            return true;
        const QDate date = dateFromPattern(ls_date, gs_short_date_format);
        const long row = dw_event_dates->GetRow();
        if (date.isValid() && row >= 1) {
            dw_event_dates->recordSet()->SetItem(row, column, date);
            pb_save->setEnabled(true);
        }
        return true;
    }
    if (k == rt::KeyF1) {
        key(k, keyflags);
        return true;
    }
    return false;
}

// ---- Error list ------------------------------------------------------------

void w_event::ue_display_errors()
{
    RecordSet list(definition(QStringLiteral("d_show_errors")));
    for (const str_errors &e : istr_errors) {
        const long row = list.InsertRow(0);
        list.SetItem(row, QStringLiteral("al_row"), e.row);
        list.SetItem(row, QStringLiteral("as_column_name"), e.column);
        list.SetItem(row, QStringLiteral("as_message"), e.message);
    }
    rt::Message().objectParm = &list;
    errorWindow_ = w_show_errors::open_with_parm(this);
    rt::Message().objectParm = std::any();
}
