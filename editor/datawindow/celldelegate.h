// The editors of a data window's grid cells: line edits with the column's
// mask or date pattern that commit into the cell they were opened on.
#pragma once

#include "contrast.h"
#include "datawindow.h"
#include "recordset.h"
#include "recordsetmodel.h"

#include <QLineEdit>
#include <QStyledItemDelegate>

// The cell a grid editor was opened on (a QPersistentModelIndex).
inline constexpr char kCellProperty[] = "vantel_cell";

// Editors of the grid: masked line edits that report every keystroke.
class DataWindowDelegate : public QStyledItemDelegate {
public:
    explicit DataWindowDelegate(DataWindow *dw) : QStyledItemDelegate(dw), dw_(dw) {}

    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &, const QModelIndex &index) const override
    {
        const int col = index.column() + 1;
        const ColumnDef &c = dw_->definition().columns[size_t(col - 1)];
        auto *edit = new QLineEdit(parent);
        edit->setObjectName(c.name);
        edit->setAccessibleName(spokenName(c));
        edit->setFrame(false);
        // The editor commits into its own cell: by the time the view hands
        // the text back, the view's current cell may already be the next one.
        edit->setProperty(kCellProperty, QVariant::fromValue(QPersistentModelIndex(index)));
        const auto mask = dw_->dateMasks_.find(col);
        if (mask != dw_->dateMasks_.end())
            edit->setInputMask(inputMaskFor(mask->second));
        else if (c.edit == EditStyle::EditMask)
            setEditMask(edit, c.editMask);
        if (c.edit != EditStyle::MultiLineEdit)
            keepOnOneLine(edit);
        // The open cell is the current field: the highlight colour, with
        // text that reads on it whatever the desktop theme.
        const QColor highlight(255, 180, 180);
        edit->setStyleSheet(QStringLiteral("background: %1; color: %2;")
                                .arg(highlight.name(), contrast::textOn(highlight).name()));
        QObject::connect(edit, &QLineEdit::textEdited, dw_, &DataWindow::editChanged);
        return edit;
    }

    // The view makes the delegate the editor's event filter, and the
    // delegate's own handling of Tab and Enter (commit and move to the next
    // cell) would run before the data window's: the data window sees the
    // keys first, so that tabbing out of the last field and Enter as Tab
    // work inside an open editor too.
    bool eventFilter(QObject *editor, QEvent *event) override
    {
        if (dw_->eventFilter(editor, event))
            return true;
        return QStyledItemDelegate::eventFilter(editor, event);
    }

    void setEditorData(QWidget *editor, const QModelIndex &index) const override
    {
        auto *edit = static_cast<QLineEdit *>(editor);
        const long row = dw_->sourceRow(index.row() + 1);
        const int col = index.column() + 1;
        edit->setText(dw_->rs_->IsNull(row, col) ? QString() : RecordSetModel::formatValue(*dw_->rs_, row, col));
        // The field's text is selected, so typing replaces it: in a full
        // mask such as "00:00" a cursor left at the end takes no input.
        edit->selectAll();
    }

    void setModelData(QWidget *editor, QAbstractItemModel *, const QModelIndex &) const override
    {
        dw_->commitEditor(editor);
    }

private:
    DataWindow *dw_;
};
