// Saving the three data files, closing with and without saving, the
// export package and Send by e-mail.
#include "editor_fixture.h"

#include "exportmessages.h"
#include "journal.h"
#include "operatorinfo.h"
#include "packagemail.h"
#include "profile.h"

#include <QDesktopServices>
#include <QMessageBox>
#include <QSignalSpy>
#include <QTimer>
#include <QUrl>

#include <sys/stat.h>

namespace editor_tests {

// Takes the place of the desktop's file manager: records the folders shown.
class FolderOpener : public QObject {
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void open(const QUrl &url) { urls << url; }
};

} // namespace editor_tests

using namespace editor_tests;

namespace {

const QStringList kDataFiles = {"VantelAdmin.txt", "VantelEvents.txt", "VantelEventDates.txt"};

class Saving : public MainWindowTest {
protected:
    // Two events with one date line each; the first event is current.
    void openTwoEvents()
    {
        writeEvents(2);
        openWindow();
        ASSERT_EQ(w->is_event_id, "EV1");
    }
    // Renames the current event on the detail page.
    void renameEvent(const QString &name)
    {
        ASSERT_EQ(w->SelectTab("tabpage_events_detail"), 1);
        typeInto("dw_events", "name", name);
        ASSERT_TRUE(button("pb_save")->isEnabled());
    }
    QStringList dataFolderEntries() const
    {
        QStringList e = QDir(dataDir()).entryList(QDir::Files | QDir::Hidden | QDir::Dirs | QDir::NoDotAndDotDot);
        e.sort();
        return e;
    }
};

TEST_F(Saving, WritesTheThreeFilesWholeAndDisablesSave)
{
    openTwoEvents();
    rt::SetProfileString("vantel.ini", "General", "Files", "stale");
    renameEvent("Fair");
    // The hourglass stands while the files are written (the document is
    // unmodified from then on).
    std::optional<Qt::CursorShape> pointer;
    QObject::connect(&w->document(), &EventDocument::modifiedChanged, w.get(), [&pointer] {
        const QCursor *c = QGuiApplication::overrideCursor();
        pointer = c ? c->shape() : Qt::ArrowCursor;
    });
    click("pb_save");
    EXPECT_EQ(pointer, Qt::WaitCursor);
    EXPECT_FALSE(button("pb_save")->isEnabled());
    EXPECT_TRUE(boxes.calls().empty());

    const QByteArray dir = dataDir().toUtf8();
    EXPECT_EQ(readData("VantelAdmin.txt"), "ann\tpw\t" + dir + "\tDE\tNRW\tBonn\t\r\n");
    EXPECT_EQ(readData("VantelEvents.txt"),
              "EV1\tann\tpw\tDE\tBonn\tNRW\tFair\tshort\t\t\t\t0000\t0000\t0000\t0000\t0000\t0000\t70\tFree"
              "\t\t\t\t\t\t\t\t\r\n"
              "EV2\tann\tpw\tDE\tBonn\tNRW\tEvent 2\tshort\t\t\t\t0000\t0000\t0000\t0000\t0000\t0000\t70\tFree"
              "\t\t\t\t\t\t\t\t\r\n");
    // The dates of every event, though the page shows only the first's.
    EXPECT_EQ(readData("VantelEventDates.txt"),
              "EV1\tTI1_1\tBonn\tNRW\t2025-06-01\t2025-06-02\t1900\t0000\t0000\t0000\t0000\t0000\t\r\n"
              "EV2\tTI2_1\tBonn\tNRW\t2025-06-01\t2025-06-02\t1900\t0000\t0000\t0000\t0000\t0000\t\r\n");
    const auto *const dates = shownLines();
    ASSERT_EQ(dates->RowCount(), 1);
    EXPECT_EQ(dates->GetItemString(1, "event_id"), "EV1");
    EXPECT_EQ(w->is_event_id, "EV1");
    EXPECT_EQ(rt::ProfileString("vantel.ini", "General", "Files", ""), dataDir());
    EXPECT_EQ(dataFolderEntries(), (QStringList{"VantelAdmin.txt", "VantelEventDates.txt", "VantelEvents.txt"}));
}

TEST_F(Saving, CtrlSSavesFromAnyField)
{
    openTwoEvents();
    renameEvent("Fair");
    QWidget *field = dw("dw_events")->editorFor("name");
    ASSERT_NE(field, nullptr);
    QTest::keyClick(field, Qt::Key_S, Qt::ControlModifier);
    EXPECT_FALSE(button("pb_save")->isEnabled());
    EXPECT_TRUE(readData("VantelEvents.txt").contains("\tFair\t"));
}

TEST_F(Saving, FolderThatCannotBeWrittenKeepsTheOldFilesAndTheUnsavedFlag)
{
    openTwoEvents();
    const QByteArray admin = readData("VantelAdmin.txt"), events = readData("VantelEvents.txt"),
                     dates = readData("VantelEventDates.txt");
    renameEvent("Fair");
    // A folder that is gone, and one whose parent is a plain file.
    for (const QString &bad : {wf.folder() + "gone/", dataDir() + "VantelAdmin.txt/"}) {
        SCOPED_TRACE(bad.toStdString());
        boxes.clear();
        gs_directory = bad;
        click("pb_save");
        ASSERT_EQ(boxes.calls().size(), 1u);
        EXPECT_EQ(boxes.calls()[0].title, "Save");
        EXPECT_TRUE(boxes.calls()[0].text.startsWith("Your event data could not be saved"));
        EXPECT_TRUE(button("pb_save")->isEnabled());
        EXPECT_FALSE(QFileInfo::exists(wf.folder() + "gone"));
        EXPECT_EQ(readData("VantelAdmin.txt"), admin);
        EXPECT_EQ(readData("VantelEvents.txt"), events);
        EXPECT_EQ(readData("VantelEventDates.txt"), dates);
        EXPECT_EQ(dataFolderEntries(), (QStringList{"VantelAdmin.txt", "VantelEventDates.txt", "VantelEvents.txt"}));
        EXPECT_EQ(rt::ProfileString("vantel.ini", "General", "Files", ""), dataDir());
        // The page still shows the current event's dates only.
        EXPECT_EQ(shownLines()->RowCount(), 1);
    }
}

TEST_F(Saving, FolderTypedOnTheAdminPageTakesEffectOnceThePageIsLeft)
{
    openTwoEvents();
    const QString other = wf.folder() + "Other/";
    ASSERT_TRUE(QDir().mkpath(other));
    typeInto("dw_admin", "file_directory", other);
    click("pb_save");
    ASSERT_FALSE(button("pb_save")->isEnabled());
    EXPECT_TRUE(QDir(other).isEmpty());
    EXPECT_EQ(readData("VantelAdmin.txt"), adminLine("ann", other));

    renameEvent("Fair"); // leaves the admin page
    EXPECT_EQ(gs_directory, other);
    click("pb_save");
    ASSERT_FALSE(button("pb_save")->isEnabled());
    EXPECT_TRUE(readFile(other + "VantelEvents.txt").contains("\tFair\t"));
    EXPECT_FALSE(readData("VantelEvents.txt").contains("\tFair\t"));
    EXPECT_EQ(rt::ProfileString("vantel.ini", "General", "Files", ""), other);
}

class Closing : public Saving {
protected:
    const rt::MessageBoxCall *question() const
    {
        for (const auto &c : boxes.calls())
            if (c.title == "Unsaved Event Data")
                return &c;
        return nullptr;
    }
};

TEST_F(Closing, WithoutChangesClosesWithoutAsking)
{
    openTwoEvents();
    click("pb_close");
    EXPECT_FALSE(w->isVisible());
    EXPECT_TRUE(boxes.calls().empty());
}

TEST_F(Closing, NoClosesWithoutWriting)
{
    openTwoEvents();
    const QByteArray events = readData("VantelEvents.txt");
    renameEvent("Fair");
    boxes.queueAnswer(2); // No
    click("pb_close");
    const rt::MessageBoxCall *q = question();
    ASSERT_NE(q, nullptr);
    EXPECT_EQ(q->text, "Do you want to save your unsaved event data before closing ?");
    EXPECT_EQ(q->buttons, rt::Buttons::YesNo);
    EXPECT_EQ(q->defaultButton, 1);
    EXPECT_FALSE(w->isVisible());
    EXPECT_EQ(readData("VantelEvents.txt"), events);
}

TEST_F(Closing, YesSavesAndCloses)
{
    openTwoEvents();
    renameEvent("Fair");
    boxes.queueAnswer(1);
    click("pb_close");
    ASSERT_NE(question(), nullptr);
    EXPECT_FALSE(w->isVisible());
    EXPECT_TRUE(readData("VantelEvents.txt").contains("\tFair\t"));
}

TEST_F(Closing, YesWithInvalidDataKeepsTheWindowWithTheErrorList)
{
    openTwoEvents();
    const QByteArray events = readData("VantelEvents.txt");
    renameEvent("");
    boxes.queueAnswer(1);
    click("pb_close");
    ASSERT_NE(question(), nullptr);
    EXPECT_TRUE(w->isVisible());
    ASSERT_NE(errorList(), nullptr);
    EXPECT_TRUE(errorList()->isVisible());
    EXPECT_EQ(currentPage(), "tabpage_events_detail");
    EXPECT_TRUE(button("pb_save")->isEnabled());
    EXPECT_EQ(readData("VantelEvents.txt"), events);
}

TEST_F(Closing, TheWindowFrameAsksTheSameQuestion)
{
    openTwoEvents();
    const QByteArray events = readData("VantelEvents.txt");
    renameEvent("Fair");
    boxes.queueAnswer(2);
    w->close();
    ASSERT_NE(question(), nullptr);
    EXPECT_EQ(boxes.calls().size(), 1u);
    EXPECT_FALSE(w->isVisible());
    EXPECT_EQ(readData("VantelEvents.txt"), events);
}

// The real question, closed once by Escape and once by its title bar: the
// window stays as it was, with its changes and their journal.
TEST_F(Closing, EscapeOrTheTitleBarOnTheQuestionCancelsTheClose)
{
    openTwoEvents();
    w->document().journal().setDelay(0);
    const QByteArray events = readData("VantelEvents.txt");
    renameEvent("Fair");
    rt::setMessageBoxResponder({}); // the real dialog
    QStringList seen;
    QTimer answer;
    QObject::connect(&answer, &QTimer::timeout, [&seen] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        // Escape goes to the question once it has the focus, as a person's would.
        QWidget *focus = QApplication::focusWidget();
        if (!box || !box->isVisible() || !focus || (focus != box && !box->isAncestorOf(focus)))
            return;
        seen << box->windowTitle() + '|' + box->text();
        if (seen.size() == 1)
            QTest::keyClick(focus, Qt::Key_Escape);
        else
            box->close();
    });
    answer.start(20);
    click("pb_close");
    EXPECT_TRUE(w->isVisible());
    w->close(); // the window's own frame
    answer.stop();
    const QString question = "Unsaved Event Data|Do you want to save your unsaved event data before closing ?";
    EXPECT_EQ(seen, QStringList({question, question}));
    EXPECT_TRUE(w->isVisible());
    EXPECT_TRUE(button("pb_save")->isEnabled());
    EXPECT_EQ(dw("dw_events")->recordSet()->GetItemString(1, "name"), "Fair");
    w->document().journal().flush();
    EXPECT_TRUE(QFile::exists(dataDir() + Journal::fileName()));
    EXPECT_EQ(readData("VantelEvents.txt"), events);
}

// The entries of a zip file in order, or an empty list when unzip rejects it.
QStringList zipEntries(const QString &zip)
{
    QProcess test;
    test.start("unzip", {"-tqq", zip});
    if (!test.waitForFinished(10000) || test.exitStatus() != QProcess::NormalExit || test.exitCode() != 0)
        return {};
    QProcess list;
    list.start("unzip", {"-Z1", zip});
    list.waitForFinished(10000);
    return QString::fromUtf8(list.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
}

QByteArray zipEntry(const QString &zip, const QString &name)
{
    QProcess p;
    p.start("unzip", {"-p", zip, name});
    p.waitForFinished(10000);
    return p.readAllStandardOutput();
}

class Export : public Saving {
protected:
    QString zip() const { return dataDir() + "Vantel.zip"; }
};

TEST_F(Export, PacksTheSavedFilesAndTellsWhereThePackageLies)
{
    openTwoEvents();
    click("pb_export");
    ASSERT_EQ(boxes.calls().size(), 1u);
    EXPECT_EQ(boxes.calls()[0].title, "Export");
    EXPECT_EQ(boxes.calls()[0].text, w->message(14));
    EXPECT_TRUE(w->message(14).contains("This zip file is located in " + dataDir() + "\r\n"));
    EXPECT_EQ(zipEntries(zip()), kDataFiles);
    for (const QString &f : kDataFiles)
        EXPECT_EQ(zipEntry(zip(), f), readData(f)) << f.toStdString();

    // It holds the password: for the owner alone, whatever the package it
    // replaces allowed, and no more than the admin file allows.
    auto mode = [this] {
        struct stat st;
        return ::stat(QFile::encodeName(zip()).constData(), &st) == 0 ? st.st_mode & 07777 : 01000u;
    };
    EXPECT_EQ(mode(), 0600u);
    for (const auto &[admin, package] : {std::pair{0644u, 0600u}, std::pair{0400u, 0400u}}) {
        ASSERT_EQ(::chmod(QFile::encodeName(zip()).constData(), 0644), 0);
        ASSERT_EQ(::chmod(QFile::encodeName(dataDir() + "VantelAdmin.txt").constData(), admin), 0);
        click("pb_export");
        EXPECT_EQ(mode(), package) << std::oct << admin;
    }
}

TEST_F(Export, ReExportReplacesThePackageWithTheFilesAsLastSaved)
{
    openTwoEvents();
    click("pb_export");
    ASSERT_EQ(zipEntries(zip()), kDataFiles);

    renameEvent("Fair");
    click("pb_save");
    ASSERT_FALSE(button("pb_save")->isEnabled());
    renameEvent("Unsaved"); // not in the package
    boxes.clear();
    click("pb_export");
    ASSERT_EQ(boxes.calls().size(), 1u);
    EXPECT_EQ(boxes.calls()[0].title, "Export");
    EXPECT_EQ(zipEntries(zip()), kDataFiles);
    const QByteArray events = zipEntry(zip(), "VantelEvents.txt");
    EXPECT_EQ(events, readData("VantelEvents.txt"));
    EXPECT_TRUE(events.contains("\tFair\t"));
    EXPECT_TRUE(button("pb_save")->isEnabled());
}

TEST_F(Export, AfterTheDataFolderChangedTheMessageNamesTheNewFolder)
{
    openTwoEvents();
    const QString startupText = w->message(14);
    const QString other = wf.folder() + "Other/";
    ASSERT_TRUE(QDir().mkpath(other));
    typeInto("dw_admin", "file_directory", other);
    renameEvent("Fair"); // leaves the admin page: the new folder is in force
    click("pb_save");
    ASSERT_FALSE(button("pb_save")->isEnabled());
    boxes.clear();
    click("pb_export");
    ASSERT_EQ(boxes.calls().size(), 1u);
    EXPECT_EQ(boxes.calls()[0].title, "Export");
    const QStringList lines = boxes.calls()[0].text.split("\r\n");
    EXPECT_EQ(lines.value(1), "This zip file is located in " + other);
    EXPECT_EQ(lines.value(0), startupText.split("\r\n").value(0));
    EXPECT_EQ(lines.value(2), startupText.split("\r\n").value(2));
    EXPECT_EQ(zipEntries(other + "Vantel.zip"), kDataFiles);
    EXPECT_FALSE(QFileInfo::exists(zip()));
    // The message texts of the window stay as built at start-up.
    EXPECT_EQ(w->message(14), startupText);
}

TEST_F(Export, WithoutSavedFilesReportsWhatIsMissing)
{
    openWindow(); // first start: nothing saved yet
    click("pb_export");
    ASSERT_EQ(boxes.calls().size(), 1u);
    const rt::MessageBoxCall &box = boxes.calls()[0];
    EXPECT_EQ(box.title, "Export");
    EXPECT_NE(box.text, w->message(14));
    for (const QString &f : kDataFiles)
        EXPECT_TRUE(box.text.contains(f)) << f.toStdString();
    EXPECT_FALSE(QFileInfo::exists(zip()));
}

TEST_F(Export, UnregisteredComponentAsksToZipByHand)
{
    writeEvents(1);
    ext::table().RegisterAX = [](const QString &, qint16) { return 2; };
    openWindow();
    boxes.clear();
    click("pb_export");
    ASSERT_EQ(boxes.calls().size(), 1u);
    EXPECT_EQ(boxes.calls()[0].title, "Error");
    EXPECT_EQ(boxes.calls()[0].text, "Unable to zip files. Please manually zip files!");
    EXPECT_FALSE(QFileInfo::exists(zip()));
}

// Send by e-mail in the message after Export, with a stand-in for xdg-email
// on PATH that writes its arguments to a file, one a line.
class SendByEmail : public Export {
protected:
    void SetUp() override
    {
        Export::SetUp();
        ASSERT_TRUE(bin.isValid());
        oldPath_ = qgetenv("PATH");
        qputenv("PATH", bin.path().toLocal8Bit());
        QDesktopServices::setUrlHandler("file", &opener, "open");
    }
    void TearDown() override
    {
        QDesktopServices::unsetUrlHandler("file");
        qputenv("PATH", oldPath_);
        Export::TearDown();
    }
    // An xdg-email that records its arguments and ends with `status`.
    void installMailProgram(int status) const
    {
        QFile script(bin.filePath("xdg-email"));
        ASSERT_TRUE(script.open(QIODevice::WriteOnly));
        script.write(QStringLiteral("#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done >'%1'\nexit %2\n")
                         .arg(argsFile())
                         .arg(status)
                         .toUtf8());
        script.close();
        ASSERT_TRUE(script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    }
    QString argsFile() const { return bin.filePath("arguments"); }
    QStringList mailArguments() const
    {
        return QString::fromUtf8(readFile(argsFile())).split('\n', Qt::SkipEmptyParts);
    }
    // Export, answered with `button` (1 OK, 2 Send by e-mail); after Send,
    // waits until xdg-email has answered and tells whether the message opened.
    bool exportAndAnswer(int button)
    {
        QSignalSpy ended(w->findChild<PackageMail *>(), &PackageMail::ended);
        boxes.queueAnswer(button);
        click("pb_export");
        if (button == 2 && ended.isEmpty() && !ended.wait(10000))
            ADD_FAILURE() << "xdg-email did not answer";
        return !ended.isEmpty() && ended.first().first().toBool();
    }

    QTemporaryDir bin;
    FolderOpener opener;

private:
    QByteArray oldPath_;
};

TEST_F(SendByEmail, OpensANewMessageToTheMailboxWithThePackageAttached)
{
    installMailProgram(0);
    openTwoEvents();
    exportAndAnswer(1); // OK only
    ASSERT_EQ(boxes.calls().size(), 1u);
    EXPECT_EQ(boxes.calls()[0].buttons, rt::Buttons::OKSendByEmail);
    EXPECT_FALSE(QFileInfo::exists(argsFile())) << "OK started the mail program";

    boxes.clear();
    EXPECT_TRUE(exportAndAnswer(2));
    ASSERT_EQ(boxes.calls().size(), 1u); // no message after the mail program opened
    EXPECT_EQ(boxes.calls()[0].text, w->message(14)); // the message as it was
    const QString today = QDate::currentDate().toString(Qt::ISODate);
    EXPECT_EQ(mailArguments(),
              QStringList({"--utf8", "--subject", "VantelEvents", "--body",
                           "The events of login id ann, exported on " + today + ".", "--attach", zip(),
                           vantel_operator::events_mailbox}));
    EXPECT_TRUE(opener.urls.isEmpty());
}

TEST_F(SendByEmail, WithoutAMailProgramSaysSoAndShowsTheFolderOfThePackage)
{
    installMailProgram(3); // what xdg-email answers when no mail program is set up
    openTwoEvents();
    EXPECT_FALSE(exportAndAnswer(2));
    ASSERT_EQ(boxes.calls().size(), 2u);
    const rt::MessageBoxCall &box = boxes.calls()[1];
    EXPECT_EQ(box.title, "Send by e-mail");
    EXPECT_TRUE(box.text.contains("no mail program is set up")) << box.text.toStdString();
    EXPECT_TRUE(box.text.contains("Vantel.zip lies in " + dataDir() + ", which opens in your file manager"))
        << box.text.toStdString();
    EXPECT_TRUE(box.text.contains(exportmessages::mailLine()));
    EXPECT_EQ(opener.urls, QList<QUrl>({QUrl::fromLocalFile(dataDir())}));

    // No xdg-email at all.
    ASSERT_TRUE(QFile::remove(bin.filePath("xdg-email")));
    boxes.clear();
    EXPECT_FALSE(exportAndAnswer(2));
    ASSERT_EQ(boxes.calls().size(), 2u);
    EXPECT_TRUE(boxes.calls()[1].text.contains("xdg-email (package xdg-utils) is not installed"));
    EXPECT_EQ(opener.urls.size(), 2);
    EXPECT_TRUE(QFileInfo::exists(zip()));
}

} // namespace

#include "save_close_export_test.moc"
