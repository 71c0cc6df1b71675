#include "vo_base_pic_button.h"

#include "vantel_resources.h"

#include <QApplication>
#include <QEvent>
#include <QFile>
#include <QFileInfo>
#include <QFocusEvent>
#include <QFontMetrics>
#include <QIconEngine>
#include <QImageReader>
#include <QKeyEvent>
#include <QPainter>
#include <QPixmapCache>
#include <QStyle>
#include <QStyleOption>

namespace {

// Default size of a button: 320 by 120 window units.
const QSize kDefaultSize(rt::UnitsToPixels(320, rt::Axis::X), rt::UnitsToPixels(120, rt::Axis::Y));
const int kPictureTextGap = 6;
const int kPadding = 8;

QFont captionFont(QFont base)
{
    base.setFamilies({QStringLiteral("Arial"), QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")});
    base.setPointSize(8);
    base.setBold(true);
    return base;
}

} // namespace

vo_base_pic_button::vo_base_pic_button(QWidget *parent) : QPushButton(QStringLiteral("OK"), parent)
{
    init();
}

vo_base_pic_button::vo_base_pic_button(const QString &text, QWidget *parent) : QPushButton(text, parent)
{
    init();
}

void vo_base_pic_button::init()
{
    is_messages.assign(2, QString());
    is_messages[1] = QString();

    is_normal_picture = QStringLiteral("button_default.jpg");
    is_focus_picture = QStringLiteral("button_focus_default.jpg");
    DisabledName = QStringLiteral("button_default.jpg");
    PictureName = QStringLiteral("button_default.jpg");

    findParentWindow();

    setFont(captionFont(font()));
    setCursor(Qt::ArrowCursor);
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_Hover);
    resize(kDefaultSize);
    updateIcon();

    // Every click goes through clicked(), which a concrete button extends.
    connect(this, &QAbstractButton::clicked, this, [this] { clicked(); });
}

// The window whose key event gets this button's keys. Walking up from the
// button's parent, tab pages, the stack that holds them and the tab control
// are stepped over, and so is any other container inside the window (a
// group box, a button row); the walk ends at the top-level window. A button
// on a page of the main window's tab control thus reaches the main window.
void vo_base_pic_button::findParentWindow()
{
    QWidget *w = parentWidget();
    while (w && !w->isWindow())
        w = w->parentWidget();
    iw_parent_widget = w;
    iw_parent = dynamic_cast<rt::KeyTarget *>(w);
}

rt::KeyTarget *vo_base_pic_button::keyTarget() const
{
    return iw_parent_widget ? iw_parent : nullptr;
}

void vo_base_pic_button::setPictures(const QString &normal, const QString &focus, const QString &disabled)
{
    is_normal_picture = normal;
    is_focus_picture = focus;
    DisabledName = disabled;
    PictureName = hasFocus() ? is_focus_picture : is_normal_picture;
    updateIcon();
}

void vo_base_pic_button::setPictureName(const QString &name)
{
    if (PictureName == name)
        return;
    PictureName = name;
    updateIcon();
}

namespace {

// A picture of the button and its double-size companion for HiDPI screens.
struct Picture {
    QString path, hiDpi;
    QSize size; // of the picture in its own size; invalid when there is none

    explicit Picture(const QString &name)
    {
        const QString file = rt::PicturePath(name);
        size = QImageReader(file).size(); // reads the picture's header only
        if (!size.isValid())
            return;
        path = file;
        const QFileInfo info(file);
        const QString twice = info.path() + '/' + info.completeBaseName() + QStringLiteral("@2x.") + info.suffix();
        if (QFile::exists(twice))
            hiDpi = twice;
    }
};

// Every picture file is decoded once, when a button first shows it: most
// pictures of a window (its other states, the buttons of pages not yet
// looked at) are never drawn at all.
QPixmap decoded(const QString &path)
{
    QPixmap pm;
    const QString key = QStringLiteral("vantel-picture:") + path;
    if (!QPixmapCache::find(key, &pm) && pm.load(path))
        QPixmapCache::insert(key, pm);
    return pm;
}

// The button's icon: the picture of its state and the disabled picture,
// each drawn in its own size (smaller only where less room is given), the
// double-size one where the screen needs the pixels.
class PictureIconEngine : public QIconEngine {
public:
    PictureIconEngine(Picture normal, Picture disabled) : normal_(std::move(normal)), disabled_(std::move(disabled)) {}

    QIconEngine *clone() const override { return new PictureIconEngine(*this); }
    bool isNull() override { return !normal_.size.isValid() && !disabled_.size.isValid(); }
    QList<QSize> availableSizes(QIcon::Mode mode, QIcon::State) override
    {
        const Picture &p = pictureFor(mode);
        if (!p.size.isValid())
            return {};
        if (p.hiDpi.isEmpty())
            return {p.size};
        return {p.size, p.size * 2};
    }
    QSize actualSize(const QSize &size, QIcon::Mode mode, QIcon::State) override
    {
        return fitted(pictureFor(mode).size, size);
    }
    QPixmap pixmap(const QSize &size, QIcon::Mode mode, QIcon::State) override
    {
        const Picture &p = pictureFor(mode);
        if (!p.size.isValid())
            return QPixmap();
        const bool large = !p.hiDpi.isEmpty() && (size.width() > p.size.width() || size.height() > p.size.height());
        QPixmap pm = decoded(large ? p.hiDpi : p.path);
        if (pm.isNull())
            return pm;
        const QSize fit = fitted(pm.size(), size);
        if (fit != pm.size())
            pm = pm.scaled(fit, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        if (mode == QIcon::Disabled && !disabled_.size.isValid()) {
            QStyleOption option;
            option.palette = QGuiApplication::palette();
            pm = QApplication::style()->generatedIconPixmap(QIcon::Disabled, pm, &option);
        }
        return pm;
    }
    void paint(QPainter *painter, const QRect &rect, QIcon::Mode mode, QIcon::State state) override
    {
        const qreal ratio = painter->device() ? painter->device()->devicePixelRatio() : 1.0;
        QPixmap pm = pixmap((QSizeF(rect.size()) * ratio).toSize(), mode, state);
        if (pm.isNull())
            return;
        pm.setDevicePixelRatio(ratio);
        const QSize shown = (QSizeF(pm.size()) / ratio).toSize();
        painter->drawPixmap(QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, shown, rect), pm);
    }

private:
    const Picture &pictureFor(QIcon::Mode mode) const
    {
        const bool disabled = mode == QIcon::Disabled;
        const Picture &wanted = disabled ? disabled_ : normal_;
        return wanted.size.isValid() ? wanted : disabled ? normal_ : disabled_;
    }
    static QSize fitted(QSize own, const QSize &room)
    {
        if (own.isValid() && (own.width() > room.width() || own.height() > room.height()))
            own.scale(room, Qt::KeepAspectRatio);
        return own;
    }
    Picture normal_, disabled_;
};

} // namespace

// The icon of the current and the disabled picture; the picture is drawn
// in its own size.
void vo_base_pic_button::updateIcon()
{
    Picture normal(PictureName), disabled(DisabledName);
    pictureSize_ = normal.size.isValid() ? normal.size : disabled.size;
    setIcon(QIcon(new PictureIconEngine(std::move(normal), std::move(disabled))));
    if (pictureSize_.isValid())
        setIconSize(pictureSize_);
    updateGeometry();
    update();
}

int vo_base_pic_button::clicked()
{
    return isEnabled() && isVisible() ? 0 : 1;
}

void vo_base_pic_button::ue_keydown(int key, quint32 keyflags)
{
    if (rt::KeyTarget *target = keyTarget())
        target->key(key, keyflags);
}

bool vo_base_pic_button::event(QEvent *e)
{
    // Pages are often built before they are put into a tab control, so the
    // containing window is looked for again once the button is in place.
    if (e->type() == QEvent::ParentChange || e->type() == QEvent::Show)
        findParentWindow();
    return QPushButton::event(e);
}

void vo_base_pic_button::focusInEvent(QFocusEvent *e)
{
    setPictureName(is_focus_picture);
    QPushButton::focusInEvent(e);
}

void vo_base_pic_button::focusOutEvent(QFocusEvent *e)
{
    setPictureName(is_normal_picture);
    QPushButton::focusOutEvent(e);
}

void vo_base_pic_button::keyPressEvent(QKeyEvent *e)
{
    if (!keyTarget()) {
        QPushButton::keyPressEvent(e);
        return;
    }
    ue_keydown(rt::virtualKey(e->key()), rt::keyFlags(e->modifiers()));
    switch (e->key()) {
    case Qt::Key_Space:
        QPushButton::keyPressEvent(e); // pressed now, clicked on release
        break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (!e->isAutoRepeat())
            animateClick();
        e->accept();
        break;
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Up:
    case Qt::Key_Down:
        QPushButton::keyPressEvent(e);
        break;
    default:
        // The window has had the key; it goes no further up.
        e->accept();
        break;
    }
}

QSize vo_base_pic_button::sizeHint() const
{
    const QFontMetrics fm(font());
    int w = 2 * kPadding + fm.horizontalAdvance(text());
    if (pictureSize_.isValid())
        w += pictureSize_.width() + (text().isEmpty() ? 0 : kPictureTextGap);
    int h = qMax(fm.height(), pictureSize_.height()) + 8;
    return QSize(qMax(w, kDefaultSize.width()), qMax(h, kDefaultSize.height()));
}

QSize vo_base_pic_button::minimumSizeHint() const
{
    return sizeHint();
}

void vo_base_pic_button::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    const QRect r = rect();
    const bool down = isDown() || isChecked();
    const bool hover = underMouse() && isEnabled();
    const bool focus = hasFocus();

    // Flat face in the colour the pictures are drawn on, so they blend in.
    p.fillRect(r, QColor::fromRgb(vantel::resources::kButtonFace));

    QColor border = !isEnabled() ? QColor(200, 200, 200) : QColor(160, 160, 160);
    if (hover)
        border = QColor(120, 120, 120);
    if (focus)
        border = QColor(176, 32, 32);
    p.setPen(QPen(border, 1));
    p.drawRect(r.adjusted(0, 0, -1, -1));
    if (focus) {
        // A second ring inside the first: the focus shows at a glance.
        p.setPen(QPen(border, 1));
        p.drawRect(r.adjusted(1, 1, -2, -2));
    }
    if (down) {
        p.setPen(QPen(QColor(0, 0, 0, 60), 1));
        p.drawLine(r.left() + 1, r.top() + 1, r.right() - 1, r.top() + 1);
        p.drawLine(r.left() + 1, r.top() + 1, r.left() + 1, r.bottom() - 1);
    }

    const QFontMetrics fm(font());
    const int textWidth = fm.horizontalAdvance(text());
    const bool hasPicture = pictureSize_.isValid() && !icon().isNull();
    int contentWidth = textWidth;
    if (hasPicture)
        contentWidth += pictureSize_.width() + (text().isEmpty() ? 0 : kPictureTextGap);
    int x = r.left() + qMax(kPadding, (r.width() - contentWidth) / 2);
    const int shift = down ? 1 : 0;

    if (hasPicture) {
        const QIcon::Mode mode = isEnabled() ? QIcon::Normal : QIcon::Disabled;
        const QPixmap pm = icon().pixmap(pictureSize_, devicePixelRatioF(), mode);
        const int y = r.top() + (r.height() - pictureSize_.height()) / 2;
        p.drawPixmap(QRect(QPoint(x + shift, y + shift), pictureSize_), pm);
        x += pictureSize_.width() + kPictureTextGap;
    }
    if (!text().isEmpty()) {
        p.setFont(font());
        p.setPen(isEnabled() ? QColor(0, 0, 0) : QColor(128, 128, 128));
        const QRect textRect(x + shift, r.top() + shift, r.right() - x - kPadding / 2, r.height());
        p.drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextShowMnemonic,
                   fm.elidedText(text(), Qt::ElideRight, textRect.width()));
    }
}
