// The main window w_event opened as the program opens it, in a fresh working
// folder with its own settings file and data files, and the helpers that the
// main window suites share to write those files and find and drive its
// controls. Header-only: only suites that link vantel_editor include it.
#pragma once

#include "datalines.h"
#include "datawindow.h"
#include "externals.h"
#include "globals.h"
#include "recordset.h"
#include "recordsetview.h"
#include "runtime.h"
#include "messageboxes.h"
#include "testsupport.h"
#include "w_event.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QStringList>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QWindow>

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <ostream>

namespace testing_support {

// The date lines the dates page shows, read by their rows there as the
// record set's own rows are read.
class ShownLines {
public:
    explicit ShownLines(const DataWindow *dw) : dw_(dw) {}
    long RowCount() const { return dw_->rows().RowCount(); }
    // The lines of the record set that the page does not show.
    long FilteredCount() const { return set().RowCount() - RowCount(); }
    int columnIndex(const QString &column) const { return set().columnIndex(column); }
    QString GetItemString(long row, const QString &column) const
    {
        return set().GetItemString(dw_->sourceRow(row), column);
    }
    QDate GetItemDate(long row, const QString &column) const { return set().GetItemDate(dw_->sourceRow(row), column); }
    bool IsNull(long row, const QString &column) const { return set().IsNull(dw_->sourceRow(row), column); }

private:
    const RecordSet &set() const { return *dw_->recordSet(); }
    const DataWindow *dw_;
};

class MainWindowFixture : public ::testing::Test {
protected:
    // A settings file that puts the program and its data folder "Files"
    // in the working folder, and settings globals as before any start.
    void SetUp() override
    {
        ext::table().Sleep = [](qint32) {};
        wf.write("vantel.ini", "[General]\r\nApp=GETDIR\r\nFiles=GETDIR\r\n");
        gs_app_dir = "GETDIR";
        gs_directory = "GETDIR";
        gs_short_date_format = "dd.mm.yyyy";
        gs_date_separator = ".";
        gs_login.clear();
        gs_password.clear();
        gs_country.clear();
        gs_state.clear();
        gs_city.clear();
    }
    void TearDown() override
    {
        // No message was shown under the hourglass, and none is left over.
        EXPECT_EQ(boxes.underBusyPointer(), 0);
        EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
        while (QGuiApplication::overrideCursor())
            QGuiApplication::restoreOverrideCursor();
        w.reset();
    }

    QString dataDir() const { return wf.folder() + "Files/"; }
    void writeData(const QString &name, const QByteArray &content) const
    {
        QDir(wf.path()).mkpath("Files");
        wf.write("Files/" + name, content);
    }
    QByteArray readData(const QString &name) const { return readFile(dataDir() + name); }
    // The admin record of `login` naming the data folder.
    void writeAdmin(const QString &login = "ann", const QString &city = "Bonn", const QString &state = "NRW") const
    {
        writeData("VantelAdmin.txt", adminLine(login, dataDir(), "pw", city, state));
    }
    // `n` events EV1..EVn "Event 1".."Event n", each with `linesEach` date
    // lines TI<event>_<line>. With `numbered`, event i has the short
    // description "short Event i" and its date lines are in "City i";
    // otherwise every short description is "short" and every city "Bonn".
    void writeEventFiles(int n, int linesEach, bool numbered) const
    {
        QByteArray ev, dt;
        for (int i = 1; i <= n; ++i) {
            const QString id = QString("EV%1").arg(i);
            const QString name = QString("Event %1").arg(i);
            ev += eventLine(id, name, numbered ? "short " + name : QString("short"));
            const QString city = numbered ? QString("City %1").arg(i) : QString("Bonn");
            for (int l = 1; l <= linesEach; ++l)
                dt += dateLine(id, QString("TI%1_%2").arg(i).arg(l), city);
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
    // Brings the main window forward again, as the window manager does when
    // another window in front of it (a dialog, the error list, help) closes
    // or the user clicks into it; the offscreen platform leaves it inactive.
    void activateMainWindow(int timeoutMs = 2000) const
    {
        QWindow *handle = w->windowHandle();
        ASSERT_NE(handle, nullptr);
        if (QApplication::activeWindow() == w.get())
            return;
        handle->requestActivate();
        ASSERT_TRUE(QTest::qWaitFor([this] { return QApplication::activeWindow() == w.get(); }, timeoutMs));
    }

    template <class T = QWidget> T *child(const char *name) const
    {
        T *c = w->findChild<T *>(QLatin1String(name));
        EXPECT_NE(c, nullptr) << name;
        return c;
    }
    DataWindow *dw(const char *name) const { return child<DataWindow>(name); }
    // The date lines that the dates page shows.
    const ShownLines *shownLines() const
    {
        shownLines_.emplace(dw("dw_event_dates"));
        return &*shownLines_;
    }
    QPushButton *button(const char *name) const { return child<QPushButton>(name); }
    QTabWidget *tabs() const { return child<QTabWidget>("tab_1"); }
    // Clicks the tab of page `index` (from 0, the admin page).
    void clickTab(int index) const
    {
        QTabBar *bar = tabs()->tabBar();
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(index).center());
        QCoreApplication::processEvents();
    }
    QString counter() const { return child<QLabel>("st_event_count")->text(); }
    // Clicks a push button; with `mustBeVisible` only one the user can see.
    void click(const char *buttonName, bool mustBeVisible = false) const
    {
        QPushButton *b = button(buttonName);
        ASSERT_NE(b, nullptr);
        if (mustBeVisible) {
            ASSERT_TRUE(b->isVisible()) << buttonName;
        }
        QTest::mouseClick(b, Qt::LeftButton);
        QCoreApplication::processEvents();
    }

    testing_support::WorkingFolder wf;
    testing_support::MessageBoxRecorder boxes;
    testing_support::ExternalsGuard guard;
    std::unique_ptr<w_event> w;
    mutable std::optional<ShownLines> shownLines_;
};

} // namespace testing_support
