// Starting on a data folder whose files cannot all be read: the window
// names each such file with the reason, closes before anything can be
// saved over it, and leaves every file as it was. The same for the files an
// interrupted save guards, where the window stays but saves nothing.
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

// A save that was cut short left a record that cannot be used: the window
// opens and says what is kept and how to resolve it, and no save replaces
// the files the record guards.
TEST_F(UnreadableAtStart, AnInterruptedSaveThatCannotBeUndoneIsNamedAndNoSaveReplacesItsFiles)
{
    writeAdmin();
    writeEventFiles(1, 1, false);
    writeData(".VantelEvents.txt.old-Ab12Cd", eventLine("EV1", "As last saved"));
    writeData(".vantel-save", "vantel-save 2\nVantel");
    const QStringList names = {"VantelAdmin.txt", "VantelEvents.txt", "VantelEventDates.txt",
                               ".VantelEvents.txt.old-Ab12Cd", ".vantel-save"};
    QByteArrayList before;
    for (const QString &n : names)
        before << readData(n);
    gs_directory = dataDir();
    gs_app_dir = wf.folder();
    openWindow();
    ASSERT_TRUE(boxes.sawTitle("Data File"));
    const QString said = boxes.calls().back().text;
    EXPECT_TRUE(said.startsWith("An earlier save in " + QDir::cleanPath(dataDir()) + " was interrupted"))
        << said.toStdString();
    EXPECT_TRUE(said.contains("its record .vantel-save: it is damaged or incomplete.")) << said.toStdString();
    EXPECT_TRUE(w->isVisible());

    QWidget *login = dw("dw_admin")->editorFor("user_id");
    ASSERT_NE(login, nullptr);
    QTest::mouseClick(login, Qt::LeftButton);
    QTest::keyClick(login, Qt::Key_End);
    QTest::keyClicks(login, "x");
    click("pb_save");
    EXPECT_EQ(boxes.calls().back().title, "Save");
    EXPECT_TRUE(boxes.calls().back().text.contains("Vantel saves nothing in this folder until this is resolved"))
        << boxes.calls().back().text.toStdString();
    for (qsizetype i = 0; i < names.size(); ++i)
        EXPECT_EQ(readData(names[i]), before[i]) << names[i].toStdString();
}

} // namespace
