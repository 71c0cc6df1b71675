// A main window opened as the program opens it, over data files written by
// the test, with the helpers that drive its pages by mouse and keyboard.
#pragma once

#include "mainwindow_fixture.h"

#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTabBar>
#include <QTableView>
#include <QTimer>

#include <functional>
#include <utility>
#include <vector>

namespace pages {

enum Page { Admin = 0, List = 1, Detail = 2, Dates = 3 };

using testing_support::dateLine;

// One line of the events file, with the short description "short <name>".
inline QByteArray eventLine(const QString &id, const QString &name, const QString &country = "DE",
                            const QString &city = "Bonn", const QString &category = "70", const QString &cost = "Free")
{
    return testing_support::eventLine(id, name, "short " + name, country, city, category, cost);
}

class PagesTest : public testing_support::MainWindowFixture {
protected:
    void SetUp() override
    {
        MainWindowFixture::SetUp();
        ext::table().RegisterAX = [](const QString &, qint16) { return 0; };
        ext::table().GetInstallDirectory = [this](QString &buffer, qint32) {
            buffer = browsed;
            return 0;
        };
        QDir(wf.path()).mkdir("Files");
        rt::Message().stringParm.clear();
    }
    void TearDown() override
    {
        calendarTimer.reset();
        dialogTimer.reset();
        if (w)
            w->hide();
        MainWindowFixture::TearDown();
        rt::Message().stringParm.clear();
    }

    // `n` events "Event 1".."Event n" with ids EV1..EVn, each with
    // `linesEach` date lines TI<event>_<line> in the city "City <event>".
    void writeEvents(int n, int linesEach) { writeEventFiles(n, linesEach, true); }

    // The main window becomes the active one again, as the window manager
    // makes it when a dialog or tool window in front of it closes.
    void reactivate() { activateMainWindow(5000); }

    // One event EV1 with the given date lines, shown on the dates page.
    void openOnDates(const QByteArray &lines)
    {
        writeAdmin("ann", "Bonn", "NRW");
        writeData("VantelEvents.txt", eventLine("EV1", "Fair"));
        writeData("VantelEventDates.txt", lines);
        openWindow();
        clickTab(Dates);
        ASSERT_EQ(page(), Dates);
    }
    // `events` events of one line each, shown on the detail page with the
    // name field clicked and its text selected.
    void openOnDetailName(int events)
    {
        writeAdmin("ann", "Bonn", "NRW");
        writeEvents(events, 1);
        openWindow();
        clickTab(Detail);
        ASSERT_EQ(page(), Detail);
        ASSERT_NE(selectField("dw_events", "name"), nullptr);
    }
    // The one message shown refused a new record while one lacks a mandatory value.
    void expectRefusedAsIncomplete()
    {
        ASSERT_EQ(boxes.calls().size(), 1u);
        EXPECT_EQ(boxes.calls()[0].title, "New Event");
        EXPECT_EQ(boxes.calls()[0].text,
                  "Please complete all the mandatory fields in the existing record before adding a new one.");
    }
    // Clicks a form field and selects its text, so that typing replaces it.
    QLineEdit *selectField(const char *dwName, const char *column)
    {
        auto *field = qobject_cast<QLineEdit *>(dw(dwName)->editorFor(column));
        EXPECT_NE(field, nullptr) << column;
        if (field) {
            QTest::mouseClick(field, Qt::LeftButton);
            field->selectAll();
        }
        return field;
    }

    const RecordSet *events() const { return &w->document().events(); }
    const testing_support::ShownLines *dates() const { return shownLines(); }
    int page() const { return tabs()->currentIndex(); }
    bool saveEnabled() const { return child<QPushButton>("pb_save")->isEnabled(); }

    void clickButton(const char *name) { click(name, true); }
    // Keys go where the user's keys go: to the widget with the focus.
    QWidget *focused() const { return QApplication::focusWidget(); }
    void press(Qt::Key key, Qt::KeyboardModifiers mods = {})
    {
        QWidget *f = focused();
        ASSERT_NE(f, nullptr);
        QTest::keyClick(f, key, mods);
        QCoreApplication::processEvents();
    }
    // Each key goes to the widget that has the focus at that moment, as a
    // person's keys do (the first key into a grid opens its cell editor).
    void type(const QString &text)
    {
        for (QChar c : text) {
            QWidget *f = focused();
            ASSERT_NE(f, nullptr);
            QTest::keyClicks(f, QString(c));
        }
    }
    // The column of the data window that holds the focus, by the name of
    // its editor (form fields and grid editors carry their column's name).
    QString focusedColumn() const { return focused() ? focused()->objectName() : QString(); }

    // Clicks a cell of a grid data window.
    void clickCell(const char *dwName, long row, const QString &column)
    {
        DataWindow *d = dw(dwName);
        QTableView *grid = d->gridView();
        const QModelIndex index = grid->model()->index(int(row - 1), d->recordSet()->columnIndex(column) - 1);
        grid->scrollTo(index);
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->visualRect(index).center());
        QCoreApplication::processEvents();
    }

    // Answers the calendar picker that the next key opens: Enter takes the
    // date it shows, Escape cancels.
    void answerCalendar(Qt::Key key)
    {
        calendarSeen = false;
        calendarTimer = std::make_unique<QTimer>();
        QTimer *timer = calendarTimer.get();
        timer->setInterval(10);
        QObject::connect(timer, &QTimer::timeout, [this, timer, key] {
            QWidget *modal = QApplication::activeModalWidget();
            if (!modal || modal->objectName() != QLatin1String("w_calendar"))
                return;
            timer->stop();
            calendarSeen = true;
            QWidget *target = QApplication::focusWidget();
            if (!target || !modal->isAncestorOf(target))
                target = modal;
            QTest::keyClick(target, key);
        });
        timer->start();
    }

    // Runs `use` on the modal dialog `name` (its objectName or class) as
    // soon as it is open; dialogs asked for one after the other are
    // answered in that order. What a dialog still holds open afterwards is
    // cancelled, so that a failed step never leaves the test waiting.
    void whenOpen(const char *name, std::function<void(QDialog *)> use)
    {
        seen = false;
        dialogSteps.push_back({QLatin1String(name), std::move(use)});
        if (dialogTimer)
            return;
        dialogTimer = std::make_unique<QTimer>();
        dialogTimer->setInterval(10);
        QObject::connect(dialogTimer.get(), &QTimer::timeout, [this] {
            auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
            if (dialogSteps.empty() || !dialog
                || (dialog->objectName() != dialogSteps.front().first
                    && QLatin1String(dialog->metaObject()->className()) != dialogSteps.front().first))
                return;
            const auto use = std::move(dialogSteps.front().second);
            dialogSteps.erase(dialogSteps.begin());
            seen = true;
            // Keys go to the dialog's field once the dialog is the active window.
            EXPECT_TRUE(QTest::qWaitForWindowActive(dialog));
            QTRY_VERIFY(dialog->isAncestorOf(QApplication::focusWidget()));
            use(dialog);
            if (dialog->isVisible())
                dialog->reject();
        });
        dialogTimer->start();
    }

    QString browsed; // what the folder dialog answers
    bool calendarSeen = false;
    std::unique_ptr<QTimer> calendarTimer;
    bool seen = false; // whenOpen's dialog was there
    std::vector<std::pair<QString, std::function<void(QDialog *)>>> dialogSteps;
    std::unique_ptr<QTimer> dialogTimer;
};

} // namespace pages
