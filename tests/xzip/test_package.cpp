// The export package: the three data files in Vantel.zip, replaced whole.
#include "zipreader.h"

#include "externals.h"
#include "package.h"

#include <QDir>
#include <QFile>

namespace {

const QStringList dataFiles = {QStringLiteral("VantelAdmin.txt"), QStringLiteral("VantelEvents.txt"),
                               QStringLiteral("VantelEventDates.txt")};
const QString zipName = QStringLiteral("Vantel.zip");

class PackageTest : public RegistryTest {
protected:
    void SetUp() override
    {
        RegistryTest::SetUp();
        folder_ = work_.path() + QLatin1Char('/');
        contents_ = {QByteArray("admin\tsecret\t") + folder_.toUtf8() + "\tDE\t\tKöln\r\n",
                     QByteArray("EV010120241200000000\tMarkt\tObst & Gemüse\t0\t70\r\n").repeated(50),
                     QByteArray("TI010120241200000001\tEV010120241200000000\t01.01.2024\t10:00\r\n")};
        for (int i = 0; i < dataFiles.size(); ++i)
            writeBytes(folder_ + dataFiles[i], contents_[i]);
        ASSERT_EQ(ext::RegisterAX(ext::zip_component_library, 1), 0);
    }
    QString zipPath() const { return folder_ + zipName; }
    QStringList folderFiles() const
    {
        QStringList names = QDir(folder_).entryList(QDir::Files | QDir::Hidden);
        names.sort();
        return names;
    }
    void expectPackageHolds(const QList<QByteArray> &contents)
    {
        EXPECT_TRUE(unzipAccepts(zipPath()));
        const ZipContents z = readZip(zipPath());
        ASSERT_TRUE(z.ok);
        ASSERT_EQ(z.names(), dataFiles);
        for (int i = 0; i < dataFiles.size(); ++i)
            EXPECT_EQ(z.entries[i].data, contents[i]) << dataFiles[i].toStdString();
    }

    QString folder_;
    QList<QByteArray> contents_;
};

TEST_F(PackageTest, ExportPacksTheThreeFilesInOrder)
{
    const PackageResult r = pack_data_files(folder_, dataFiles, zipName);
    ASSERT_EQ(r.kind, PackageResult::Ok) << r.detail.toStdString();
    expectPackageHolds(contents_);
    QStringList expected = dataFiles;
    expected << zipName;
    expected.sort();
    EXPECT_EQ(folderFiles(), expected); // no temporary archive left behind
}

TEST_F(PackageTest, ReExportReplacesChangedFileAndDropsStaleEntries)
{
    // An old package that holds an entry that is no data file any more.
    writeBytes(folder_ + QStringLiteral("Old.txt"), "stale");
    ASSERT_EQ(pack_data_files(folder_, {QStringLiteral("Old.txt")}, zipName).kind, PackageResult::Ok);
    ASSERT_EQ(readZip(zipPath()).names(), QStringList{QStringLiteral("Old.txt")});

    contents_[1] = "EV020220241200000000\tDrama\tchanged\t5\t70\r\n";
    writeBytes(folder_ + dataFiles[1], contents_[1]);
    ASSERT_EQ(pack_data_files(folder_, dataFiles, zipName).kind, PackageResult::Ok);
    expectPackageHolds(contents_);
}

TEST_F(PackageTest, MissingFilesAreReportedAndOldPackageKept)
{
    ASSERT_EQ(pack_data_files(folder_, dataFiles, zipName).kind, PackageResult::Ok);
    const QByteArray before = readBytes(zipPath());
    ASSERT_TRUE(QFile::remove(folder_ + dataFiles[0]));
    ASSERT_TRUE(QFile::remove(folder_ + dataFiles[2]));
    writeBytes(folder_ + dataFiles[1], "changed, but not packed");

    const PackageResult r = pack_data_files(folder_, dataFiles, zipName);
    EXPECT_EQ(r.kind, PackageResult::MissingFiles);
    EXPECT_EQ(r.missing, (QStringList{dataFiles[0], dataFiles[2]}));
    EXPECT_EQ(readBytes(zipPath()), before);
}

TEST_F(PackageTest, FailedReplaceLeavesNoTemporaryFile)
{
    // The package's name is taken by a folder, so the new archive cannot be
    // renamed over it.
    QDir().mkpath(folder_ + QStringLiteral("Taken.zip"));
    const PackageResult r = pack_data_files(folder_, dataFiles, QStringLiteral("Taken.zip"));
    EXPECT_EQ(r.kind, PackageResult::PackFailed);
    EXPECT_FALSE(r.detail.isEmpty());
    EXPECT_TRUE(QFileInfo(folder_ + QStringLiteral("Taken.zip")).isDir());
    QStringList expected = dataFiles;
    expected.sort();
    EXPECT_EQ(folderFiles(), expected);
}

TEST_F(PackageTest, NoComponentWhenNotRegistered)
{
    ASSERT_EQ(ext::RegisterAX(ext::zip_component_library, 0), 0);
    EXPECT_EQ(pack_data_files(folder_, dataFiles, zipName).kind, PackageResult::NoComponent);
    EXPECT_FALSE(QFile::exists(zipPath()));
}

TEST_F(PackageTest, DeploymentPacksProgramFilesOnly)
{
    const QString deploy = work_.path() + QStringLiteral("/deploy/");
    QDir().mkpath(deploy);
    for (const char *name : {"libhelvex1.so", "libxzip.so", "vantel", "vantel.ini", "countries.txt", "notes.dat",
                             "vantel.cpp"})
        writeBytes(deploy + QString::fromLatin1(name), name);

    PackageResult r = pack_deployment(deploy, zipName);
    ASSERT_EQ(r.kind, PackageResult::Ok) << r.detail.toStdString();
    EXPECT_EQ(r.missing, QStringList{QStringLiteral("*.rcc")});
    ZipContents z = readZip(deploy + zipName);
    ASSERT_TRUE(z.ok);
    EXPECT_EQ(z.names(), (QStringList{QStringLiteral("libhelvex1.so"), QStringLiteral("libxzip.so"),
                                      QStringLiteral("vantel"), QStringLiteral("vantel.ini"),
                                      QStringLiteral("countries.txt")}));

    const QString empty = work_.path() + QStringLiteral("/empty/");
    QDir().mkpath(empty);
    r = pack_deployment(empty, zipName);
    EXPECT_EQ(r.kind, PackageResult::MissingFiles);
    EXPECT_EQ(r.missing.size(), 5);
    EXPECT_TRUE(QDir(empty).isEmpty(QDir::Files | QDir::Hidden));
}

// Followed, the run is told its share done, up to the whole; stopped at any
// of its reports it ends Cancelled, with the old package and no temporary
// file.
TEST_F(PackageTest, StoppedAtAnyPointTheOldPackageStays)
{
    ASSERT_EQ(pack_data_files(folder_, dataFiles, zipName).kind, PackageResult::Ok);
    const QByteArray before = readBytes(zipPath());
    const QStringList files = folderFiles();
    contents_[1] = QByteArray("EV020220241200000000\tDrama\tchanged\t5\t70\r\n").repeated(5000);
    writeBytes(folder_ + dataFiles[1], contents_[1]);

    std::vector<double> told;
    auto follow = [&told](double done) {
        told.push_back(done);
        return true;
    };
    ASSERT_EQ(pack_data_files(folder_, dataFiles, zipName, follow).kind, PackageResult::Ok);
    expectPackageHolds(contents_);
    const int reports = int(told.size());
    ASSERT_GT(reports, int(dataFiles.size()));
    EXPECT_EQ(told.front(), 0.0);
    EXPECT_EQ(told.back(), 1.0);
    for (int i = 1; i < reports; ++i)
        EXPECT_GE(told[size_t(i)], told[size_t(i - 1)]);
    writeBytes(zipPath(), before);

    // (How often the compressing is looked at depends on its speed: a run
    // may make fewer reports than the one counted.)
    for (int stopAt = 1; stopAt <= reports; ++stopAt) {
        SCOPED_TRACE(stopAt);
        int calls = 0;
        const PackageResult r =
            pack_data_files(folder_, dataFiles, zipName, [&calls, stopAt](double) { return ++calls < stopAt; });
        if (r.kind == PackageResult::Ok && calls < stopAt) { // never asked to stop
            writeBytes(zipPath(), before);
            continue;
        }
        EXPECT_EQ(r.kind, PackageResult::Cancelled);
        EXPECT_EQ(calls, stopAt);
        EXPECT_EQ(readBytes(zipPath()), before);
        EXPECT_EQ(folderFiles(), files);
    }
}

} // namespace
