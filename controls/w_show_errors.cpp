#include "w_show_errors.h"

#include "contrast.h"
#include "definition.h"
#include "globals.h"
#include "recordset.h"
#include "recordsetmodel.h"
#include "vo_base_st_transparent.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QTableView>
#include <QVBoxLayout>

#include <any>

namespace {

const QColor kBackground(255, 200, 200);
const QColor kBorder(176, 96, 96);

QRect unitsToPixels(int x, int y, int w, int h)
{
    using rt::Axis;
    return QRect(rt::UnitsToPixels(x, Axis::X), rt::UnitsToPixels(y, Axis::Y), rt::UnitsToPixels(w, Axis::X),
                 rt::UnitsToPixels(h, Axis::Y));
}

QFont arial(int pointSize, bool bold = false)
{
    QFont f;
    f.setFamilies({QStringLiteral("Arial"), QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")});
    f.setPointSize(pointSize);
    f.setBold(bold);
    return f;
}

// A picture with its double-size companion, for crisp HiDPI drawing.
QIcon picture(const QString &name)
{
    QIcon icon;
    const QString path = rt::PicturePath(name);
    icon.addFile(path);
    const QFileInfo info(path);
    const QString hiDpi = info.path() + '/' + info.completeBaseName() + QStringLiteral("@2x.") + info.suffix();
    if (QFile::exists(hiDpi))
        icon.addFile(hiDpi);
    return icon;
}

// Column headings drawn in bold over the definition's heading picture,
// which is stretched across the whole heading band.
class PictureHeader : public QHeaderView {
public:
    PictureHeader(const QString &pictureName, QWidget *parent)
        : QHeaderView(Qt::Horizontal, parent), picture_(picture(pictureName))
    {
        setFont(arial(8, true));
        setSectionsClickable(false);
        setHighlightSections(false);
        setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        setFixedHeight(24);
    }

protected:
    void paintEvent(QPaintEvent *e) override
    {
        {
            QPainter p(viewport());
            const QSize band = viewport()->size();
            p.drawPixmap(QPoint(0, 0), picture_.pixmap(band, devicePixelRatioF()).scaled(
                                           band * devicePixelRatioF(), Qt::IgnoreAspectRatio,
                                           Qt::SmoothTransformation));
        }
        QHeaderView::paintEvent(e);
    }

    void paintSection(QPainter *p, const QRect &rect, int logicalIndex) const override
    {
        if (!rect.isValid())
            return;
        p->save();
        p->setPen(QColor(255, 255, 255, 150));
        p->drawLine(rect.topRight(), rect.bottomRight());
        p->setFont(font());
        p->setPen(QColor(64, 0, 0));
        const QString text = model() ? model()->headerData(logicalIndex, orientation()).toString() : QString();
        p->drawText(rect.adjusted(6, 0, -4, 0), Qt::AlignLeft | Qt::AlignVCenter, text);
        p->restore();
    }

private:
    QIcon picture_;
};

} // namespace

w_show_errors::w_show_errors(QWidget *owner) : QWidget(owner, Qt::Tool | Qt::FramelessWindowHint)
{
    setObjectName(QStringLiteral("w_show_errors"));
    setAttribute(Qt::WA_DeleteOnClose);
    resize(rt::UnitsToPixels(kWidthUnits, rt::Axis::X), rt::UnitsToPixels(kHeightUnits, rt::Axis::Y));

    // The list is made first so that it goes first when the window is
    // destroyed, before the rows and the model it shows.
    dw_show_errors = new QTableView(this);
    dw_show_errors->setObjectName(QStringLiteral("dw_show_errors"));

    const Definition &def = definition(QStringLiteral("d_show_errors"));
    rows_ = new RecordSet(def, this);
    model_ = new RecordSetModel(rows_, this);

    auto *header = new PictureHeader(def.headerPicture, dw_show_errors);
    dw_show_errors->setHorizontalHeader(header);
    dw_show_errors->setModel(model_);
    dw_show_errors->verticalHeader()->hide();
    dw_show_errors->verticalHeader()->setDefaultSectionSize(20);
    dw_show_errors->setEditTriggers(QAbstractItemView::NoEditTriggers);
    dw_show_errors->setSelectionMode(QAbstractItemView::NoSelection);
    dw_show_errors->setFrameShape(QFrame::NoFrame);
    dw_show_errors->setShowGrid(false);
    dw_show_errors->setWordWrap(false);
    dw_show_errors->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    dw_show_errors->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    dw_show_errors->verticalScrollBar()->setTracking(true);
    dw_show_errors->setFont(arial(9));
    header->setSectionResizeMode(QHeaderView::Fixed);
    header->resizeSection(def.columnIndex(QStringLiteral("as_column_name")) - 1, 190);
    header->resizeSection(def.columnIndex(QStringLiteral("al_row")) - 1, 60);
    header->setStretchLastSection(true);

    // Pink with text that reads on it, whatever the desktop theme.
    QPalette pal = dw_show_errors->palette();
    contrast::setFixedBackground(pal, kBackground, {QPalette::Base, QPalette::Window});
    dw_show_errors->setPalette(pal);

    // Mouse moves over the list drag the window; a double-click closes it.
    dw_show_errors->viewport()->installEventFilter(this);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(1, 1, 1, 1);
    layout->setSpacing(0);
    layout->addWidget(dw_show_errors);

    p_1 = new QLabel(this);
    p_1->setObjectName(QStringLiteral("p_1"));
    p_1->setGeometry(unitsToPixels(2651, 460, 229, 200));
    p_1->setAlignment(Qt::AlignCenter);
    const QIcon stop = picture(QStringLiteral("stop.gif"));
    const QSize stopSize = stop.availableSizes().isEmpty() ? QSize(50, 50) : stop.availableSizes().first();
    p_1->setPixmap(stop.pixmap(stopSize, devicePixelRatioF()));
    p_1->setCursor(Qt::PointingHandCursor);
    p_1->installEventFilter(this);
    p_1->raise();

    st_escape = new vo_base_st_transparent(QStringLiteral("Press Escape to Close"), this);
    st_escape->setObjectName(QStringLiteral("st_escape"));
    st_escape->setGeometry(unitsToPixels(2455, 648, 507, 56));
    st_escape->setFont(arial(8));
    QPalette textPal = st_escape->palette();
    textPal.setColor(QPalette::WindowText, QColor(0, 0, 128));
    st_escape->setPalette(textPal);
    st_escape->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    st_escape->raise();
}

w_show_errors::~w_show_errors()
{
    endDrag();
}

w_show_errors *w_show_errors::open_with_parm(QWidget *owner, RecordSet *errors)
{
    rt::Message().objectParm = errors;
    return open_with_parm(owner);
}

w_show_errors *w_show_errors::open_with_parm(QWidget *owner)
{
    auto *w = new w_show_errors(owner);
    if (!w->open())
        return nullptr;
    w->show();
    w->raise();
    w->activateWindow();
    w->dw_show_errors->setFocus();
    return w;
}

bool w_show_errors::open()
{
    is_message.assign(2, QString());
    is_message[1] = QStringLiteral("No Errors");

    idw_errors = nullptr;
    if (auto *parm = std::any_cast<RecordSet *>(&rt::Message().objectParm))
        idw_errors = *parm;

    setAutoFillBackground(true);
    QPalette pal = palette();
    contrast::setFixedBackground(pal, kBackground, {QPalette::Window});
    setPalette(pal);

    // Centred on the screen, reckoned in window units.
    using rt::Axis;
    const int x = int((rt::PixelsToUnits(gl_screen_width, Axis::X) - kWidthUnits) * 0.5);
    const int y = int((rt::PixelsToUnits(gl_screen_height, Axis::Y) - kHeightUnits) * 0.5);
    move(rt::UnitsToPixels(x, Axis::X), rt::UnitsToPixels(y, Axis::Y));

    if (!idw_errors) {
        close(); // deletes the window
        return false;
    }

    if (idw_errors->RowCount() == 0) {
        const long row = rows_->InsertRow(0);
        rows_->SetItem(row, QStringLiteral("as_message"), is_message[1]);
    } else {
        idw_errors->RowsCopy(1, idw_errors->RowCount(), *rows_, 1);
    }

    // The opener frees the record set as soon as this returns: nothing may
    // keep pointing at it, here or in the Message object.
    rt::Message().objectParm.reset();
    idw_errors = nullptr;
    return true;
}

long w_show_errors::key(int key, quint32)
{
    if (key == rt::KeyEscape)
        close();
    return 0;
}

void w_show_errors::keyPressEvent(QKeyEvent *e)
{
    key(rt::virtualKey(e->key()), rt::keyFlags(e->modifiers()));
    e->accept();
}

void w_show_errors::mousePressEvent(QMouseEvent *e)
{
    e->accept();
}

void w_show_errors::mouseMoveEvent(QMouseEvent *e)
{
    mousemove(rt::mouseFlags(e->buttons(), e->modifiers()), e->globalPosition());
}

void w_show_errors::mouseReleaseEvent(QMouseEvent *e)
{
    mousemove(rt::mouseFlags(e->buttons(), e->modifiers()), e->globalPosition());
}

// Where the pointer is, relative to the owner window (the screen when there
// is none). The owner stays put while this window is dragged, so the change
// from one step to the next is the pointer's own movement.
QPoint w_show_errors::pointerOnOwner(const QPointF &globalPos) const
{
    const QPoint global = globalPos.toPoint();
    const QWidget *owner = parentWidget();
    return owner ? owner->mapFromGlobal(global) : global;
}

// One step of a drag: the first step with the left button (alone) down
// records the pointer, each further step moves the window by the pointer's
// movement since the step before. Anything else ends the drag.
void w_show_errors::mousemove(quint32 flags, const QPointF &globalPos)
{
    if (flags != 1) {
        il_y_movement = 0;
        il_x_movement = 0;
        endDrag();
        return;
    }
    if (!ib_dragging)
        QApplication::setOverrideCursor(Qt::SizeAllCursor);
    const QPoint pointer = pointerOnOwner(globalPos);
    if (ib_dragging)
        move(pos() + QPoint(int(pointer.x() - il_x_movement), int(pointer.y() - il_y_movement)));
    il_y_movement = pointer.y();
    il_x_movement = pointer.x();
    ib_dragging = true;
}

void w_show_errors::endDrag()
{
    if (!ib_dragging)
        return;
    ib_dragging = false;
    QApplication::restoreOverrideCursor();
}

bool w_show_errors::eventFilter(QObject *watched, QEvent *e)
{
    if (watched == dw_show_errors->viewport()) {
        switch (e->type()) {
        case QEvent::MouseMove:
        case QEvent::MouseButtonRelease: {
            auto *me = static_cast<QMouseEvent *>(e);
            mousemove(rt::mouseFlags(me->buttons(), me->modifiers()), me->globalPosition());
            break;
        }
        case QEvent::MouseButtonDblClick:
            close();
            return true;
        default:
            break;
        }
    } else if (watched == p_1) {
        switch (e->type()) {
        case QEvent::MouseButtonPress:
            return true; // so that the release comes here too
        case QEvent::MouseButtonRelease:
            if (static_cast<QMouseEvent *>(e)->button() == Qt::LeftButton &&
                p_1->rect().contains(static_cast<QMouseEvent *>(e)->position().toPoint()))
                close();
            return true;
        case QEvent::MouseButtonDblClick:
            close();
            return true;
        default:
            break;
        }
    }
    return QWidget::eventFilter(watched, e);
}

void w_show_errors::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.fillRect(rect(), kBackground);
    p.setPen(kBorder);
    p.drawRect(rect().adjusted(0, 0, -1, -1));
}
