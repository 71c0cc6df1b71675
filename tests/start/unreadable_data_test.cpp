// Starting on a data folder whose files cannot all be read: the window
// names each such file with the reason, closes before anything can be
// saved over it, and leaves every file as it was.
#include "mainwindow_fixture.h"

#include <QFileInfo>

#include <sys/stat.h>
#include <unistd.h>

using namespace testing_support;

namespace {

class UnreadableAtStart : public MainWindowFixture {};

TEST_F(UnreadableAtStart, TheFileIsNamedWithItsReasonAndTheWindowClosesWithoutSaving)
{
    writeAdmin();
    QDir(wf.path()).mkpath("Files/VantelEvents.txt"); // a folder where the events file belongs
    writeData("VantelEventDates.txt", dateLine("EV1", "TI1", "Bonn"));
    const QByteArray admin = readData("VantelAdmin.txt");
    gs_directory = dataDir();
    gs_app_dir = wf.folder();

    w = std::make_unique<w_event>();
    w->open();
    QCoreApplication::processEvents(); // ue_post_open
    ASSERT_TRUE(boxes.sawTitle("Data File"));
    const rt::MessageBoxCall &box = boxes.calls().back();
    EXPECT_EQ(box.title, "Data File");
    EXPECT_TRUE(box.text.startsWith(dataDir() + "VantelEvents.txt cannot be read: it is a folder, not a file."))
        << box.text.toStdString();
    EXPECT_FALSE(w->isVisible());
    EXPECT_TRUE(QFileInfo(dataDir() + "VantelEvents.txt").isDir());
    EXPECT_EQ(readData("VantelAdmin.txt"), admin);
    EXPECT_EQ(readData("VantelEventDates.txt"), dateLine("EV1", "TI1", "Bonn"));
}

TEST_F(UnreadableAtStart, APipeInPlaceOfTheAdminFileDoesNotHangTheStart)
{
    ::alarm(20);
    QDir(wf.path()).mkpath("Files");
    ASSERT_EQ(::mkfifo(QFile::encodeName(dataDir() + "VantelAdmin.txt").constData(), 0600), 0);
    gs_directory = dataDir();
    gs_app_dir = wf.folder();
    w = std::make_unique<w_event>();
    w->open();
    QCoreApplication::processEvents();
    ::alarm(0);
    ASSERT_TRUE(boxes.sawTitle("Data File"));
    EXPECT_TRUE(boxes.calls().back().text.startsWith(dataDir() + "VantelAdmin.txt cannot be read: it is not a "
                                                                  "regular file"));
    EXPECT_FALSE(w->isVisible());
    struct stat st;
    ASSERT_EQ(::lstat(QFile::encodeName(dataDir() + "VantelAdmin.txt").constData(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
}

} // namespace
