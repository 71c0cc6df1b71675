// The base of the program's picture buttons: a push button that shows a
// picture left of its bold caption, swaps the picture with the keyboard
// focus, and hands every key pressed on it to the window that contains it,
// so that the window's own keys (Escape, F1) work while a button has the
// focus.
//
// A concrete button derives from it, sets its three pictures with
// setPictures() in its constructor and overrides clicked(), calling this
// class's clicked() first:
//
//     int pb_save::clicked()
//     {
//         if (vo_base_pic_button::clicked() == 1)
//             return 1;
//         ... act ...
//         return 0;
//     }
#pragma once

#include "runtime.h"

#include <QIcon>
#include <QPointer>
#include <QPushButton>
#include <QSize>
#include <QString>

#include <vector>

class vo_base_pic_button : public QPushButton {
    Q_OBJECT
public:
    explicit vo_base_pic_button(QWidget *parent = nullptr);
    explicit vo_base_pic_button(const QString &text, QWidget *parent = nullptr);

    // The pictures shown without the focus, with the focus and while
    // disabled, by their file names ("save.jpg", "save_focus.jpg",
    // "save_dis.jpg"). The current picture follows at once.
    void setPictures(const QString &normal, const QString &focus, const QString &disabled);

    QString normalPicture() const { return is_normal_picture; }
    QString focusPicture() const { return is_focus_picture; }
    QString disabledName() const { return DisabledName; }
    // The picture shown now (the disabled picture aside).
    QString pictureName() const { return PictureName; }

    // The window that receives this button's keys: the top-level window
    // that contains it, tab controls and their pages stepped over. Null
    // while the button has no parent.
    QWidget *parentWindow() const { return iw_parent_widget; }
    rt::KeyTarget *keyTarget() const;

    // Click handling: 1 when the button is disabled or hidden (it must not
    // act), otherwise 0. Called for every click; a concrete button
    // overrides it and calls this first.
    virtual int clicked();

    // Hands a key to the containing window's key event, if it has one.
    void ue_keydown(int key, quint32 keyflags);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    bool event(QEvent *e) override;
    void paintEvent(QPaintEvent *e) override;
    void focusInEvent(QFocusEvent *e) override;
    void focusOutEvent(QFocusEvent *e) override;
    void keyPressEvent(QKeyEvent *e) override;

    std::vector<QString> is_messages; // indexed from 1; element 0 unused
    QString is_normal_picture;
    QString is_focus_picture;

private:
    void init();
    void findParentWindow();
    void setPictureName(const QString &name);
    void updateIcon();

    QString PictureName;
    QString DisabledName;
    rt::KeyTarget *iw_parent = nullptr;    // valid while iw_parent_widget lives
    QPointer<QWidget> iw_parent_widget;
    QSize pictureSize_;
};
