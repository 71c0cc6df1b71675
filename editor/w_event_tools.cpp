// The main window's tools beyond its pages: undo and redo of every change of
// the event data, and finding an event.
#include "w_event.h"

#include "datawindow.h"
#include "findbar.h"
#include "recordset.h"

#include <QApplication>
#include <QBoxLayout>
#include <QKeySequence>
#include <QShortcut>
#include <QTabWidget>

#include <algorithm>
#include <utility>

namespace {
constexpr int kAdminPage = 0;
} // namespace

void w_event::installTools(QBoxLayout *layout)
{
    const struct {
        QKeyCombination keys;
        bool redo;
    } steps[] = {{Qt::CTRL | Qt::Key_Z, false}, {Qt::CTRL | Qt::SHIFT | Qt::Key_Z, true}, {Qt::CTRL | Qt::Key_Y, true}};
    for (const auto &step : steps) {
        auto *key = new QShortcut(QKeySequence(step.keys), this);
        connect(key, &QShortcut::activated, this, [this, redo = step.redo] { takeStep(redo); });
    }
    connect(doc_.get(), &EventDocument::stepShown, this, &w_event::showStep);
    // The field being typed in, for the journal: that of the page in front.
    doc_->journal().setTypingSource([this]() -> std::optional<RowChange> {
        DataWindow *view = dataWindowOfPage(tab_1->currentIndex() + 1);
        long row = 0;
        int col = 0;
        QString text;
        EventDocument::Part part;
        if (!view || !view->typingAt(&row, &col, &text) || !doc_->partOf(view->recordSet(), &part))
            return {};
        return doc_->typingChange(part, row, col, text);
    });
    // The journal that a restart after a crash would restore cannot be
    // written: said once, so that the user knows to save.
    connect(&doc_->journal(), &Journal::writeFailed, this, [warned = false](const QString &error) mutable {
        if (std::exchange(warned, true))
            return;
        rt::MessageBox(QStringLiteral("Event Data Journal"),
                       QStringLiteral("Vantel cannot keep your unsaved changes for a restart after a crash:\r\n")
                           + error
                           + QStringLiteral("\r\nYour changes are safe while Vantel runs; save them to keep them."),
                       rt::Icon::Exclamation);
    });

    findBar_ = new FindBar(*doc_, this);
    findBar_->currentRow = [this] { return eventList()->GetRow(); };
    findBar_->select = [this](long row) { selectEvent(row); };
    findBar_->escape = [this] { key(rt::KeyEscape, 0); };
    layout->addWidget(findBar_);
    auto *findKey = new QShortcut(QKeySequence::Find, this);
    connect(findKey, &QShortcut::activated, this, &w_event::openFindBar);
    // Find is about events: the bar goes with the admin page.
    connect(tab_1, &QTabWidget::currentChanged, findBar_, [this](int index) {
        if (index == kAdminPage)
            findBar_->dismiss();
    });
}

void w_event::openFindBar()
{
    if (tab_1->currentIndex() != kAdminPage)
        findBar_->open();
}

void w_event::selectEvent(long row)
{
    if (row >= 1)
        eventList()->SetRow(row);
    dw_event_list_rowfocuschanged(row);
}

void w_event::takeStep(bool redo)
{
    // What is being typed into a field is committed first: it is the
    // latest change, the first to be taken back.
    if (DataWindow *dw = dataWindowOfPage(tab_1->currentIndex() + 1))
        dw->AcceptText();
    if (redo)
        doc_->redo();
    else
        doc_->undo();
}

void w_event::showStep(const ChangeSite &site)
{
    // The page of the change: the admin record's; the event list's for
    // events that came or went, the detail form's for an event's field; the
    // dates page's for a date line.
    using Part = EventDocument::Part;
    DataWindow *view = dw_admin;
    if (site.part == Part::Admin) {
        SelectTab(QStringLiteral("tabpage_admin"));
    } else {
        buildEventPages();
        // The event of the change; when the step took it away, the one that
        // now stands in its place.
        const RecordSet &events = doc_->events();
        long row = 0;
        if (!site.eventKey.isEmpty())
            row = doc_->eventRow(site.eventKey);
        if (row <= 0 && site.eventPlace >= 0)
            row = std::min(long(site.eventPlace) + 1, events.RowCount());
        if (row <= 0)
            row = std::min(dw_event_list->GetRow(), events.RowCount());
        selectEvent(row);
        if (site.part == Part::Events && site.rows) {
            SelectTab(QStringLiteral("tabpage_event_list"));
            view = dw_event_list;
        } else if (site.part == Part::Events) {
            SelectTab(QStringLiteral("tabpage_events_detail"));
            view = dw_events;
        } else {
            SelectTab(QStringLiteral("tabpage_event_dates"));
            view = dw_event_dates;
            const long line = site.lineKey.isEmpty() ? 0 : dw_event_dates->rowOfSource(doc_->lineRow(site.lineKey));
            if (line > 0) {
                dw_event_dates->ScrollToRow(line);
                dw_event_dates->SetRow(line);
            }
        }
    }
    if (dataWindowOfPage(tab_1->currentIndex() + 1) != view)
        return; // the admin page could not be left
    // The keys go on where the change is, also when the step closed the
    // field being edited (the focus would fall to the next button).
    QWidget *focused = QApplication::focusWidget();
    if (!focused || (focused != view && !view->isAncestorOf(focused)))
        view->SetFocus();
    if (!site.column.isEmpty() && view != dw_event_list)
        view->SetColumn(site.column);
}
