// Fields the small dialogs of the dates page share: a date typed in the
// user's pattern with F3 for the calendar, and labels that name their field.
#pragma once

#include <QDate>
#include <QDialog>
#include <QString>

#include <functional>

class QLabel;
class QLineEdit;
class QWidget;

namespace dialogfields {

// A masked field for a date in `pattern` (the user's short date pattern);
// F3 in it opens the calendar and takes the day picked.
QLineEdit *dateField(QWidget *parent, const char *name, const QString &pattern, const QString &spokenName);
// The date `edit` holds in `pattern`; invalid while it is incomplete.
QDate dateIn(const QLineEdit *edit, const QString &pattern);
// A label with a mnemonic ("&From:") that moves the focus to `field`.
QLabel *labelFor(QWidget *field, const QString &text);

} // namespace dialogfields

// A dialog of the dates page: it blocks the main window only, so that the
// help window stays usable beside it, and F1 opens the help of the page.
class DatesPageDialog : public QDialog {
    Q_OBJECT
public:
    explicit DatesPageDialog(QWidget *parent);
    std::function<void()> showHelp;

protected:
    void keyPressEvent(QKeyEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
};
