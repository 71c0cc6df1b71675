// A main window opened as the program opens it, over data files written by
// the test, with the helpers that drive its pages by mouse and keyboard.
#pragma once

#include "datawindow.h"
#include "externals.h"
#include "globals.h"
#include "recordset.h"
#include "runtime.h"
#include "testsupport.h"
#include "w_event.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTableView>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <memory>
#include <ostream>

QT_BEGIN_NAMESPACE
inline void PrintTo(const QString &s, std::ostream *os) { *os << '"' << s.toStdString() << '"'; }
QT_END_NAMESPACE

namespace pages {

enum Page { Admin = 0, List = 1, Detail = 2, Dates = 3 };

// One line of the events file: the columns of d_events in order.
inline QByteArray eventLine(const QString &id, const QString &name, const QString &country = "DE",
                            const QString &city = "Bonn", const QString &category = "70", const QString &cost = "Free")
{
    const QStringList f = {id, "ann", "pw", country, city, "NRW", name, "short " + name, "", "", "", "0000", "0000",
                           "0000", "0000", "0000", "0000", category, cost, "", "", "", "", "", "", "", ""};
    return f.join('\t').toUtf8() + "\r\n";
}

// One date line: the columns of d_event_dates in order.
inline QByteArray dateLine(const QString &eventId, const QString &timeId, const QString &city,
                           const QString &start = "2025-06-01", const QString &end = "2025-06-02",
                           const QString &time1 = "1900")
{
    const QStringList f = {eventId, timeId, city, "NRW", start, end, time1, "0000", "0000", "0000", "0000", "0000", ""};
    return f.join('\t').toUtf8() + "\r\n";
}

class PagesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ext::table().Sleep = [](qint32) {};
        ext::table().RegisterAX = [](const QString &, qint16) { return 0; };
        ext::table().GetInstallDirectory = [this](QString &buffer, qint32) {
            buffer = browsed;
            return 0;
        };
        wf.write("vantel.ini", "[General]\r\nApp=GETDIR\r\nFiles=GETDIR\r\n");
        QDir(wf.path()).mkdir("Files");
        gs_app_dir = "GETDIR";
        gs_directory = "GETDIR";
        gs_short_date_format = "dd.mm.yyyy";
        gs_date_separator = ".";
        gs_login.clear();
        gs_password.clear();
        gs_country.clear();
        gs_state.clear();
        gs_city.clear();
        rt::Message().stringParm.clear();
    }
    void TearDown() override
    {
        calendarTimer.reset();
        if (w)
            w->hide();
        w.reset();
        rt::Message().stringParm.clear();
    }

    QString dataDir() const { return wf.folder() + "Files/"; }
    void writeData(const QString &name, const QByteArray &content) const { wf.write("Files/" + name, content); }
    void writeAdmin(const QString &login = "ann", const QString &city = "Bonn", const QString &state = "NRW")
    {
        const QStringList f = {login, "pw", dataDir(), "DE", state, city, ""};
        writeData("VantelAdmin.txt", f.join('\t').toUtf8() + "\r\n");
    }
    // `n` events "Event 1".."Event n" with ids EV1..EVn, each with
    // `linesEach` date lines TI<event>_<line> in the city "City <event>".
    void writeEvents(int n, int linesEach)
    {
        QByteArray ev, dt;
        for (int i = 1; i <= n; ++i) {
            ev += eventLine(QString("EV%1").arg(i), QString("Event %1").arg(i));
            for (int l = 1; l <= linesEach; ++l)
                dt += dateLine(QString("EV%1").arg(i), QString("TI%1_%2").arg(i).arg(l), QString("City %1").arg(i));
        }
        writeData("VantelEvents.txt", ev);
        writeData("VantelEventDates.txt", dt);
    }

    void openWindow()
    {
        w = std::make_unique<w_event>();
        w->open();
        QCoreApplication::processEvents(); // ue_post_open
        w->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(w.get()));
    }

    // The main window becomes the active one again, as the window manager
    // makes it when a dialog or tool window in front of it closes; the
    // offscreen platform leaves no window active.
    void reactivate()
    {
        w->activateWindow();
        ASSERT_TRUE(QTest::qWaitFor([this] { return QApplication::activeWindow() == w.get(); }));
    }

    template <class T = QWidget> T *child(const char *name) const
    {
        T *c = w->findChild<T *>(QLatin1String(name));
        EXPECT_NE(c, nullptr) << name;
        return c;
    }
    DataWindow *dw(const char *name) const { return child<DataWindow>(name); }
    RecordSet *events() const { return dw("dw_event_list")->recordSet(); }
    RecordSet *dates() const { return dw("dw_event_dates")->recordSet(); }
    QTabWidget *tabs() const { return child<QTabWidget>("tab_1"); }
    int page() const { return tabs()->currentIndex(); }
    QString counter() const { return child<QLabel>("st_event_count")->text(); }
    bool saveEnabled() const { return child<QPushButton>("pb_save")->isEnabled(); }

    void clickTab(int index)
    {
        QTabBar *bar = tabs()->tabBar();
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(index).center());
        QCoreApplication::processEvents();
    }
    void clickButton(const char *name)
    {
        auto *b = child<QPushButton>(name);
        ASSERT_TRUE(b->isVisible()) << name;
        QTest::mouseClick(b, Qt::LeftButton);
        QCoreApplication::processEvents();
    }
    // Keys go where the user's keys go: to the widget with the focus.
    QWidget *focused() const { return QApplication::focusWidget(); }
    void press(Qt::Key key, Qt::KeyboardModifiers mods = {})
    {
        QWidget *f = focused();
        ASSERT_NE(f, nullptr);
        QTest::keyClick(f, key, mods);
        QCoreApplication::processEvents();
    }
    void type(const QString &text)
    {
        QWidget *f = focused();
        ASSERT_NE(f, nullptr);
        QTest::keyClicks(f, text);
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

    testing_support::WorkingFolder wf;
    testing_support::ExternalsGuard guard;
    testing_support::MessageBoxRecorder boxes;
    std::unique_ptr<w_event> w;
    QString browsed; // what the folder dialog answers
    bool calendarSeen = false;
    std::unique_ptr<QTimer> calendarTimer;
};

} // namespace pages
