#include "pagehost.h"

#include "datawindow.h"
#include "eventdocument.h"
#include "keys.h"
#include "recordset.h"
#include "runtime.h"
#include "vo_base_pic_button.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QVBoxLayout>
#include <QLabel>
#include <QScrollArea>

#include <utility>

namespace {

// A page's controls, scrolled when the window is made smaller than they
// need; the room they need is what it asks for, so that the window opens
// with everything in sight.
class PageScrollArea : public QScrollArea {
public:
    explicit PageScrollArea(QWidget *parent) : QScrollArea(parent)
    {
        setFrameShape(QFrame::NoFrame);
        setWidgetResizable(true);
        setFocusPolicy(Qt::NoFocus); // the keys go to the controls, as before
        viewport()->setAutoFillBackground(false);
    }
    QSize sizeHint() const override
    {
        const int frame = 2 * frameWidth();
        return (widget() ? widget()->sizeHint() : QScrollArea::sizeHint()) + QSize(frame, frame);
    }
};

} // namespace

EventPage::EventPage(PageHost &host, QWidget *parent, const QString &objectName) : QWidget(parent), host_(host)
{
    setObjectName(objectName);
}

void EventPage::setVisible(bool visible)
{
    if (visible && beforeFirstShow_)
        std::exchange(beforeFirstShow_, {})();
    QWidget::setVisible(visible);
}

QWidget *EventPage::content()
{
    if (content_)
        return content_;
    auto *area = new PageScrollArea(this);
    content_ = new QWidget(area);
    content_->setAutoFillBackground(false);
    area->setWidget(content_);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(area);
    return content_;
}

DataWindow *EventPage::makeView(const QString &name, const QString &definitionName, DataWindow::Kind kind,
                                const RecordSet *shown)
{
    view_ = new DataWindow(name, definition(definitionName), kind, this);
    if (shown)
        view_->present(shown);
    return view_;
}

void EventPage::layOutUnderRow(std::initializer_list<QWidget *> left, std::initializer_list<QWidget *> right)
{
    auto *row = new QHBoxLayout;
    for (QWidget *w : left)
        row->addWidget(w);
    row->addStretch();
    for (QWidget *w : right)
        row->addWidget(w);
    auto *layout = new QVBoxLayout(content());
    layout->addLayout(row);
    layout->addWidget(view_, 1);
}

namespace pages {

QPushButton *button(QWidget *parent, const char *name, const QString &text, const char *normal, const char *focus,
                    const char *disabled)
{
    auto *b = new vo_base_pic_button(text, parent);
    b->setObjectName(QLatin1String(name));
    b->setAccessibleName(text.trimmed());
    b->setPictures(QLatin1String(normal), QLatin1String(focus), QLatin1String(disabled));
    return b;
}

QLabel *picture(QWidget *parent, const char *name, const QString &file)
{
    auto *label = new QLabel(parent);
    label->setObjectName(QLatin1String(name));
    QPixmap pm(rt::PicturePath(file));
    label->setPixmap(pm);
    return label;
}

QFrame *line(QWidget *parent, const char *name)
{
    auto *f = new QFrame(parent);
    f->setObjectName(QLatin1String(name));
    f->setFrameShape(QFrame::HLine);
    f->setStyleSheet(QStringLiteral("color: rgb(200,120,120);"));
    return f;
}

void connectEditorBehaviour(PageHost &host, DataWindow *dw, const QString &helpTopic)
{
    dw->Modify(QStringLiteral("DataWindow.NoUserPrompt='yes'"));
    // The part of the document the view shows, once it shows one.
    auto part = [&host, dw](EventDocument::Part *p) { return host.document().partOf(dw->recordSet(), p); };
    // What is typed goes into the document as one of its commands.
    dw->setWriter([&host, part](long row, int col, const QVariant &value) {
        EventDocument::Part p;
        return part(&p) && host.document().setField(p, row, col, value);
    });
    auto note = [&host, part, dw](long row, const QString &column) {
        EventDocument::Part p;
        if (row >= 1 && part(&p))
            host.document().noteCurrentColumn(p, dw->sourceRow(row), column);
    };
    QObject::connect(dw, &DataWindow::getFocus, dw, [&host, dw, note, helpTopic] {
        note(dw->GetRow(), dw->GetColumnName());
        host.setHelpTopic(helpTopic);
    });
    QObject::connect(dw, &DataWindow::loseFocus, dw, [dw, note] { note(dw->GetRow(), QString()); });
    QObject::connect(dw, &DataWindow::itemFocusChanged, dw, [note](long row, const QString &column) {
        if (!column.isEmpty())
            note(row, column);
    });
    // What is being typed is kept by the journal too.
    QObject::connect(dw, &DataWindow::editChanged, dw, [&host] { host.document().journal().typed(); });
    QObject::connect(dw, &DataWindow::editEnded, dw, [&host] { host.document().journal().typed(); });
    dw->ue_key = [&host](int k, quint32 flags) {
        if (k == rt::KeyF1 || (k == rt::KeyEscape && host.hasErrorWindow())) {
            host.key(k, flags);
            return true;
        }
        return false;
    };
}

} // namespace pages
