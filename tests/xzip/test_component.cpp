// Registration of the zip component, automation objects and its pack method.
#include "zipreader.h"

#include "automation.h"
#include "externals.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

using rt::OLEObject;

namespace {

class ComponentTest : public RegistryTest {
protected:
    QString file(const QString &name) const { return work_.filePath(name); }

    // Registers the component and connects `zip` to a new object.
    void connect(OLEObject &zip)
    {
        ASSERT_EQ(ext::RegisterAX(ext::zip_component_library, 1), 0);
        ASSERT_EQ(zip.ConnectToNewObject(QStringLiteral("XStandard.Zip")), 0);
    }
    int pack(OLEObject &zip, const QString &source, const QString &archive, int paths = 0, int level = 9)
    {
        int rc = 99;
        const QVariant result = zip.invoke(QStringLiteral("pack"), {source, archive, paths, level}, &rc);
        EXPECT_EQ(rc, 0);
        return result.isValid() ? result.toInt() : -100;
    }
};

// ---- registration ---------------------------------------------------------

TEST_F(ComponentTest, RegisterAddsEntryAndUnregisterRemovesOnlyIt)
{
    QDir().mkpath(xdg_.path() + QStringLiteral("/vantel"));
    writeBytes(registryFile(), "# components\nOther.Thing=/opt/other.so\n");

    ASSERT_EQ(ext::RegisterAX(ext::zip_component_library, 1), 0);
    ASSERT_EQ(ext::RegisterAX(ext::zip_component_library, 1), 0); // again: still one entry
    EXPECT_EQ(registryText(), QStringLiteral("# components\nOther.Thing=/opt/other.so\nXStandard.Zip=")
                                  + componentPath() + QLatin1Char('\n'));
    EXPECT_EQ(OLEObject::registeredLibrary(QStringLiteral("xstandard.zip")), componentPath());

    EXPECT_EQ(ext::RegisterAX(ext::zip_component_library, 0), 0);
    EXPECT_EQ(registryText(), QStringLiteral("# components\nOther.Thing=/opt/other.so\n"));
    EXPECT_EQ(ext::RegisterAX(ext::zip_component_library, 0), 0); // nothing left to remove
}

TEST_F(ComponentTest, RegisterCreatesRegistryFolder)
{
    ASSERT_EQ(ext::RegisterAX(ext::zip_component_library, 1), 0);
    EXPECT_EQ(registryText(), QStringLiteral("XStandard.Zip=") + componentPath() + QLatin1Char('\n'));
    // No temporary files are left beside the registry.
    EXPECT_EQ(QDir(xdg_.path() + QStringLiteral("/vantel")).entryList(QDir::Files | QDir::Hidden),
              QStringList{QStringLiteral("components.ini")});
}

TEST_F(ComponentTest, RegisterFailsWhenRegistryCannotBeWritten)
{
    // A file where the registry folder should be.
    writeBytes(xdg_.path() + QStringLiteral("/vantel"), "not a folder");
    EXPECT_EQ(ext::RegisterAX(ext::zip_component_library, 1), 2);
}

// ---- automation objects ----------------------------------------------------

TEST_F(ComponentTest, ConnectNeedsRegistration)
{
    OLEObject zip;
    EXPECT_EQ(zip.ConnectToNewObject(QStringLiteral("XStandard.Zip")), -2);
    ASSERT_EQ(ext::RegisterAX(ext::zip_component_library, 1), 0);
    EXPECT_EQ(zip.ConnectToNewObject(QStringLiteral("XStandard.Zip")), 0);
    EXPECT_TRUE(zip.isConnected());
    EXPECT_EQ(zip.ConnectToNewObject(QStringLiteral("XStandard.Unknown")), -2);
    EXPECT_FALSE(zip.isConnected());
    ASSERT_EQ(ext::RegisterAX(ext::zip_component_library, 0), 0);
    EXPECT_EQ(zip.ConnectToNewObject(QStringLiteral("XStandard.Zip")), -2);
}

TEST_F(ComponentTest, ConnectFailsForLibrariesThatAreNoComponent)
{
    QDir().mkpath(xdg_.path() + QStringLiteral("/vantel"));
    const QString helvex = QCoreApplication::applicationDirPath() + QStringLiteral("/libhelvex1.so");
    writeBytes(registryFile(), "Gone.Thing=" + file("missing.so").toUtf8() + "\nNot.Component=" + helvex.toUtf8()
                                   + "\nRelative.Thing=libxzip.so\nWrong.Id=" + componentPath().toUtf8() + "\n");
    OLEObject obj;
    EXPECT_EQ(obj.ConnectToNewObject(QStringLiteral("Gone.Thing")), -3);
    EXPECT_EQ(obj.ConnectToNewObject(QStringLiteral("Not.Component")), -3);
    EXPECT_EQ(obj.ConnectToNewObject(QStringLiteral("Relative.Thing")), -3);
    // The library exists but makes no object of that id.
    EXPECT_EQ(obj.ConnectToNewObject(QStringLiteral("Wrong.Id")), -3);
    EXPECT_FALSE(obj.isConnected());
}

TEST_F(ComponentTest, InvokeResultCodes)
{
    OLEObject zip;
    int rc = 0;
    zip.invoke(QStringLiteral("pack"), {}, &rc);
    EXPECT_EQ(rc, -9); // not connected
    connect(zip);
    EXPECT_FALSE(zip.invoke(QStringLiteral("unpack"), {}, &rc).isValid());
    EXPECT_EQ(rc, -1);
    const QString a = file(QStringLiteral("a.txt")), z = file(QStringLiteral("a.zip"));
    writeBytes(a, "a");
    zip.invoke(QStringLiteral("pack"), {a, z, 0}, &rc);
    EXPECT_EQ(rc, -2);
    zip.invoke(QStringLiteral("pack"), {a, z, 0, 10}, &rc);
    EXPECT_EQ(rc, -2);
    zip.invoke(QStringLiteral("pack"), {a, 5, 0, 9}, &rc);
    EXPECT_EQ(rc, -2);
    EXPECT_FALSE(QFile::exists(z));
    // Method names are not case sensitive; numbers may come as doubles.
    EXPECT_EQ(zip.invoke(QStringLiteral("PACK"), {a, z, 0.0, 9.0}, &rc), QVariant(0));
    EXPECT_EQ(rc, 0);
    EXPECT_EQ(zip.DisconnectObject(), 0);
    zip.invoke(QStringLiteral("pack"), {a, z, 0, 9}, &rc);
    EXPECT_EQ(rc, -9);
}

// ---- pack ------------------------------------------------------------------

TEST_F(ComponentTest, PackOneFileByBaseName)
{
    OLEObject zip;
    connect(zip);
    QDir().mkpath(file(QStringLiteral("sub")));
    const QByteArray data = QByteArray("Fête\tde la musique\r\n").repeated(200);
    writeBytes(file(QStringLiteral("sub/events.txt")), data);
    const QString archive = file(QStringLiteral("out.zip"));

    EXPECT_EQ(pack(zip, file(QStringLiteral("sub/events.txt")), archive), 0);
    EXPECT_TRUE(unzipAccepts(archive));
    const ZipContents z = readZip(archive);
    ASSERT_TRUE(z.ok);
    ASSERT_EQ(z.names(), QStringList{QStringLiteral("events.txt")});
    EXPECT_EQ(z.entries[0].data, data);
    EXPECT_EQ(z.entries[0].method, 8); // deflated
    EXPECT_LT(QFileInfo(archive).size(), data.size() / 4);
}

TEST_F(ComponentTest, PackDeflatesFilesLargerThanOnePieceAndReplacesThem)
{
    OLEObject zip;
    connect(zip);
    // Larger than the pieces a file is cut into, so it is deflated on several
    // threads and joined.
    auto lines = [](int count, const char *what) {
        std::string out;
        for (int i = 0; i < count; ++i)
            out += "EV" + std::to_string(i * 7919L % 100003) + '\t' + what + "\t2026-05-" + std::to_string(i % 28 + 10)
                   + "\r\n";
        return QByteArray::fromStdString(out);
    };
    const QByteArray first = lines(300'000, "Open air concert"), second = lines(350'000, "Market");
    ASSERT_GT(first.size(), 9 << 20);
    const QString archive = file(QStringLiteral("out.zip"));
    writeBytes(file(QStringLiteral("events.txt")), first);
    writeBytes(file(QStringLiteral("empty.txt")), {});
    ASSERT_EQ(pack(zip, file(QStringLiteral("events.txt")), archive), 0);
    ASSERT_EQ(pack(zip, file(QStringLiteral("empty.txt")), archive), 0);
    ASSERT_TRUE(unzipAccepts(archive));
    writeBytes(file(QStringLiteral("events.txt")), second);
    ASSERT_EQ(pack(zip, file(QStringLiteral("events.txt")), archive), 0);

    EXPECT_TRUE(unzipAccepts(archive));
    const ZipContents z = readZip(archive);
    ASSERT_TRUE(z.ok);
    ASSERT_EQ(z.names(), (QStringList{QStringLiteral("events.txt"), QStringLiteral("empty.txt")}));
    EXPECT_TRUE(z.entries[0].data == second);
    EXPECT_EQ(z.entries[0].method, 8);
    EXPECT_TRUE(z.entries[1].data.isEmpty());
    EXPECT_EQ(z.entries[1].method, 8);
}

TEST_F(ComponentTest, PackPatternTakesMatchingRegularFilesOnly)
{
    OLEObject zip;
    connect(zip);
    writeBytes(file(QStringLiteral("b.txt")), "b");
    writeBytes(file(QStringLiteral("a.txt")), "a");
    writeBytes(file(QStringLiteral("c.dat")), "c");
    writeBytes(file(QStringLiteral(".hidden.txt")), "h");
    QDir().mkpath(file(QStringLiteral("folder.txt")));
    const QString archive = file(QStringLiteral("all.txt.zip"));

    EXPECT_EQ(pack(zip, file(QStringLiteral("*.txt")), archive), 0);
    // The archive itself would match "*.zip"; it is never packed into itself.
    EXPECT_EQ(pack(zip, file(QStringLiteral("*.zip")), archive), 1);
    const ZipContents z = readZip(archive);
    ASSERT_TRUE(z.ok);
    EXPECT_EQ(z.names(), (QStringList{QStringLiteral("a.txt"), QStringLiteral("b.txt")}));
}

TEST_F(ComponentTest, PackReportsMissingSourceAndCreatesNothing)
{
    OLEObject zip;
    connect(zip);
    const QString archive = file(QStringLiteral("out.zip"));
    EXPECT_EQ(pack(zip, file(QStringLiteral("none.txt")), archive), 1);
    EXPECT_EQ(pack(zip, file(QStringLiteral("*.none")), archive), 1);
    EXPECT_EQ(pack(zip, work_.path(), archive), 1); // a folder is no file
    EXPECT_FALSE(QFile::exists(archive));
}

TEST_F(ComponentTest, PackReplacesEntryOfSameNameAndKeepsOthers)
{
    OLEObject zip;
    connect(zip);
    const QString archive = file(QStringLiteral("out.zip"));
    writeBytes(file(QStringLiteral("a.txt")), "first a");
    writeBytes(file(QStringLiteral("b.txt")), "b");
    ASSERT_EQ(pack(zip, file(QStringLiteral("a.txt")), archive), 0);
    ASSERT_EQ(pack(zip, file(QStringLiteral("b.txt")), archive), 0);
    writeBytes(file(QStringLiteral("a.txt")), "second a, longer");
    ASSERT_EQ(pack(zip, file(QStringLiteral("a.txt")), archive, 0, 0), 0);

    const ZipContents z = readZip(archive);
    ASSERT_TRUE(z.ok);
    ASSERT_EQ(z.names(), (QStringList{QStringLiteral("a.txt"), QStringLiteral("b.txt")}));
    EXPECT_EQ(z.entries[0].data, QByteArray("second a, longer"));
    EXPECT_EQ(z.entries[0].method, 0); // level 0: stored
    EXPECT_EQ(z.entries[1].data, QByteArray("b"));
}

TEST_F(ComponentTest, PackWithFolderNamesKeepsRelativePath)
{
    OLEObject zip;
    connect(zip);
    QDir().mkpath(file(QStringLiteral("sub")));
    writeBytes(file(QStringLiteral("sub/x.txt")), "x");
    ASSERT_EQ(pack(zip, file(QStringLiteral("sub/../sub/x.txt")), file(QStringLiteral("p.zip")), 1), 0);
    const ZipContents z = readZip(file(QStringLiteral("p.zip")));
    ASSERT_TRUE(z.ok);
    ASSERT_EQ(z.entries.size(), 1);
    EXPECT_FALSE(z.entries[0].name.startsWith(QLatin1Char('/')));
    EXPECT_FALSE(z.entries[0].name.contains(QStringLiteral("..")));
    EXPECT_TRUE(z.entries[0].name.endsWith(QStringLiteral("/sub/x.txt")));
    EXPECT_FALSE(z.entries[0].name.contains(QStringLiteral("sub/sub")));
}

TEST_F(ComponentTest, PackLeavesArchiveThatIsNoZipUntouched)
{
    OLEObject zip;
    connect(zip);
    writeBytes(file(QStringLiteral("a.txt")), "a");
    const QString archive = file(QStringLiteral("notes.zip"));
    writeBytes(archive, "these are notes, not a zip file");
    EXPECT_EQ(pack(zip, file(QStringLiteral("a.txt")), archive), 2);
    EXPECT_EQ(readBytes(archive), QByteArray("these are notes, not a zip file"));
    EXPECT_EQ(QDir(work_.path()).entryList(QDir::Files | QDir::Hidden).size(), 2); // no temporary left
}

// ---- following and stopping pack --------------------------------------------

TEST_F(ComponentTest, ProgressIsToldHowFarPackIs)
{
    OLEObject zip;
    EXPECT_EQ(zip.SetProgressWatcher([](double) { return true; }), -9); // not connected
    connect(zip);
    std::vector<double> told;
    ASSERT_EQ(zip.SetProgressWatcher([&told](double done) {
        told.push_back(done);
        return true;
    }),
              0);
    writeBytes(file(QStringLiteral("a.txt")), QByteArray("concert\t2026-05-01\r\n").repeated(20000));
    ASSERT_EQ(pack(zip, file(QStringLiteral("a.txt")), file(QStringLiteral("out.zip"))), 0);
    ASSERT_GE(told.size(), 2u);
    EXPECT_EQ(told.front(), 0.0);
    for (size_t i = 1; i < told.size(); ++i)
        EXPECT_GE(told[i], told[i - 1]);
    EXPECT_LE(told.back(), 1.0);
    EXPECT_GT(told.back(), 0.5);

    // Removed, it is told nothing more.
    ASSERT_EQ(zip.SetProgressWatcher({}), 0);
    told.clear();
    ASSERT_EQ(pack(zip, file(QStringLiteral("a.txt")), file(QStringLiteral("out.zip"))), 0);
    EXPECT_TRUE(told.empty());
}

// Stopped at each of its reports in turn, pack answers "cancelled" and
// leaves the archive and its folder as they were; stored and deflated alike.
TEST_F(ComponentTest, PackStoppedAtAnyReportLeavesTheArchiveAsItWas)
{
    OLEObject zip;
    connect(zip);
    writeBytes(file(QStringLiteral("old.txt")), "old");
    const QString archive = file(QStringLiteral("out.zip"));
    ASSERT_EQ(pack(zip, file(QStringLiteral("old.txt")), archive), 0);
    const QByteArray before = readBytes(archive);
    writeBytes(file(QStringLiteral("new.txt")), QByteArray("market 2026-05-01\r\n").repeated(50000));
    const QStringList files = QDir(work_.path()).entryList(QDir::Files | QDir::Hidden);

    for (int level : {9, 0}) {
        // The reports of a whole call.
        int reports = 0;
        ASSERT_EQ(zip.SetProgressWatcher([&reports](double) { return ++reports > 0; }), 0);
        ASSERT_EQ(pack(zip, file(QStringLiteral("new.txt")), archive, 0, level), 0);
        ASSERT_GE(reports, 3);
        writeBytes(archive, before);

        // (How often the compressing is looked at depends on its speed: a
        // call may make fewer reports than the one counted.)
        for (int stopAt = 1; stopAt <= reports; ++stopAt) {
            SCOPED_TRACE(testing::Message() << "level " << level << ", stopped at report " << stopAt);
            int calls = 0;
            ASSERT_EQ(zip.SetProgressWatcher([&calls, stopAt](double) { return ++calls < stopAt; }), 0);
            const int rc = pack(zip, file(QStringLiteral("new.txt")), archive, 0, level);
            if (rc == 0 && calls < stopAt) { // never asked to stop
                writeBytes(archive, before);
                continue;
            }
            EXPECT_EQ(rc, 4);
            EXPECT_EQ(calls, stopAt); // not asked again once it said stop
            EXPECT_EQ(readBytes(archive), before);
            EXPECT_EQ(QDir(work_.path()).entryList(QDir::Files | QDir::Hidden), files);
        }
    }
}

} // namespace
