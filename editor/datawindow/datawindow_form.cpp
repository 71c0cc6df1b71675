// The form layout of a data window: a label and an editor per column,
// filled from the current row.
#include "datawindow.h"

#include "contrast.h"
#include "datepattern.h"
#include "recordset.h"
#include "recordsetmodel.h"

#include <QComboBox>
#include <QGridLayout>
#include <QRegularExpression>
#include <QStyledItemDelegate>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPlainTextEdit>

// ---- Form ------------------------------------------------------------------

void DataWindow::buildForm()
{
    form_ = new QGridLayout(this);
    form_->setContentsMargins(8, 8, 8, 8);
    form_->setHorizontalSpacing(18);
    QFont bold = font();
    bold.setBold(true);
    // Long forms are laid out in two columns of fields, each its own grid.
    const int perColumn = tabColumns_.size() > 8 ? int((tabColumns_.size() + 1) / 2) : int(tabColumns_.size());
    QGridLayout *grids[2] = {new QGridLayout, nullptr};
    form_->addLayout(grids[0], 0, 0, Qt::AlignTop);
    if (perColumn < int(tabColumns_.size())) {
        grids[1] = new QGridLayout;
        form_->addLayout(grids[1], 0, 1, Qt::AlignTop);
        form_->setColumnStretch(1, 1);
    }
    form_->setColumnStretch(0, 1);
    form_->setRowStretch(1, 1);
    for (QGridLayout *g : grids) {
        if (!g)
            continue;
        g->setHorizontalSpacing(10);
        g->setVerticalSpacing(6);
        g->setColumnStretch(1, 1);
    }
    int index = 0;
    QWidget *previous = nullptr;
    for (int col : tabColumns_) {
        const ColumnDef &c = def_.columns[size_t(col - 1)];
        QGridLayout *grid = grids[index >= perColumn && grids[1] ? 1 : 0];
        const int row = index >= perColumn && grids[1] ? index - perColumn : index;
        ++index;
        QWidget *editor = nullptr;
        switch (c.edit) {
        case EditStyle::MultiLineEdit: {
            auto *e = new QPlainTextEdit(this);
            e->setTabChangesFocus(true);
            // Five lines for the long texts, three for the others.
            e->setFixedHeight(e->fontMetrics().lineSpacing() * (c.width > 255 ? 5 : 3) + 8);
            connect(e, &QPlainTextEdit::textChanged, this, [this] {
                if (!refreshing_)
                    emit editChanged();
            });
            editor = e;
            break;
        }
        case EditStyle::DropDownDW: {
            auto *e = new QComboBox(this);
            const Definition &dd = ::definition(c.dddw);
            const int display = dd.columnIndex(c.dddwDisplay) - 1;
            const int data = dd.columnIndex(c.dddwData) - 1;
            e->addItem(QString(), QString());
            for (const auto &r : dd.rows)
                e->addItem(r[size_t(display)], r[size_t(data)]);
            e->setMaxVisibleItems(20);
            // The rows of the open list are drawn as rows of a list, in the
            // selection colours the style sheet gives them (see
            // paintFormHighlight), not as the items of a menu, which take
            // the field's own colours under a style sheet.
            e->setItemDelegate(new QStyledItemDelegate(e));
            // Every row is one line of text: the list measures one row, not
            // all of them, whenever its look changes.
            if (auto *list = qobject_cast<QListView *>(e->view()))
                list->setUniformItemSizes(true);
            // A choice goes into the record at once.
            connect(e, qOverload<int>(&QComboBox::activated), this, [this, e, col](int) {
                if (refreshing_ || currentRow_ < 1)
                    return;
                if (write(currentRow_, col, e->currentData().toString()))
                    emit itemChanged(currentRow_, def_.columns[size_t(col - 1)].name);
            });
            editor = e;
            break;
        }
        default: {
            auto *e = new QLineEdit(this);
            if (c.edit == EditStyle::EditMask)
                setEditMask(e, c.editMask);
            keepOnOneLine(e);
            connect(e, &QLineEdit::textEdited, this, &DataWindow::editChanged);
            connect(e, &QLineEdit::editingFinished, this, [this, e] { commitEditor(e); });
            editor = e;
            break;
        }
        }
        editor->setObjectName(c.name);
        editor->installEventFilter(this);
        editor->setAutoFillBackground(true);
        editor->setAccessibleName(spokenName(c));
        auto *label = new QLabel(c.label.trimmed().replace(QLatin1String("\r\n"), QLatin1String("\n")), this);
        label->setObjectName(c.name + QStringLiteral("_t"));
        label->setFont(bold);
        label->setBuddy(editor);
        label->setAlignment(Qt::AlignRight | Qt::AlignTop);
        label->setContentsMargins(0, 4, 0, 0);
        grid->addWidget(label, row, 0, Qt::AlignRight | Qt::AlignTop);
        grid->addWidget(editor, row, 1, Qt::AlignTop);
        editors_[col] = editor;
        if (previous)
            QWidget::setTabOrder(previous, editor);
        previous = editor;
    }
}

void DataWindow::refreshForm()
{
    if (!form_)
        return;
    // Filling the fields lays out their text, the better part of moving
    // from one record to the next while the form is on a page not shown.
    if (!isVisible()) {
        formStale_ = true;
        return;
    }
    fillForm();
}

void DataWindow::freshenForm() const
{
    if (formStale_)
        const_cast<DataWindow *>(this)->fillForm();
}

void DataWindow::showEvent(QShowEvent *event)
{
    freshenForm();
    QWidget::showEvent(event);
}

void DataWindow::fillForm()
{
    formStale_ = false;
    refreshing_ = true;
    for (auto &[col, editor] : editors_) {
        editor->setEnabled(currentRow_ >= 1);
        const QString text = currentRow_ >= 1 ? rs_->GetItemString(sourceRow(currentRow_), col) : QString();
        if (auto *e = qobject_cast<QLineEdit *>(editor)) {
            if (!e->hasFocus() || e->text() != text)
                e->setText(text);
        } else if (auto *e = qobject_cast<QPlainTextEdit *>(editor)) {
            if (e->toPlainText() != text)
                e->setPlainText(text);
        } else if (auto *e = qobject_cast<QComboBox *>(editor)) {
            const int i = e->findData(text);
            if (i >= 0) {
                e->setCurrentIndex(i);
            } else {
                // A code the list does not know is still shown, never lost.
                e->addItem(text, text);
                e->setCurrentIndex(e->count() - 1);
            }
        }
    }
    refreshing_ = false;
    setEditPending(false); // the fields show the record again
    // With no record the fields are disabled and the form itself takes the
    // focus, so that the page still names its help topic and F1 reaches the
    // window.
    QWidget *proxy = currentRow_ >= 1 && !tabColumns_.empty() ? editors_[tabColumns_.front()] : nullptr;
    if (focusProxy() != proxy)
        setFocusProxy(proxy);
    paintFormHighlight();
}

void DataWindow::paintFormHighlight()
{
    if (!form_)
        return;
    // The colours are this view's: a form that presents another view's
    // record set (the detail form over the event list) paints by its own
    // definition, not by the grid's, which has no field colours.
    for (auto &[col, editor] : editors_) {
        const QColor c = currentRow_ >= 1 ? fieldBackground(def_, *rs_, sourceRow(currentRow_), col, sourceRow(currentRow_)) : QColor();
        // The field's colour comes with a text colour that reads on it, not
        // with the text colour of the desktop theme (light on a dark theme).
        QPalette p = editor->palette();
        const QColor base = c.isValid() ? c : colorFromValue(kFieldBackgroundValue);
        contrast::setFixedBackground(p, base, {QPalette::Base, QPalette::Window, QPalette::Button});
        editor->setPalette(p);
        // A new style sheet lays out the drop-down's list again: only when
        // the colour really changes. The text colour comes from the palette
        // above: one in the sheet would also colour the rows of the open
        // list, which are drawn on the theme's menu colour. The row under
        // the cursor in that list is drawn in the current field's colours
        // (left to the theme, it would take the field's cream with the
        // theme's light text).
        if (auto *combo = qobject_cast<QComboBox *>(editor)) {
            const QColor current(255, 180, 180);
            const QString sheet = QStringLiteral("QComboBox { background: %1; } QComboBox QAbstractItemView { "
                                                 "selection-background-color: %2; selection-color: %3; } "
                                                 "QComboBox QAbstractItemView::item { padding: 2px 4px; }")
                                      .arg(base.name(), current.name(), contrast::textOn(current).name());
            if (combo->styleSheet() != sheet)
                combo->setStyleSheet(sheet);
        }
    }
}

void keepOnOneLine(QLineEdit *edit)
{
    QObject::connect(edit, &QLineEdit::textEdited, edit, [edit](const QString &text) {
        static const QRegularExpression breaks(QStringLiteral("\\r\\n|[\\t\\n\\v\\f\\r\\x{2028}\\x{2029}]"));
        if (!text.contains(breaks))
            return;
        QString before = text.left(edit->cursorPosition());
        QString all = text;
        before.replace(breaks, QStringLiteral(" "));
        all.replace(breaks, QStringLiteral(" "));
        edit->setText(all);
        edit->setCursorPosition(int(before.size()));
    });
}

QString spokenName(const ColumnDef &c)
{
    QString text = c.label.simplified();
    while (text.endsWith(QLatin1Char(':')))
        text = text.chopped(1).trimmed();
    if (!text.isEmpty())
        return text;
    text = c.name;
    text.replace(QLatin1Char('_'), QLatin1Char(' '));
    static const QRegularExpression number(QStringLiteral("(\\D)(\\d+)$"));
    text.replace(number, QStringLiteral("\\1 \\2"));
    if (!text.isEmpty())
        text[0] = text[0].toUpper();
    return text;
}
