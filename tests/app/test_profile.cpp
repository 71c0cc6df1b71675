// The settings file writer changes one key and keeps everything else.
#include "faults.h"
#include "globals.h"
#include "profile.h"
#include "messageboxes.h"
#include "testsupport.h"
#include "textcodec.h"
#include "vantel.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

using namespace testing_support;

namespace {

class Profile : public ::testing::Test {
protected:
    QString path(const char *name = "vantel.ini") const { return folder_.file(QString::fromLatin1(name)); }
    WorkingFolder folder_;
};

TEST_F(Profile, ChangesOneKeyAndKeepsEveryOtherLine)
{
    const QByteArray before = "; shipped settings\r\n"
                              "[Other]\r\n"
                              "App=keep me\r\n"
                              "\r\n"
                              "[General]\r\n"
                              "App=GETDIR\r\n"
                              "# note\r\n"
                              "Files = GETDIR\r\n"
                              "Extra=1\r\n";
    folder_.write("vantel.ini", before);
    ASSERT_EQ(rt::SetProfileString(path(), "General", "Files", "/home/u/Files/"), 1);
    // Only the line of the key changes, and it loses the blanks round '='.
    EXPECT_EQ(folder_.read("vantel.ini"), QByteArray(before).replace("Files = GETDIR\r\n", "Files=/home/u/Files/\r\n"));
    EXPECT_EQ(rt::ProfileString(path(), "general", "files", "x"), QStringLiteral("/home/u/Files/"));
    EXPECT_EQ(rt::ProfileString(path(), "Other", "App", "x"), QStringLiteral("keep me"));
}

TEST_F(Profile, AddsAMissingKeyInsideItsSectionWithTheFilesLineEnds)
{
    folder_.write("vantel.ini", "[General]\nApp=/a/\n\n[Later]\nk=v\n");
    ASSERT_EQ(rt::SetProfileString(path(), "General", "Files", "/f/"), 1);
    EXPECT_EQ(folder_.read("vantel.ini"), QByteArray("[General]\nApp=/a/\nFiles=/f/\n\n[Later]\nk=v\n"));
}

TEST_F(Profile, AddsAMissingSectionAfterALastLineWithoutEnd)
{
    folder_.write("vantel.ini", "[Other]\r\nk=v");
    ASSERT_EQ(rt::SetProfileString(path(), "General", "App", "/a/"), 1);
    EXPECT_EQ(folder_.read("vantel.ini"), QByteArray("[Other]\r\nk=v\r\n[General]\r\nApp=/a/\r\n"));
    EXPECT_EQ(rt::ProfileString(path(), "General", "App", "x"), QStringLiteral("/a/"));
}

TEST_F(Profile, MissingFileSectionOrKeyGivesTheDefault)
{
    EXPECT_EQ(rt::ProfileString(path("none.ini"), "General", "App", "GETDIR"), QStringLiteral("GETDIR"));
    folder_.write("vantel.ini", "[General]\r\nApp=/a/\r\n");
    EXPECT_EQ(rt::ProfileString(path(), "Nope", "App", "d"), QStringLiteral("d"));
    EXPECT_EQ(rt::ProfileString(path(), "General", "Files", "d"), QStringLiteral("d"));
}

TEST_F(Profile, KeepsBytesThatAreNotUtf8AndReadsThemAsWindows1252)
{
    folder_.write("vantel.ini", "[General]\r\nOwner=Jos\xe9\r\nApp=x\r\n");
    EXPECT_EQ(rt::ProfileString(path(), "General", "Owner", ""), QString::fromUtf8("Jos\xc3\xa9"));
    ASSERT_EQ(rt::SetProfileString(path(), "General", "App", "/b/"), 1);
    EXPECT_EQ(folder_.read("vantel.ini"), QByteArray("[General]\r\nOwner=Jos\xe9\r\nApp=/b/\r\n"));
}

TEST_F(Profile, AFailedWriteAnswersMinusOne)
{
    EXPECT_EQ(rt::SetProfileString(folder_.file("missing/folder/vantel.ini"), "General", "App", "/a/"), -1);
}

TEST_F(Profile, WritesIntoAWindows1252FileInWindows1252)
{
    folder_.write("vantel.ini", "[General]\r\nOwner=Jos\xe9\r\nFiles=GETDIR\r\n");
    ASSERT_EQ(rt::SetProfileString(path(), "General", "Files", QString::fromUtf8("/home/Ren\xc3\xa9" "e/Files/")), 1);
    EXPECT_EQ(folder_.read("vantel.ini"), QByteArray("[General]\r\nOwner=Jos\xe9\r\nFiles=/home/Ren\xe9" "e/Files/\r\n"));
    EXPECT_EQ(rt::ProfileString(path(), "General", "Files", ""), QString::fromUtf8("/home/Ren\xc3\xa9" "e/Files/"));
    EXPECT_EQ(rt::ProfileString(path(), "General", "Owner", ""), QString::fromUtf8("Jos\xc3\xa9"));

    // A value that Windows-1252 cannot hold turns the file into UTF-8, so
    // that both it and the other values read back as they were.
    ASSERT_EQ(rt::SetProfileString(path(), "General", "App", QString::fromUtf8("/home/\xc5\x81\xc3\xb3" "d\xc5\xba/")), 1);
    EXPECT_EQ(folder_.read("vantel.ini"), QByteArray("[General]\r\nOwner=Jos\xc3\xa9\r\nFiles=/home/Ren\xc3\xa9"
                                                     "e/Files/\r\nApp=/home/\xc5\x81\xc3\xb3" "d\xc5\xba/\r\n"));
    EXPECT_EQ(rt::ProfileString(path(), "General", "Files", ""), QString::fromUtf8("/home/Ren\xc3\xa9" "e/Files/"));
    EXPECT_EQ(rt::ProfileString(path(), "General", "Owner", ""), QString::fromUtf8("Jos\xc3\xa9"));
}

TEST_F(Profile, AStrayWindows1252ByteSpoilsNoUtf8PathAndIsReportedWithABackup)
{
    const QByteArray before = "[General]\r\n; Gr\xfc\xdf" "e\r\nFiles=/home/J\xc3\xbcrgen/Caf\xc3\xa9/\r\n";
    folder_.write("vantel.ini", before);
    EXPECT_EQ(rt::ProfileString(path(), "General", "Files", ""), QString::fromUtf8("/home/J\xc3\xbcrgen/Caf\xc3\xa9/"));
    const rt::ProfileCheck check = rt::CheckProfileFile(path());
    EXPECT_TRUE(check.unreadable.isEmpty());
    EXPECT_EQ(check.mixed, "vantel.ini: line 2: 2 bytes that are not UTF-8 were read as Windows-1252");
    ASSERT_FALSE(check.backupPath.isEmpty());
    QFile backup(check.backupPath);
    ASSERT_TRUE(backup.open(QIODevice::ReadOnly));
    EXPECT_EQ(backup.readAll(), before);
    // A value written into it is read back as written.
    ASSERT_EQ(rt::SetProfileString(path(), "General", "App", QString::fromUtf8("/opt/\xc3\xa9/")), 1);
    EXPECT_EQ(rt::ProfileString(path(), "General", "App", ""), QString::fromUtf8("/opt/\xc3\xa9/"));
    // Files wholly in one encoding or the other are no news.
    folder_.write("plain.ini", "[General]\r\nFiles=/home/J\xfcrgen/\r\n");
    EXPECT_TRUE(rt::CheckProfileFile(path("plain.ini")).mixed.isEmpty());
}

TEST_F(Profile, PipesDevicesAndHugeFilesAreRefusedWithoutWaitingAndLeftAlone)
{
    ::alarm(20); // a blocked read fails the test instead of hanging it
    ASSERT_EQ(::mkfifo(QFile::encodeName(path("fifo.ini")).constData(), 0600), 0);
    ASSERT_TRUE(QFile::link("/dev/zero", path("zero.ini")));
    {
        QFile big(path("big.ini"));
        ASSERT_TRUE(big.open(QIODevice::WriteOnly));
        ASSERT_TRUE(big.resize(64LL << 20)); // sparse: takes no room
    }
    const char *reasons[][2] = {{"fifo.ini", "it is not a regular file (a pipe, device or socket)"},
                                {"zero.ini", "it is not a regular file (a pipe, device or socket)"},
                                {"big.ini", "it is larger than 1 MiB"}};
    for (const auto &[name, reason] : reasons) {
        SCOPED_TRACE(name);
        EXPECT_EQ(rt::CheckProfileFile(path(name)).unreadable, QString::fromLatin1(reason));
        EXPECT_EQ(rt::ProfileString(path(name), "General", "Files", "GETDIR"), QStringLiteral("GETDIR"));
        EXPECT_EQ(rt::SetProfileString(path(name), "General", "Files", "/f/"), -1);
    }
    ::alarm(0);
    struct stat st;
    ASSERT_EQ(::lstat(QFile::encodeName(path("fifo.ini")).constData(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
    EXPECT_EQ(QFileInfo(path("zero.ini")).symLinkTarget(), QStringLiteral("/dev/zero"));
    EXPECT_EQ(QFileInfo(path("big.ini")).size(), 64LL << 20);
}

TEST_F(Profile, AFullOrFailingDiskLeavesTheFileAsItWasAndTheStartSaysSoOnce)
{
    const QByteArray before = "[General]\r\nApp=/a/\r\nFiles=/f/\r\n";
    folder_.write("vantel.ini", before);
    folder_.write("vantel.ini.Xy12Ab", "cut short"); // left by a write that was killed
    folder_.write("vantel.ini.backup", "the user's");
    auto files = [this] { return QDir(folder_.path()).entryList(QDir::Files, QDir::Name).join(' ').toStdString(); };
    for (const char *fault : {"write:vantel.ini:ENOSPC", "fdatasync:vantel.ini:EIO"}) {
        SCOPED_TRACE(fault);
        const Faults faults(fault);
        QString error;
        EXPECT_EQ(rt::SetProfileString(path(), "General", "Files", "/new/", &error), -1);
        EXPECT_TRUE(error.startsWith(path() + ": ")) << error.toStdString();
        EXPECT_EQ(folder_.read("vantel.ini"), before);
        EXPECT_EQ(files(), "vantel.ini vantel.ini.Xy12Ab vantel.ini.backup");
    }

    // The start writes both folders back: one message for all of them, and
    // what an interrupted write left is gone first.
    MessageBoxRecorder boxes;
    gs_app_dir = gs_directory = "GETDIR";
    {
        const Faults faults("write:vantel.ini:ENOSPC");
        vantel_startup::settleFolders([](const QString &) { return 0; });
    }
    ASSERT_EQ(boxes.calls().size(), 1u);
    EXPECT_EQ(boxes.calls()[0].title, "ini File");
    EXPECT_TRUE(boxes.calls()[0].text.contains("No space left on device")) << boxes.calls()[0].text.toStdString();
    EXPECT_EQ(folder_.read("vantel.ini"), before);
    EXPECT_EQ(files(), "vantel.ini vantel.ini.backup");
}

} // namespace

// Every byte of Windows-1252 reads as the character of the code page (the
// five unassigned bytes as the control character of the same number) and is
// written back as the same byte; a character the code page lacks, a lone
// surrogate included, is refused rather than written as something else.
TEST(TextCodec, Windows1252ReadsAndWritesAll256Bytes)
{
    const char16_t high[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                               0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                               0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                               0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
    QByteArray all;
    for (int i = 0; i < 256; ++i)
        all.append(char(i));
    const QString text = rt::decodeWindows1252(all);
    ASSERT_EQ(text.size(), 256);
    for (int i = 0; i < 256; ++i)
        EXPECT_EQ(text[i].unicode(), i >= 0x80 && i < 0xA0 ? high[i - 0x80] : char16_t(i)) << "byte " << i;
    QByteArray back;
    ASSERT_TRUE(rt::encodeWindows1252(text, back));
    EXPECT_EQ(back, all);
    // Mixed text: a valid UTF-8 sequence stays, the other bytes read alike.
    EXPECT_EQ(rt::decodeText(QByteArray("\xC3\xA9 \x80 \x9F")), QString::fromUtf8("\xC3\xA9 \xE2\x82\xAC \xC5\xB8"));
    for (const QString &none : {QString(QChar(0x4E00)), QString(QChar(0xD800)), QStringLiteral("\u0100")})
        EXPECT_FALSE(rt::encodeWindows1252(QStringLiteral("a") + none, back));
}
