#include "vo_base_pic_button.h"

#include "vantel_resources.h"

#include <QEvent>
#include <QFile>
#include <QFileInfo>
#include <QFocusEvent>
#include <QFontMetrics>
#include <QImageReader>
#include <QKeyEvent>
#include <QPainter>

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

// Builds the icon from the current and the disabled picture, each with its
// double-size companion so that it stays crisp on HiDPI screens. The
// picture is drawn in its own size.
void vo_base_pic_button::updateIcon()
{
    QIcon icon;
    auto add = [&icon](const QString &name, QIcon::Mode mode) -> QSize {
        const QString path = rt::PicturePath(name);
        const QSize size = QImageReader(path).size();
        if (!size.isValid())
            return QSize();
        icon.addFile(path, size, mode);
        const QFileInfo info(path);
        const QString hiDpi = info.path() + '/' + info.completeBaseName() + QStringLiteral("@2x.") + info.suffix();
        if (QFile::exists(hiDpi))
            icon.addFile(hiDpi, size * 2, mode);
        return size;
    };
    pictureSize_ = add(PictureName, QIcon::Normal);
    const QSize disabledSize = add(DisabledName, QIcon::Disabled);
    if (!pictureSize_.isValid())
        pictureSize_ = disabledSize;
    setIcon(icon);
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
