#include "dialogfields.h"

#include "datepattern.h"
#include "globals.h"
#include "helpviewer.h"
#include "runtime.h"
#include "w_calendar.h"

#include <QEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>

namespace {

// F3 in a date field: the calendar opens, and the day picked (in the user's
// short date format) is written into the field in its own pattern.
class CalendarKey : public QObject {
public:
    CalendarKey(QLineEdit *edit, const QString &pattern) : QObject(edit), edit_(edit), pattern_(pattern) {}

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched != edit_ || event->type() != QEvent::KeyPress
            || static_cast<QKeyEvent *>(event)->key() != Qt::Key_F3)
            return false;
        // The picker opens on the month of the date typed, if any.
        const QDate typed = dateFromPattern(edit_->text(), pattern_);
        if (typed.isValid())
            rt::Message().stringParm = dateText(typed, gs_short_date_format);
        const QString picked = w_calendar::pick(edit_->window());
        const QDate date = dateFromPattern(picked, gs_short_date_format);
        if (date.isValid()) {
            edit_->setText(dateText(date, pattern_));
            // As if typed: the dialog follows its fields' edits.
            emit edit_->textEdited(edit_->text());
        }
        edit_->setFocus();
        return true;
    }

private:
    QLineEdit *edit_;
    QString pattern_;
};

} // namespace

namespace dialogfields {

QLineEdit *dateField(QWidget *parent, const char *name, const QString &pattern, const QString &spokenName)
{
    auto *edit = new QLineEdit(parent);
    edit->setObjectName(QLatin1String(name));
    edit->setAccessibleName(spokenName);
    edit->setAccessibleDescription(QStringLiteral("F3 - Date Search"));
    setEditMask(edit, pattern);
    edit->installEventFilter(new CalendarKey(edit, pattern));
    const QFontMetrics fm = edit->fontMetrics();
    edit->setMinimumWidth(fm.horizontalAdvance(pattern) + 4 * fm.averageCharWidth());
    return edit;
}

QDate dateIn(const QLineEdit *edit, const QString &pattern)
{
    return dateFromPattern(edit->text(), pattern);
}

QLabel *labelFor(QWidget *field, const QString &text)
{
    auto *label = new QLabel(text, field->parentWidget());
    label->setBuddy(field);
    return label;
}

} // namespace dialogfields

DatesPageDialog::DatesPageDialog(QWidget *parent) : QDialog(parent)
{
    setWindowModality(Qt::WindowModal);
}

void DatesPageDialog::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_F1 && showHelp) {
        showHelp();
        // When the help closes, the keys come back here: the window manager
        // would hand them to the main window, which this dialog blocks.
        if (QWidget *help = rt::helpWindow())
            help->installEventFilter(this);
        return;
    }
    QDialog::keyPressEvent(event);
}

bool DatesPageDialog::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Hide && watched == rt::helpWindow() && isVisible()) {
        watched->removeEventFilter(this);
        raise();
        activateWindow();
    }
    return QDialog::eventFilter(watched, event);
}
