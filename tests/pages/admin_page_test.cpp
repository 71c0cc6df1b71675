// Leaving the admin page: the record is tested first, and only a valid one
// becomes the settings that the other pages use.
#include "folderlock.h"
#include "launch.h"
#include "pages_fixture.h"

#include <unistd.h>


using namespace pages;

namespace {

class AdminPage : public PagesTest {
protected:
    void SetUp() override
    {
        PagesTest::SetUp();
        writeAdmin("ann", "Bonn", "NRW");
        openWindow();
        ASSERT_EQ(page(), Admin);
    }
    QWidget *field(const char *column) { return dw("dw_admin")->editorFor(column); }
    // Clicks into a field, empties it and types `text`.
    void retype(const char *column, const QString &text)
    {
        reactivate(); // the error list may be the active window
        QTest::mouseClick(field(column), Qt::LeftButton);
        press(Qt::Key_A, Qt::ControlModifier);
        press(Qt::Key_Delete);
        type(text);
    }
    bool errorListShows(const QString &display, const QString &message)
    {
        if (!w->errorWindow() || !w->errorWindow()->isVisible())
            return false;
        for (const str_errors &e : w->errors())
            if (e.column == display && e.message == message)
                return true;
        return false;
    }
};

TEST_F(AdminPage, EmptyRequiredFieldKeepsThePageWithTheCursorOnIt)
{
    retype("user_id", "");
    retype("default_city", "Koeln");
    clickTab(List);

    EXPECT_EQ(page(), Admin);
    EXPECT_TRUE(errorListShows("Login ID", "This is a required field !"));
    EXPECT_EQ(dw("dw_admin")->GetColumnName(), "user_id");
    EXPECT_EQ(w->focusWidget(), field("user_id"));
    EXPECT_EQ(gs_city, "Bonn") << "the settings change only when the page is left";
}

TEST_F(AdminPage, FolderThatDoesNotExistKeepsThePage)
{
    retype("file_directory", wf.folder() + "nowhere/");
    clickTab(Dates);

    EXPECT_EQ(page(), Admin);
    EXPECT_TRUE(errorListShows("File Directory", "This directory is invalid !"));
    EXPECT_EQ(dw("dw_admin")->GetColumnName(), "file_directory");
    EXPECT_EQ(w->focusWidget(), field("file_directory"));

    // Corrected, the page may be left.
    retype("file_directory", dataDir());
    clickTab(Dates);
    EXPECT_EQ(page(), Dates);
}

TEST_F(AdminPage, ValidRecordBecomesTheDefaultsOfTheNextEvent)
{
    retype("user_id", "bob");
    retype("user_password", "secret");
    retype("default_state", "Bavaria");
    retype("default_city", "Munich");
    clickTab(List);

    ASSERT_EQ(page(), List);
    EXPECT_EQ(gs_login, "bob");
    EXPECT_EQ(gs_password, "secret");
    EXPECT_EQ(gs_state, "Bavaria");
    EXPECT_EQ(gs_city, "Munich");
    EXPECT_EQ(gs_directory, dataDir());

    clickButton("pb_new");
    ASSERT_EQ(events()->RowCount(), 1);
    EXPECT_EQ(events()->GetItemString(1, "user_id"), "bob");
    EXPECT_EQ(events()->GetItemString(1, "user_password"), "secret");
    EXPECT_EQ(events()->GetItemString(1, "city"), "Munich");
    EXPECT_EQ(events()->GetItemString(1, "state"), "Bavaria");
    EXPECT_EQ(dates()->GetItemString(1, "city"), "Munich");
}

TEST_F(AdminPage, BrowsedFolderGetsTheSeparatorAndACancelChangesNothing)
{
    browsed = "/srv/events";
    clickButton("pb_browse");
    EXPECT_EQ(dw("dw_admin")->recordSet()->GetItemString(1, "file_directory"), "/srv/events/");
    EXPECT_TRUE(saveEnabled());

    browsed.clear();
    clickButton("pb_browse");
    EXPECT_EQ(dw("dw_admin")->recordSet()->GetItemString(1, "file_directory"), "/srv/events/");
}

// The focused field of the current row is pink, every other field cream.
TEST_F(AdminPage, FocusedFieldIsHighlightedAndAnEditEnablesSave)
{
    const QColor pink(255, 180, 180), cream(255, 251, 240);
    QTest::mouseClick(field("user_password"), Qt::LeftButton);
    EXPECT_EQ(field("user_password")->palette().color(QPalette::Base), pink);
    EXPECT_EQ(field("user_id")->palette().color(QPalette::Base), cream);
    EXPECT_EQ(field("default_city")->palette().color(QPalette::Base), cream);

    press(Qt::Key_Tab);
    EXPECT_EQ(focusedColumn(), "file_directory");
    EXPECT_EQ(field("file_directory")->palette().color(QPalette::Base), pink);
    EXPECT_EQ(field("user_password")->palette().color(QPalette::Base), cream);

    EXPECT_FALSE(saveEnabled());
    type("x");
    EXPECT_TRUE(saveEnabled());
}

// Another window holding a folder typed here keeps this window off it: the
// page stays, the folder is named, and this window's own lock stays where
// it was until a free folder is typed.
TEST_F(AdminPage, FolderOpenInAnotherWindowKeepsThePageAndTheLock)
{
    const QString own = dataDir(), taken = wf.folder() + "Taken/", free = wf.folder() + "Free/";
    QDir(wf.path()).mkpath("Taken");
    QDir(wf.path()).mkpath("Free");
    ASSERT_TRUE(launch::lockDataFolder(own));
    folderlock::Lock other;
    ASSERT_EQ(other.acquire(taken), folderlock::Lock::Result::Held);

    retype("file_directory", taken);
    clickTab(List);
    EXPECT_EQ(page(), Admin);
    ASSERT_TRUE(boxes.sawTitle("Vantel"));
    EXPECT_TRUE(boxes.calls().back().text.contains(QDir::toNativeSeparators(launch::lockKey(taken))));
    EXPECT_TRUE(boxes.calls().back().text.contains(QString("process %1 on this computer, since ").arg(::getpid())));
    EXPECT_EQ(gs_directory, own);
    folderlock::Lock ownAgain;
    EXPECT_EQ(ownAgain.acquire(own), folderlock::Lock::Result::Taken); // still held by this window

    retype("file_directory", free);
    clickTab(List);
    EXPECT_EQ(page(), List);
    EXPECT_EQ(gs_directory, free);
    EXPECT_EQ(ownAgain.acquire(own), folderlock::Lock::Result::Held); // released with the move
    folderlock::Lock freeAgain;
    EXPECT_EQ(freeAgain.acquire(free), folderlock::Lock::Result::Taken);
}

} // namespace
