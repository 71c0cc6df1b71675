#include "w_event.h"

#include "datafiles.h"
#include "datawindow.h"
#include "exportmenu.h"
#include "exportmessages.h"
#include "exportrun.h"
#include "externals.h"
#include "globals.h"
#include "helpviewer.h"
#include "operatorinfo.h"
#include "package.h"
#include "profile.h"
#include "vantel.h"
#include "recordset.h"
#include "keys.h"
#include "launch.h"
#include "adminpage.h"
#include "eventdatespage.h"
#include "eventdetailpage.h"
#include "eventlistpage.h"
#include "pagehost.h"
#include "recovery.h"
#include "startfolder.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QHBoxLayout>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QShortcut>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>

#include <initializer_list>
#include <utility>

namespace {
const QString kGeneral = QStringLiteral("General");
} // namespace

// ---- Construction ----------------------------------------------------------

w_event::w_event(QWidget *parent) : QWidget(parent), doc_(std::make_unique<EventDocument>(std::chrono::milliseconds(QApplication::keyboardInputInterval())))
{
    setObjectName(QStringLiteral("w_event"));
    // The data is read while the pages are built; the reading is taken
    // once the window shows (ue_post_open).
    doc_->readAhead(datafiles::dataFolderAtStart(gs_directory));
    setWindowTitle(QStringLiteral("Vantel - ") + vantel_operator::web_site);
    setWindowIcon(QIcon(rt::PicturePath(QStringLiteral("vantel.png"))));

    tab_1 = new QTabWidget(this);
    tab_1->setObjectName(QStringLiteral("tab_1"));
    const char *const pages[] = {"Admin", "Events", "Event Detail", "Event Dates && Times"};
    // The window opens on the admin page. The list and dates pages are
    // built when an event page first shows, or when the window needs them
    // before (buildEventPages); the detail form now, as the widest page it
    // sizes the window.
    adminPage_ = new AdminPage(*this, tab_1);
    listPage_ = new EventListPage(*this, tab_1);
    detailPage_ = new EventDetailPage(*this, tab_1);
    datesPage_ = new EventDatesPage(*this, tab_1);
    for (EventPage *page : std::initializer_list<EventPage *>{listPage_, detailPage_, datesPage_})
        page->setBeforeFirstShow([this] { buildEventPages(); });
    QWidget *pageWidgets[4] = {adminPage_, listPage_, detailPage_, datesPage_};
    for (int i = 0; i < 4; ++i)
        tab_1->addTab(pageWidgets[i], QString::fromLatin1(pages[i]));
    dw_admin = adminPage_->view();
    dw_events = detailPage_->view();
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

    pb_close = pages::button(this, "pb_close", QStringLiteral("Close"), "cancel.jpg", "cancel_focus.jpg", "cancel_dis.jpg");
    pb_export = pages::button(this, "pb_export", QStringLiteral("Export"), "export.jpg", "export_focus.jpg", "export_dis.jpg");
    pb_save = pages::button(this, "pb_save", QStringLiteral("Save"), "save.jpg", "save_focus.jpg", "save_dis.jpg");
    // Save is there for unsaved changes: those of the data, and the typing
    // in a field that is not in the data yet.
    connect(doc_.get(), &EventDocument::modifiedChanged, this, &w_event::showUnsaved);
    for (DataWindow *dw : {dw_admin, dw_events})
        connect(dw, &DataWindow::editPendingChanged, this, &w_event::showUnsaved);
    showUnsaved();
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
    // Ctrl+Tab and Ctrl+Shift+Tab turn the pages wherever the focus is (see eventFilter).
    qApp->installEventFilter(this);
    pb_save->setToolTip(QStringLiteral("Check and save all event data (Ctrl+S)"));
    pb_export->setToolTip(QStringLiteral("Pack the saved data files into the zip package"));
    pb_close->setToolTip(QStringLiteral("Close Vantel"));

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(cb_1);
    buttons->addWidget(cb_2);
    buttons->addStretch();
    buttons->addWidget(pb_save);
    buttons->addWidget(pb_export);
    buttons->addWidget(exportmenu::makeButton(this, pb_export, *doc_));
    buttons->addWidget(pb_close);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(tab_1);
    installTools(layout);
    layout->addLayout(buttons);
    // The pages show everything they hold, on a screen that has the room;
    // on a smaller one the window, with the frame the desktop gives it,
    // stays on the screen.
    ensurePolished();
    QSize size = sizeHint().expandedTo(QSize(900, 640));
    if (const QScreen *s = screen()) {
        const int edge = style()->pixelMetric(QStyle::PM_MdiSubWindowFrameWidth);
        const QSize frame(2 * edge, style()->pixelMetric(QStyle::PM_TitleBarHeight) + 2 * edge);
        size = size.boundedTo(s->availableGeometry().size() - frame);
    }
    resize(size);

    timer_ = new QTimer(this);
    connect(timer_, &QTimer::timeout, this, &w_event::timer);
    exportRun_ = new ExportRun(this, *doc_);
}

w_event::~w_event()
{
    doc_->journal().setTypingSource({}); // it asks the pages, which go first
    if (errorWindow_)
        delete errorWindow_.data();
    // The pages' views go before the document whose record sets they show.
    delete tab_1;
}

void w_event::buildEventPages()
{
    if (std::exchange(eventPagesBuilt_, true))
        return;
    listPage_->build();
    datesPage_->build();
    dw_event_list = listPage_->view();
    dw_event_dates = datesPage_->view();
    listPage_->follow(detailPage_, datesPage_);
    for (DataWindow *dw : {dw_event_list, dw_event_dates})
        connect(dw, &DataWindow::editPendingChanged, this, &w_event::showUnsaved);
    // Built after the data was loaded: the pages show what they would have
    // shown from the start, the first event.
    if (dataLoaded_) {
        dw_events->ShareData(dw_event_list);
        if (doc_->events().RowCount() >= 1)
            selectEvent(1);
    }
}

DataWindow *w_event::eventList()
{
    buildEventPages();
    return dw_event_list;
}

// The admin record becomes the settings the other pages use.
void w_event::copyAdminRowToGlobals()
{
    doc_->publishAdminValues();
}

QString w_event::message(int index) const
{
    return index >= 1 && index < is_messages.size() ? is_messages[index] : QString();
}

void w_event::buildMessages(const QString &thirdLine)
{
    is_messages = QStringList(16);
    is_messages[10] = EventDocument::requiredMessage();
    is_messages[11] = EventDocument::invalidFolderMessage();
    is_messages[12] = EventDocument::endBeforeStartMessage();
    is_messages[13] = EventDocument::firstTimeMessage();
    is_messages[14] = exportmessages::zipMessage(gs_directory, thirdLine);
    is_messages[15] = QStringLiteral(
        "Please complete all the mandatory fields in the existing record before adding a new one.");
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

    // 4-6. The program and data folders, written back to the settings file.
    vantel_startup::settleFolders([this](const QString &dir) { return wf_create_directory(dir); });

    // 7. The admin page is in front: its help topic is in force until a
    // field takes the focus.
    is_help_topic = QStringLiteral("admin.htm");
    iw_parent = this;
    show();
    activateWindow(); // keys go to the new window also where no window manager gives it the focus
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
    // 1. The admin record, the events and their dates; the export message
    // names the data folder now in force; the detail form presents the
    // list's events.
    const LoadResult loaded = doc_->load(gs_directory);
    dataLoaded_ = true;
    buildMessages(exportmessages::mailLine());
    if (eventPagesBuilt_)
        dw_events->ShareData(dw_event_list);
    for (const ImportReport *r : {&loaded.admin, &loaded.events, &loaded.dates})
        showImportProblems(r->problems, r->backupPath);

    // A data file that is there but could not be read must never be
    // replaced by a save of what was (not) loaded: say why and close.
    if (const QStringList unreadable = loaded.unreadable(); !unreadable.isEmpty()) {
        rt::MessageBox(QStringLiteral("Data File"),
                       unreadable.join(QStringLiteral("\r\n"))
                           + QStringLiteral("\r\n\r\nVantel closes so that no save can replace what it could not "
                                            "read. Make the file readable and start Vantel again."),
                       rt::Icon::StopSign);
        close();
        return;
    }

    // An interrupted save that could not be undone guards the files as last
    // saved: the user learns what it is and how to resolve it.
    if (!loaded.interruptedSave.isEmpty())
        rt::MessageBox(QStringLiteral("Data File"), loaded.interruptedSave, rt::Icon::Exclamation);

    // Changes that an earlier session left unsaved.
    recovery::offer(*doc_);

    // 5. The zip component.
    if (ext::RegisterAX(ext::zip_component_library, 1) != 0)
        rt::MessageBox(QStringLiteral("Error"), QStringLiteral("Unable to register certain components!"));

    // 6. The first event (event pages not built yet show it when they are).
    if (doc_->events().RowCount() >= 1) {
        if (eventPagesBuilt_)
            selectEvent(1);
        else
            is_event_id = doc_->events().GetItemString(1, QStringLiteral("event_id"));
    }

    // 7. The caption and its timer.
    adminPage_->caption()->setText(QStringLiteral("Events"));
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

// A drop-down takes Ctrl+Tab for the start of a search through its list,
// so the tab control never hears of it: the keys that turn the pages are
// taken before any control of this window sees them. (Two shortcuts would
// not do: X11 reports Ctrl+Shift+Tab as a key that matches both.)
bool w_event::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::KeyPress || !watched->isWidgetType()
        || static_cast<QWidget *>(watched)->window() != this)
        return QWidget::eventFilter(watched, event);
    const auto *key = static_cast<QKeyEvent *>(event);
    if ((key->key() != Qt::Key_Tab && key->key() != Qt::Key_Backtab) || !(key->modifiers() & Qt::ControlModifier)
        || (key->modifiers() & (Qt::AltModifier | Qt::MetaModifier)))
        return QWidget::eventFilter(watched, event);
    const int step = key->key() == Qt::Key_Backtab || (key->modifiers() & Qt::ShiftModifier) ? -1 : 1;
    const int n = tab_1->count();
    for (int i = 1; i < n; ++i) {
        const int index = ((tab_1->currentIndex() + step * i) % n + n) % n;
        if (tab_1->isTabEnabled(index)) {
            tab_1->setCurrentIndex(index);
            break;
        }
    }
    if (!QApplication::focusWidget())
        tab_1->tabBar()->setFocus();
    return true;
}

void w_event::help(int, int)
{
    rt::HtmlHelp(this, is_helpfile + QStringLiteral("::/") + is_help_topic);
    // In front of the help window, which stays in front when it closes.
    rt::MessageBox(rt::helpWindow(), QString(), is_help_topic);
}

void w_event::timer()
{
    rt::Post(this, [this] { ue_animation(QString()); });
}

void w_event::ue_animation(const QString &)
{
    ++ii_anim;
    if (ii_anim >= 11)
        ii_anim = 1;
    adminPage_->showCaption(ii_anim);
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
        // A new data folder is this window's only once no other window has it.
        const QString folder = doc_->adminValues().directory;
        if (folder != gs_directory && !launch::moveLockTo(folder)) {
            dw_admin->SetColumn(QStringLiteral("file_directory"));
            return 1;
        }
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

// ---- Saving, closing, exporting --------------------------------------------

long w_event::pb_save_clicked()
{
    // The files being packed are not to change under the export.
    if (exportRun_->running())
        return 3;
    ue_clear_errors();
    if (wf_validate(QString()) != 0) {
        ue_display_errors();
        return 1;
    }

    // The three files are written together: all or none.
    rt::BusyPointer busy;
    const SaveResult saved = doc_->save(gs_directory);
    busy.release();
    if (!saved.ok()) {
        rt::MessageBox(QStringLiteral("Save"),
                       (saved.kind == SaveResult::PutBackPending ? QStringLiteral("Your event data could not be saved, and not every file as "
                                                       "last saved could be put back yet; the next start of Vantel "
                                                       "puts them back.")
                                      : QStringLiteral("Your event data could not be saved; the files as last saved "
                                                       "are unchanged."))
                           + QStringLiteral("\r\n") + saved.error,
                       rt::Icon::StopSign);
        return 2;
    }
    if (!saved.error.isEmpty())
        rt::MessageBox(QStringLiteral("Save"), QStringLiteral("Your event data was saved.\r\n") + saved.error,
                       rt::Icon::Exclamation);

    rt::SaveSetting(gs_ini_file_name, kGeneral, QStringLiteral("Files"), gs_directory);
    return 0;
}

bool w_event::hasUnsavedChanges() const
{
    if (doc_->isModified())
        return true;
    for (DataWindow *dw : {dw_admin, dw_event_list, dw_events, dw_event_dates})
        if (dw && dw->editPending())
            return true;
    return false;
}

void w_event::showUnsaved()
{
    pb_save->setEnabled(hasUnsavedChanges());
}

// Asks whether unsaved data is to be saved; false when the window must stay.
bool w_event::mayClose()
{
    if (pb_save->isEnabled()) {
        const int answer = rt::MessageBox(QStringLiteral("Unsaved Event Data"),
                                          QStringLiteral("Do you want to save your unsaved event data before closing ?"),
                                          rt::Icon::Question, rt::Buttons::YesNo, 1);
        // Only No lets the changes go; a box closed without an answer
        // (Escape) leaves the window as it was.
        if (answer == 0 || (answer == 1 && pb_save_clicked() != 0))
            return false;
        if (answer == 2)
            doc_->discardUnsavedWork();
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
    // The window stays while an export runs; its dialog offers Cancel.
    if (exportRun_->running()) {
        event->ignore();
        return;
    }
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
    exportRun_->exportDataFiles(gs_directory);
}

void w_event::cb_1_clicked()
{
    if (ext::RegisterAX(ext::zip_component_library, 1) != 0)
        rt::MessageBox(QStringLiteral("Error"), QStringLiteral("Unable to register certain components!"));
    // The deployment folder lies next to the program.
    exportRun_->exportDeployment(QCoreApplication::applicationDirPath() + QStringLiteral("/deploy/"),
                                 QStringLiteral("Vantel.zip"), message(14));
}

void w_event::cb_2_clicked()
{
    if (convertCountryList() != 1)
        rt::MessageBox(QStringLiteral("Import"),
                       QStringLiteral("The country list countries.txt could not be converted."),
                       rt::Icon::Exclamation);
}

// ---- Page entry points -------------------------------------------------------

long w_event::dw_admin_ue_validate(long al_row)
{
    return report(doc_->partRules(EventDocument::Part::Admin, al_row));
}

long w_event::dw_event_dates_ue_validate(long al_row)
{
    return report(asShown(doc_->partRules(EventDocument::Part::Dates, dw_event_dates->sourceRow(al_row)), qint32(al_row)));
}

long w_event::dw_event_list_rowfocuschanged(long currentrow)
{
    buildEventPages();
    return listPage_->rowfocuschanged(currentrow);
}
