// The error list window: a pop-up that lists the errors of a failed
// validation, one row per error (field, record number, message), on a pink
// face centred on the screen. It does not block its owner. It closes on
// Escape, on a click or double-click on its stop sign and on a double-click
// in the list; it can be dragged with the left mouse button, by the list
// too.
//
// The opener hands over a record set of the definition "d_show_errors"
// through the Message object. The window copies the rows while it opens and
// keeps no reference to that record set, so the opener frees it right after
// opening:
//
//     RecordSet errors(definition("d_show_errors"));
//     ... append rows ...
//     QPointer<w_show_errors> shown = w_show_errors::open_with_parm(this, &errors);
#pragma once

#include "runtime.h"

#include <QPoint>
#include <QString>
#include <QWidget>

#include <vector>

class QLabel;
class QTableView;
class RecordSet;
class RecordSetModel;
class vo_base_st_transparent;

class w_show_errors : public QWidget, public rt::KeyTarget {
    Q_OBJECT
public:
    // Opens the window for `owner` (the main window; may be null) with the
    // record set in rt::Message().objectParm, a RecordSet*. Returns the
    // shown window, which deletes itself when it closes, or nullptr when no
    // record set was passed: the window then closed at once. The Message
    // object's object parameter is cleared once the rows are copied.
    static w_show_errors *open_with_parm(QWidget *owner);
    // The same, putting `errors` into the Message object first.
    static w_show_errors *open_with_parm(QWidget *owner, RecordSet *errors);

    ~w_show_errors() override;

    // Key event: Escape (27) closes the window; other keys are not handled.
    // Answers 0.
    long key(int key, quint32 keyflags) override;

    // The window's own copy of the rows, as listed.
    const RecordSet &errors() const { return *rows_; }

    // Size in window units.
    static constexpr int kWidthUnits = 2981;
    static constexpr int kHeightUnits = 716;

protected:
    void keyPressEvent(QKeyEvent *e) override;
    void mousePressEvent(QMouseEvent *e) override;
    void mouseMoveEvent(QMouseEvent *e) override;
    void mouseReleaseEvent(QMouseEvent *e) override;
    void paintEvent(QPaintEvent *e) override;
    bool eventFilter(QObject *watched, QEvent *e) override;

private:
    explicit w_show_errors(QWidget *owner);
    bool open();                                      // false when it closed itself
    void mousemove(quint32 flags, const QPointF &globalPos);
    void endDrag();
    QPoint pointerOnOwner(const QPointF &globalPos) const;

    std::vector<QString> is_message;                  // indexed from 1; element 0 unused
    RecordSet *idw_errors = nullptr;                  // only while opening
    long il_x_movement = 0;
    long il_y_movement = 0;
    bool ib_dragging = false;

    QTableView *dw_show_errors = nullptr;
    RecordSet *rows_ = nullptr;                       // own copy of the rows
    RecordSetModel *model_ = nullptr;
    QLabel *p_1 = nullptr;
    vo_base_st_transparent *st_escape = nullptr;
};
