// The main window opened as the program opens it, in a fresh working folder
// with its own settings file, data files and component registry.
#pragma once

#include "mainwindow_fixture.h"
#include "w_show_errors.h"

#include <QProcess>
#include <QTemporaryDir>

namespace editor_tests {

using testing_support::adminLine;
using testing_support::eventLine;
using testing_support::readFile;

// A line of the event dates file, in Bonn.
inline QByteArray dateLine(const QString &eventId, const QString &timeId, const QString &start = "2025-06-01",
                           const QString &end = "2025-06-02", const QString &time1 = "1900")
{
    return testing_support::dateLine(eventId, timeId, "Bonn", start, end, time1);
}

class MainWindowTest : public testing_support::MainWindowFixture {
protected:
    void SetUp() override
    {
        MainWindowFixture::SetUp();
        QApplication::setQuitOnLastWindowClosed(false);
        ASSERT_TRUE(xdg.isValid());
        hadXdg_ = qEnvironmentVariableIsSet("XDG_DATA_HOME");
        oldXdg_ = qgetenv("XDG_DATA_HOME");
        qputenv("XDG_DATA_HOME", xdg.path().toLocal8Bit());
        gl_screen_width = 1280;
        gl_screen_height = 1024;
    }
    void TearDown() override
    {
        MainWindowFixture::TearDown();
        if (hadXdg_)
            qputenv("XDG_DATA_HOME", oldXdg_);
        else
            qunsetenv("XDG_DATA_HOME");
    }

    // The admin record of "ann" naming the data folder, and `n` events
    // EV1..EVn "Event 1".."Event n", each with `linesEach` valid date lines
    // TI<event>_<line> in Bonn.
    void writeEvents(int n, int linesEach = 1)
    {
        writeAdmin();
        writeEventFiles(n, linesEach, false);
    }

    QString currentPage() const { return tabs()->currentWidget()->objectName(); }
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
    // Lets deferred deletions (the error list closes by deleting itself) run.
    static void settle()
    {
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    QTemporaryDir xdg;

private:
    QByteArray oldXdg_;
    bool hadXdg_ = false;
};

} // namespace editor_tests
