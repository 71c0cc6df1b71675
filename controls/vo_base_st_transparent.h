// A static text whose background lets whatever lies behind it show
// through, so that it can stand on a picture or a coloured area without a
// box of its own colour around the letters. In every other respect it is a
// plain label: its text, font size and colour are set by whoever holds it.
//
// Transparency: a child widget that does not fill its own background is
// drawn after its parent, over what the parent (and any sibling below it)
// has already painted. The label therefore never fills its background, and
// needs no repaint trick of its own.
#pragma once

#include <QLabel>

class vo_base_st_transparent : public QLabel {
    Q_OBJECT
public:
    explicit vo_base_st_transparent(QWidget *parent = nullptr);
    explicit vo_base_st_transparent(const QString &text, QWidget *parent = nullptr);

private:
    void init();
};
