#include "w_schedule.h"

#include "datepattern.h"
#include "dialogfields.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QTableWidget>

namespace {

const char *const kDayNames[7] = {"Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday", "Sunday"};

// The times grid: Tab, Shift+Tab and Enter go from cell to cell as in the
// date lines, and past the last cell (before the first) on to the next
// control, so that the grid never traps the keyboard.
class TimesGrid : public QTableWidget {
public:
    using QTableWidget::QTableWidget;

    bool atEdge(bool forward) const
    {
        const QModelIndex cur = currentIndex();
        if (!cur.isValid())
            return true;
        return forward ? cur.row() == rowCount() - 1 && cur.column() == columnCount() - 1
                       : cur.row() == 0 && cur.column() == 0;
    }

protected:
    bool focusNextPrevChild(bool next) override
    {
        if (atEdge(next))
            return QWidget::focusNextPrevChild(next);
        return QTableWidget::focusNextPrevChild(next);
    }

    void closeEditor(QWidget *editor, QAbstractItemDelegate::EndEditHint hint) override
    {
        const bool moving = hint == QAbstractItemDelegate::EditNextItem || hint == QAbstractItemDelegate::EditPreviousItem;
        const bool forward = hint == QAbstractItemDelegate::EditNextItem;
        if (moving && atEdge(forward)) {
            QTableWidget::closeEditor(editor, QAbstractItemDelegate::NoHint);
            QWidget::focusNextPrevChild(forward);
            return;
        }
        QTableWidget::closeEditor(editor, hint);
    }

    void keyPressEvent(QKeyEvent *event) override
    {
        // Enter moves on like Tab: in a dialog it would otherwise add the
        // lines half typed.
        if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)
            && !(event->modifiers() & ~Qt::KeypadModifier)) {
            focusNextPrevChild(true);
            event->accept();
            return;
        }
        QTableWidget::keyPressEvent(event);
    }
};

// Editors of the times: "hh:mm" on the 24-hour clock, every key reported.
class TimeDelegate : public QStyledItemDelegate {
public:
    using Typed = std::function<void(const QModelIndex &, const QString &)>;
    TimeDelegate(QObject *parent, Typed typed) : QStyledItemDelegate(parent), typed_(std::move(typed)) {}

    QWidget *createEditor(QWidget *parent, const QStyleOptionViewItem &, const QModelIndex &index) const override
    {
        auto *edit = new QLineEdit(parent);
        edit->setFrame(false);
        setEditMask(edit, QStringLiteral("00:00"));
        edit->setAccessibleName(QStringLiteral("%1, time %2")
                                    .arg(index.model()->headerData(index.row(), Qt::Vertical).toString())
                                    .arg(index.column() + 1));
        const QPersistentModelIndex cell(index);
        connect(edit, &QLineEdit::textEdited, this, [this, cell](const QString &text) { typed_(cell, text); });
        return edit;
    }

    void setEditorData(QWidget *editor, const QModelIndex &index) const override
    {
        auto *edit = static_cast<QLineEdit *>(editor);
        edit->setText(index.data(Qt::EditRole).toString());
        // Typing replaces the time: a full mask takes no more keys at its end.
        edit->selectAll();
    }

    void setModelData(QWidget *editor, QAbstractItemModel *model, const QModelIndex &index) const override
    {
        QString text = static_cast<QLineEdit *>(editor)->text();
        if (QString(text).remove(QLatin1Char(':')).trimmed().isEmpty())
            text.clear();
        model->setData(index, text);
    }

    bool eventFilter(QObject *object, QEvent *event) override
    {
        auto *editor = qobject_cast<QWidget *>(object);
        if (editor && event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent *>(event)->key();
            // Escape leaves the dialog from a time too, not only the time.
            if (key == Qt::Key_Escape) {
                if (auto *dialog = qobject_cast<QDialog *>(editor->window())) {
                    dialog->reject();
                    return true;
                }
            }
            // Tab, Shift+Tab and Enter move on also from a time not (or
            // not yet wholly) typed, which the view's own handling keeps.
            const bool back = key == Qt::Key_Backtab
                              || (key == Qt::Key_Tab && static_cast<QKeyEvent *>(event)->modifiers() & Qt::ShiftModifier);
            if (key == Qt::Key_Tab || back || key == Qt::Key_Return || key == Qt::Key_Enter) {
                emit commitData(editor);
                emit closeEditor(editor, back ? EditPreviousItem : EditNextItem);
                return true;
            }
        }
        return QStyledItemDelegate::eventFilter(object, event);
    }

private:
    Typed typed_;
};

} // namespace

int w_schedule::weekdayOfRow(int row)
{
    return (int(QLocale().firstDayOfWeek()) - 1 + row) % 7;
}

w_schedule::w_schedule(const QString &datePattern, const QString &city, const QString &state, QWidget *parent)
    : DatesPageDialog(parent), pattern_(datePattern)
{
    setObjectName(QStringLiteral("w_schedule"));
    setWindowTitle(QStringLiteral("Schedule"));

    from_ = dialogfields::dateField(this, "schedule_from", pattern_, QStringLiteral("First date"));
    to_ = dialogfields::dateField(this, "schedule_to", pattern_, QStringLiteral("Last date"));

    auto *grid = new TimesGrid(7, schedule::kMaxTimes, this);
    times_ = grid;
    times_->setObjectName(QStringLiteral("schedule_times"));
    times_->setAccessibleName(QStringLiteral("Times of each weekday"));
    QStringList days, columns;
    for (int row = 0; row < 7; ++row)
        days << QLatin1String(kDayNames[weekdayOfRow(row)]);
    for (int col = 1; col <= schedule::kMaxTimes; ++col)
        columns << QStringLiteral("Time %1").arg(col);
    times_->setVerticalHeaderLabels(days);
    times_->setHorizontalHeaderLabels(columns);
    times_->setItemDelegate(new TimeDelegate(times_, [this](const QModelIndex &cell, const QString &text) {
        typingCell_ = cell;
        typingText_ = text;
        updatePreview();
    }));
    times_->setEditTriggers(QAbstractItemView::CurrentChanged | QAbstractItemView::AnyKeyPressed
                            | QAbstractItemView::DoubleClicked);
    times_->setSelectionMode(QAbstractItemView::NoSelection);
    times_->setTabKeyNavigation(true);
    times_->setWordWrap(false);
    const QFontMetrics fm = times_->fontMetrics();
    times_->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    times_->horizontalHeader()->setDefaultSectionSize(
        std::max(fm.horizontalAdvance(QStringLiteral("Time 6")), fm.horizontalAdvance(QStringLiteral("00:00"))) + 16);
    times_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    times_->verticalHeader()->setDefaultSectionSize(fm.height() + 8);
    times_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    times_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    times_->setFixedSize(times_->verticalHeader()->sizeHint().width()
                             + times_->horizontalHeader()->defaultSectionSize() * schedule::kMaxTimes
                             + 2 * times_->frameWidth(),
                         times_->horizontalHeader()->sizeHint().height()
                             + times_->verticalHeader()->defaultSectionSize() * 7 + 2 * times_->frameWidth());
    for (int row = 0; row < 7; ++row)
        for (int col = 0; col < schedule::kMaxTimes; ++col)
            times_->setItem(row, col, new QTableWidgetItem);
    times_->setCurrentCell(0, 0);

    except_ = new QPlainTextEdit(this);
    except_->setObjectName(QStringLiteral("schedule_except"));
    except_->setAccessibleName(QStringLiteral("Dates to leave out"));
    except_->setTabChangesFocus(true);
    except_->setPlaceholderText(QStringLiteral("One date a line, or separated by commas"));
    except_->setFixedHeight(fm.height() * 3 + 12);

    city_ = new QLineEdit(city, this);
    city_->setObjectName(QStringLiteral("schedule_city"));
    city_->setAccessibleName(QStringLiteral("City"));
    state_ = new QLineEdit(state, this);
    state_->setObjectName(QStringLiteral("schedule_state"));
    state_->setAccessibleName(QStringLiteral("State"));

    preview_ = new QListWidget(this);
    preview_->setObjectName(QStringLiteral("schedule_preview"));
    preview_->setAccessibleName(QStringLiteral("Date lines to add"));
    preview_->setSelectionMode(QAbstractItemView::NoSelection);
    preview_->setMinimumWidth(fm.horizontalAdvance(QStringLiteral("00.00.0000 - 00.00.0000 Mon-Sun 00:00 00:00 00:00")));

    auto *buttons = new QDialogButtonBox(this);
    add_ = buttons->addButton(QStringLiteral("Add date lines"), QDialogButtonBox::AcceptRole);
    add_->setObjectName(QStringLiteral("pb_schedule_add"));
    QPushButton *cancel = buttons->addButton(QDialogButtonBox::Cancel);
    cancel->setObjectName(QStringLiteral("pb_schedule_cancel"));
    add_->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, [this] {
        if (result_.ok())
            accept();
    });
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto *layout = new QGridLayout(this);
    auto *dates = new QHBoxLayout;
    dates->addWidget(dialogfields::labelFor(from_, QStringLiteral("&From:")));
    dates->addWidget(from_);
    dates->addSpacing(fm.averageCharWidth() * 2);
    dates->addWidget(dialogfields::labelFor(to_, QStringLiteral("&To:")));
    dates->addWidget(to_);
    dates->addStretch();
    dates->addWidget(new QLabel(QStringLiteral("F3 - Date Search"), this));
    layout->addLayout(dates, 0, 0, 1, 2);
    layout->addWidget(dialogfields::labelFor(times_, QStringLiteral("T&imes (hh:mm, 24-hour clock):")), 1, 0);
    layout->addWidget(times_, 2, 0);
    layout->addWidget(dialogfields::labelFor(except_, QStringLiteral("&Leave out these dates:")), 3, 0);
    layout->addWidget(except_, 4, 0);
    auto *place = new QHBoxLayout;
    place->addWidget(dialogfields::labelFor(city_, QStringLiteral("&City:")));
    place->addWidget(city_, 2);
    place->addWidget(dialogfields::labelFor(state_, QStringLiteral("&State:")));
    place->addWidget(state_, 1);
    layout->addLayout(place, 5, 0);
    layout->addWidget(dialogfields::labelFor(preview_, QStringLiteral("Date lines to &add:")), 1, 1);
    layout->addWidget(preview_, 2, 1, 4, 1);
    layout->addWidget(buttons, 6, 0, 1, 2);
    layout->setColumnStretch(1, 1);

    setTabOrder(from_, to_);
    setTabOrder(to_, times_);
    setTabOrder(times_, except_);
    setTabOrder(except_, city_);
    setTabOrder(city_, state_);
    setTabOrder(state_, preview_);
    setTabOrder(preview_, add_);
    setTabOrder(add_, cancel);

    for (QLineEdit *edit : {from_, to_, city_, state_})
        connect(edit, &QLineEdit::textChanged, this, &w_schedule::updatePreview);
    connect(except_, &QPlainTextEdit::textChanged, this, &w_schedule::updatePreview);
    connect(times_, &QTableWidget::itemChanged, this, [this](QTableWidgetItem *item) {
        if (typingCell_ == times_->indexFromItem(item))
            typingCell_ = QPersistentModelIndex();
        updatePreview();
    });
    updatePreview();
    from_->setFocus();
}

void w_schedule::setTextLimits(int city, int state)
{
    if (city > 0)
        city_->setMaxLength(city);
    if (state > 0)
        state_->setMaxLength(state);
}

QString w_schedule::cellText(int row, int col) const
{
    if (typingCell_.isValid() && typingCell_.row() == row && typingCell_.column() == col)
        return typingText_;
    const QTableWidgetItem *item = times_->item(row, col);
    return item ? item->text() : QString();
}

schedule::Request w_schedule::request() const
{
    schedule::Request request;
    request.first = dialogfields::dateIn(from_, pattern_);
    request.last = dialogfields::dateIn(to_, pattern_);
    request.leaveOut = schedule::parseDates(except_->toPlainText(), pattern_).dates;
    request.datePattern = pattern_;
    for (int row = 0; row < 7; ++row) {
        QStringList &times = request.weekdays[size_t(weekdayOfRow(row))];
        for (int col = 0; col < schedule::kMaxTimes; ++col)
            times << cellText(row, col);
    }
    request.city = city_->text().trimmed();
    request.state = state_->text().trimmed();
    return request;
}

void w_schedule::updatePreview()
{
    const schedule::DateList except = schedule::parseDates(except_->toPlainText(), pattern_);
    if (!except.ok()) {
        result_ = schedule::Result();
        result_.error = except.error;
    } else {
        result_ = schedule::build(request());
    }
    preview_->clear();
    preview_->addItems(schedule::preview(result_, pattern_));
    add_->setEnabled(result_.ok());
}
