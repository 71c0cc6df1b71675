// A data window's focus and keys: which field has the focus, Tab and
// Shift+Tab from field to field and line to line, Enter, the page keys of a
// form, and the keys handed to the page first.
#include "datawindow.h"

#include "recordset.h"
#include "recordsetmodel.h"
#include "recordsetview.h"
#include "runtime.h"

#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTableView>

#include <algorithm>

// ---- Focus and keys --------------------------------------------------------

void DataWindow::onFocusChanged(QWidget *old, QWidget *now)
{
    const bool wasIn = old && (old == this || isAncestorOf(old));
    const bool isIn = now && (now == this || isAncestorOf(now));
    if (wasIn && old != now && form_ && columnOfEditor(old) > 0)
        commitEditor(old);
    if (isIn && form_) {
        const int col = columnOfEditor(now);
        if (col > 0)
            setCurrentColumnInternal(col);
    }
    if (isIn && !hasFocus_) {
        hasFocus_ = true;
        emit getFocus();
    } else if (!isIn && hasFocus_) {
        hasFocus_ = false;
        emit loseFocus();
    }
}

void DataWindow::sendTab()
{
    moveByTab(false);
}

bool DataWindow::moveByTab(bool backwards)
{
    freshenForm();
    if (tabColumns_.empty())
        return false;
    auto it = std::find(tabColumns_.begin(), tabColumns_.end(), currentCol_);
    const bool last = it == tabColumns_.end() || it + 1 == tabColumns_.end();
    const bool first = it == tabColumns_.begin();
    if (grid_) {
        const long n = view_->RowCount();
        if (currentRow_ < 1)
            return false;
        AcceptText();
        int col = 0;
        long row = currentRow_;
        if (backwards) {
            if (first) {
                if (row <= 1) {
                    // Shift+Tab on the first field of the first line leaves
                    // the grid for the control before it (its buttons).
                    for (QWidget *w = previousInFocusChain(); w && w != this; w = w->previousInFocusChain()) {
                        if (isAncestorOf(w) || !(w->focusPolicy() & Qt::TabFocus) || !w->isVisible()
                            || !w->isEnabled())
                            continue;
                        w->setFocus(Qt::BacktabFocusReason);
                        break;
                    }
                    return true;
                }
                --row;
                col = tabColumns_.back();
            } else {
                col = *(it - 1);
            }
        } else if (last) {
            if (row >= n) {
                if (ue_tab_out)
                    ue_tab_out();
                return true;
            }
            ++row;
            col = tabColumns_.front();
        } else {
            col = *(it + 1);
        }
        grid_->setCurrentIndex(model_->index(int(row - 1), col - 1));
        return true;
    }
    // Forms: the focus chain already follows the tab order.
    QWidget *focused = QApplication::focusWidget();
    if (!focused)
        return false;
    if (!backwards && last && ue_tab_out) {
        AcceptText();
        ue_tab_out();
        return true;
    }
    focused->nextInFocusChain();
    if (backwards)
        focusPreviousChild();
    else
        focusNextChild();
    return true;
}

bool DataWindow::handleKey(QObject *, int qtKey, Qt::KeyboardModifiers mods)
{
    const int vk = rt::virtualKey(qtKey);
    if (ue_key && vk != 0 && ue_key(vk, rt::keyFlags(mods)))
        return true;
    if ((qtKey == Qt::Key_Return || qtKey == Qt::Key_Enter) && ue_enter) {
        ue_enter();
        return true;
    }
    if (grid_ && (qtKey == Qt::Key_Tab || qtKey == Qt::Key_Backtab) && !(mods & Qt::ControlModifier))
        return moveByTab(qtKey == Qt::Key_Backtab || (mods & Qt::ShiftModifier));
    // Page Down and Page Up move a form to the next and the previous record.
    if (form_ && (qtKey == Qt::Key_PageDown || qtKey == Qt::Key_PageUp) && !(mods & Qt::ControlModifier)) {
        const long row = currentRow_ + (qtKey == Qt::Key_PageDown ? 1 : -1);
        if (row >= 1 && row <= view_->RowCount()) {
            AcceptText();
            SetRow(row);
        }
        return true;
    }
    if (form_ && qtKey == Qt::Key_Tab && !(mods & (Qt::ShiftModifier | Qt::ControlModifier)) && ue_tab_out) {
        auto it = std::find(tabColumns_.begin(), tabColumns_.end(), currentCol_);
        if (it != tabColumns_.end() && it + 1 == tabColumns_.end())
            return moveByTab(false);
    }
    return false;
}

bool DataWindow::eventFilter(QObject *watched, QEvent *event)
{
    freshenForm();
    if (event->type() == QEvent::KeyPress) {
        auto *ke = static_cast<QKeyEvent *>(event);
        if (handleKey(watched, ke->key(), ke->modifiers()))
            return true;
    } else if (event->type() == QEvent::ShortcutOverride) {
        auto *ke = static_cast<QKeyEvent *>(event);
        if (ke->key() == Qt::Key_F1 || ke->key() == Qt::Key_F3) {
            event->accept();
            return true;
        }
        // Undo and redo belong to the window, which takes back changes of
        // the record (a field's edit included): a field keeps no history
        // of its own.
        if (ke->matches(QKeySequence::Undo) || ke->matches(QKeySequence::Redo)
            || ke->keyCombination() == QKeyCombination(Qt::ControlModifier, Qt::Key_Y)) {
            event->ignore();
            return true;
        }
    } else if (grid_ && watched == grid_->viewport() && event->type() == QEvent::MouseButtonDblClick) {
        // On a cell the view makes the row current first and then reports
        // the double click itself; below the last row it reports nothing, so
        // the double click is reported here with row 0.
        auto *me = static_cast<QMouseEvent *>(event);
        if (me->button() == Qt::LeftButton && !grid_->indexAt(me->position().toPoint()).isValid())
            emit doubleClicked(0);
        return false;
    }
    return QWidget::eventFilter(watched, event);
}
