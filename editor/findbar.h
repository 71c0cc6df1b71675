// The find bar of the event pages: typing selects the first event whose
// name, venue or date-line city holds the text, Enter the next one (round
// to the first again), Escape closes the bar and gives the focus back.
#pragma once

#include <QPointer>
#include <QWidget>

#include <functional>

class EventDocument;
class QLabel;
class QLineEdit;

class FindBar : public QWidget {
    Q_OBJECT
public:
    FindBar(const EventDocument &doc, QWidget *parent);

    // Shows the bar with the focus in its text, remembering where the focus was.
    void open();
    // Hides the bar; the focus goes back where it was.
    void dismiss();
    QLineEdit *textField() const { return find_text; }

    // The window's part: the selected event's row, and selecting another.
    std::function<long()> currentRow;
    std::function<void(long row)> select;
    // Escape is the window's key too (it closes the error list).
    std::function<void()> escape;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void search(long after);

    const EventDocument &doc_;
    QLineEdit *find_text = nullptr;
    QLabel *status_ = nullptr;
    QPointer<QWidget> cameFrom_;
};
