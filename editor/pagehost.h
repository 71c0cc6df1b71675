// What the four tab pages ask of the main window, and the helpers they share
// to build their controls.
#pragma once

#include "datawindow.h"

#include <QString>
#include <QWidget>

#include <functional>
#include <initializer_list>

class EventDocument;
class QFrame;
class QLabel;
class QPushButton;
class RecordSet;

class PageHost {
public:
    virtual ~PageHost() = default;
    virtual EventDocument &document() const = 0;
    virtual QString message(int index) const = 0; // the window's texts, from 1
    // The window's own keys: F1 for help, Escape to close the error list.
    virtual long key(int key, quint32 keyflags) = 0;
    virtual bool hasErrorWindow() const = 0;
    virtual void setHelpTopic(const QString &topic) = 0;
    virtual int SelectTab(const QString &pageName) = 0;
    // The key of the event the pages show (empty before the first one).
    virtual QString &currentEventId() = 0;
};

// A tab page: its controls over one data window, and the window it asks for
// what lies beyond the page.
class EventPage : public QWidget {
    Q_OBJECT
public:
    DataWindow *view() const { return view_; }
    // What is to happen before the page first shows (building what the
    // window does not need until then); it runs once.
    void setBeforeFirstShow(std::function<void()> prepare) { beforeFirstShow_ = std::move(prepare); }
    void setVisible(bool visible) override;

protected:
    EventPage(PageHost &host, QWidget *parent, const QString &objectName);
    // The page's data window `name` in the layout of `definitionName`,
    // showing `shown` (none: it is given its data later).
    DataWindow *makeView(const QString &name, const QString &definitionName, DataWindow::Kind kind,
                         const RecordSet *shown);
    // Lays the page out: a row of controls (`left`, space, `right`) above
    // its data window, which takes the rest.
    void layOutUnderRow(std::initializer_list<QWidget *> left, std::initializer_list<QWidget *> right);
    // What the page shows, to be laid out: it scrolls where the page is
    // smaller than its controls need, and asks for the room they take.
    QWidget *content();

    PageHost &host_;

private:
    DataWindow *view_ = nullptr;
    QWidget *content_ = nullptr;
    std::function<void()> beforeFirstShow_;
};

namespace pages {

// A picture button of the program's style.
QPushButton *button(QWidget *parent, const char *name, const QString &text, const char *normal, const char *focus,
                    const char *disabled);
QLabel *picture(QWidget *parent, const char *name, const QString &file);
QFrame *line(QWidget *parent, const char *name);
// The behaviour every editable view shares: what is typed goes into the
// document through its commands, the focused field is noted in the record's
// current_column, the page's help topic takes over with the focus, typing is
// kept by the journal, F1 and (with the error list open) Escape go to the
// window.
void connectEditorBehaviour(PageHost &host, DataWindow *dw, const QString &helpTopic);

} // namespace pages
