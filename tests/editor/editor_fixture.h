// The main window opened as the program opens it, in a fresh working folder
// with its own settings file, data files and component registry.
#pragma once

#include "datawindow.h"
#include "externals.h"
#include "globals.h"
#include "recordset.h"
#include "runtime.h"
#include "testsupport.h"
#include "w_event.h"
#include "w_show_errors.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QWindow>

#include <gtest/gtest.h>

#include <memory>
#include <ostream>

QT_BEGIN_NAMESPACE
inline void PrintTo(const QString &s, std::ostream *os) { *os << '"' << s.toStdString() << '"'; }
inline void PrintTo(const QByteArray &s, std::ostream *os) { *os << '"' << s.toStdString() << '"'; }
QT_END_NAMESPACE

namespace editor_tests {

// A line of the admin file: user_id, user_password, file_directory,
// default_country, default_state, default_city, current_column.
inline QByteArray adminLine(const QString &login, const QString &folder, const QString &password = "pw")
{
    return QStringList{login, password, folder, "DE", "NRW", "Bonn", ""}.join('\t').toUtf8() + "\r\n";
}

// A line of the events file: the 27 columns of d_events.
inline QByteArray eventLine(const QString &id, const QString &name, const QString &sdescription = "short")
{
    const QStringList f = {id, "ann", "pw", "DE", "Bonn", "NRW", name, sdescription, "", "", "", "0000", "0000",
                           "0000", "0000", "0000", "0000", "70", "Free", "", "", "", "", "", "", "", ""};
    return f.join('\t').toUtf8() + "\r\n";
}

// A line of the event dates file: the 13 columns of d_event_dates.
inline QByteArray dateLine(const QString &eventId, const QString &timeId, const QString &start = "2025-06-01",
                           const QString &end = "2025-06-02", const QString &time1 = "1900")
{
    const QStringList f = {eventId, timeId, "Bonn", "NRW", start, end, time1, "0000", "0000", "0000", "0000", "0000",
                           ""};
    return f.join('\t').toUtf8() + "\r\n";
}

inline QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        QApplication::setQuitOnLastWindowClosed(false);
        ASSERT_TRUE(xdg.isValid());
        hadXdg_ = qEnvironmentVariableIsSet("XDG_DATA_HOME");
        oldXdg_ = qgetenv("XDG_DATA_HOME");
        qputenv("XDG_DATA_HOME", xdg.path().toLocal8Bit());
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
        gl_screen_width = 1280;
        gl_screen_height = 1024;
    }
    void TearDown() override
    {
        w.reset();
        if (hadXdg_)
            qputenv("XDG_DATA_HOME", oldXdg_);
        else
            qunsetenv("XDG_DATA_HOME");
    }

    QString dataDir() const { return wf.folder() + "Files/"; }
    void writeData(const QString &name, const QByteArray &content) const
    {
        QDir(wf.path()).mkpath("Files");
        wf.write("Files/" + name, content);
    }
    QByteArray readData(const QString &name) const { return readFile(dataDir() + name); }

    // The admin record naming the data folder, and `n` events EV1..EVn
    // "Event 1".."Event n", each with `linesEach` valid date lines
    // TI<event>_<line>.
    void writeEvents(int n, int linesEach = 1)
    {
        writeData("VantelAdmin.txt", adminLine("ann", dataDir()));
        QByteArray ev, dt;
        for (int i = 1; i <= n; ++i) {
            ev += eventLine(QString("EV%1").arg(i), QString("Event %1").arg(i));
            for (int l = 1; l <= linesEach; ++l)
                dt += dateLine(QString("EV%1").arg(i), QString("TI%1_%2").arg(i).arg(l));
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

    template <class T = QWidget> T *child(const char *name) const
    {
        T *c = w->findChild<T *>(QLatin1String(name));
        EXPECT_NE(c, nullptr) << name;
        return c;
    }
    DataWindow *dw(const char *name) const { return child<DataWindow>(name); }
    QPushButton *button(const char *name) const { return child<QPushButton>(name); }
    QString currentPage() const { return child<QTabWidget>("tab_1")->currentWidget()->objectName(); }
    QString counter() const { return child<QLabel>("st_event_count")->text(); }
    w_show_errors *errorList() const { return qobject_cast<w_show_errors *>(w->errorWindow()); }
    // Replaces the text of a form field as the user does: focus, select
    // all, type.
    void typeInto(const char *dwName, const char *column, const QString &text) const
    {
        QWidget *editor = dw(dwName)->editorFor(column);
        ASSERT_NE(editor, nullptr) << column;
        activateMainWindow(); // the user clicks into the main window
        editor->setFocus(Qt::MouseFocusReason);
        QCoreApplication::processEvents();
        QTest::keyClick(editor, Qt::Key_A, Qt::ControlModifier);
        if (text.isEmpty())
            QTest::keyClick(editor, Qt::Key_Delete);
        else
            QTest::keyClicks(editor, text);
    }
    // Brings the main window forward when another (the error list, help)
    // is active.
    void activateMainWindow() const
    {
        QWindow *handle = w->windowHandle();
        ASSERT_NE(handle, nullptr);
        if (QApplication::activeWindow() == w.get())
            return;
        handle->requestActivate();
        ASSERT_TRUE(QTest::qWaitFor([this] { return QApplication::activeWindow() == w.get(); }, 2000));
    }
    void click(const char *buttonName) const
    {
        QPushButton *b = button(buttonName);
        ASSERT_NE(b, nullptr);
        QTest::mouseClick(b, Qt::LeftButton);
        QCoreApplication::processEvents();
    }
    // Lets deferred deletions (the error list closes by deleting itself) run.
    static void settle()
    {
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    testing_support::WorkingFolder wf;
    testing_support::MessageBoxRecorder boxes;
    testing_support::ExternalsGuard guard;
    QTemporaryDir xdg;
    std::unique_ptr<w_event> w;

private:
    QByteArray oldXdg_;
    bool hadXdg_ = false;
};

} // namespace editor_tests
