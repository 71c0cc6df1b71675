// The settings file writer changes one key and keeps everything else.
#include "profile.h"
#include "testsupport.h"

#include <gtest/gtest.h>

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
    EXPECT_EQ(folder_.read("vantel.ini"), QByteArray("; shipped settings\r\n"
                                                     "[Other]\r\n"
                                                     "App=keep me\r\n"
                                                     "\r\n"
                                                     "[General]\r\n"
                                                     "App=GETDIR\r\n"
                                                     "# note\r\n"
                                                     "Files=/home/u/Files/\r\n"
                                                     "Extra=1\r\n"));
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

} // namespace
