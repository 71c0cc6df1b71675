// File time stamps and folder removal.
#include "helvex1.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

namespace {

// TZ for the time of a test.
class TimeZone {
public:
    explicit TimeZone(const char *tz)
    {
        const char *old = std::getenv("TZ");
        had_ = old != nullptr;
        if (old)
            saved_ = old;
        setenv("TZ", tz, 1);
        tzset();
    }
    ~TimeZone()
    {
        if (had_)
            setenv("TZ", saved_.c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }

private:
    bool had_ = false;
    std::string saved_;
};

void touch(const QString &path, const QByteArray &content = "x")
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(content);
}

TEST(GetFileDate, WrittenAndAccessedInLocalTime)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("stamped.txt"));
    touch(file);
    // 5 March 2004 17:09:30 UTC written, 1 January 2010 08:05 UTC accessed.
    const timespec times[2] = {{1262333100, 0}, {1078506570, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, file.toUtf8().constData(), times, 0), 0);
    char buffer[32];
    {
        TimeZone utc("UTC");
        ASSERT_EQ(GetFileDate(file.toUtf8().constData(), 3, buffer, 0), 0);
        EXPECT_STREQ(buffer, "05/03/2004  17:09");
        ASSERT_EQ(GetFileDate(file.toUtf8().constData(), 2, buffer, 0), 0);
        EXPECT_STREQ(buffer, "01/01/2010  08:05");
    }
    TimeZone berlin("Europe/Berlin");
    ASSERT_EQ(GetFileDate(file.toUtf8().constData(), 3, buffer, 0), 0);
    EXPECT_STREQ(buffer, "05/03/2004  18:09");
}

TEST(GetFileDate, StampBeyondYear9999NeverOverrunsTheBuffer)
{
    // tmpfs keeps 64-bit time stamps; most disk file systems stop earlier.
    QTemporaryDir dir(QStringLiteral("/dev/shm/helvex1-XXXXXX"));
    if (!dir.isValid())
        GTEST_SKIP() << "no /dev/shm on this machine";
    const QString file = dir.filePath(QStringLiteral("future.txt"));
    touch(file);
    const timespec times[2] = {{0, UTIME_OMIT}, {316516204800LL, 0}}; // 1 January 12000 UTC
    if (utimensat(AT_FDCWD, file.toUtf8().constData(), times, 0) != 0)
        GTEST_SKIP() << "the file system does not keep such a time stamp";
    struct stat st {};
    ASSERT_EQ(stat(file.toUtf8().constData(), &st), 0);
    if (st.st_mtim.tv_sec != 316516204800LL)
        GTEST_SKIP() << "the file system clamps the time stamp";
    TimeZone utc("UTC");
    char buffer[24];
    std::memset(buffer, '#', sizeof buffer);
    EXPECT_EQ(GetFileDate(file.toUtf8().constData(), 3, buffer, 0), HX_FAILURE);
    EXPECT_STREQ(buffer, "-2");
    EXPECT_EQ(std::string(buffer + 18, sizeof buffer - 18), std::string(sizeof buffer - 18, '#'));
}

TEST(GetFileDate, OtherStampNumbersGiveTheEmptyText)
{
    char buffer[32] = "untouched";
    EXPECT_EQ(GetFileDate("/no/such/file", 4, buffer, 0), 0);
    EXPECT_STREQ(buffer, "");
}

TEST(GetFileDate, MissingFileAnswersMinusOne)
{
    char buffer[32];
    EXPECT_EQ(GetFileDate("/no/such/file", 3, buffer, 0), HX_FAILURE);
    EXPECT_STREQ(buffer, "-1");
}

TEST(DeleteDirectory, RemovesReadOnlyEntriesAndNestedFolders)
{
    QTemporaryDir dir;
    const QString root = dir.filePath(QStringLiteral("doomed"));
    ASSERT_TRUE(QDir().mkpath(root + QStringLiteral("/inner/deeper")));
    touch(root + QStringLiteral("/readonly.txt"));
    touch(root + QStringLiteral("/inner/deeper/file.txt"));
    ASSERT_EQ(chmod((root + QStringLiteral("/readonly.txt")).toUtf8().constData(), 0444), 0);
    ASSERT_EQ(chmod((root + QStringLiteral("/inner")).toUtf8().constData(), 0555), 0);
    EXPECT_NE(DeleteDirectory(root.toUtf8().constData()), 0);
    EXPECT_FALSE(QFileInfo::exists(root));
}

TEST(DeleteDirectory, MissingFolderOrAFileAnswersZero)
{
    QTemporaryDir dir;
    EXPECT_EQ(DeleteDirectory(dir.filePath(QStringLiteral("missing")).toUtf8().constData()), 0);
    const QString file = dir.filePath(QStringLiteral("plain.txt"));
    touch(file);
    EXPECT_EQ(DeleteDirectory(file.toUtf8().constData()), 0);
    EXPECT_TRUE(QFileInfo::exists(file));
}

TEST(DeleteDirectory, LinksAreRemovedNotFollowed)
{
    QTemporaryDir dir;
    const QString keep = dir.filePath(QStringLiteral("keep"));
    const QString root = dir.filePath(QStringLiteral("doomed"));
    ASSERT_TRUE(QDir().mkpath(keep));
    ASSERT_TRUE(QDir().mkpath(root));
    touch(keep + QStringLiteral("/precious.txt"));
    ASSERT_EQ(symlink(keep.toUtf8().constData(), (root + QStringLiteral("/link")).toUtf8().constData()), 0);
    EXPECT_NE(DeleteDirectory(root.toUtf8().constData()), 0);
    EXPECT_FALSE(QFileInfo::exists(root));
    EXPECT_TRUE(QFileInfo::exists(keep + QStringLiteral("/precious.txt")));
    // A link given as the folder itself is not followed either.
    const QString link = dir.filePath(QStringLiteral("link-to-keep"));
    ASSERT_EQ(symlink(keep.toUtf8().constData(), link.toUtf8().constData()), 0);
    EXPECT_EQ(DeleteDirectory(link.toUtf8().constData()), 0);
    EXPECT_TRUE(QFileInfo::exists(keep + QStringLiteral("/precious.txt")));
    // Nor when its name ends in "/", which would make the system resolve it.
    EXPECT_EQ(DeleteDirectory((link + QStringLiteral("//")).toUtf8().constData()), 0);
    EXPECT_TRUE(QFileInfo::exists(keep + QStringLiteral("/precious.txt")));
    // A real folder named with a trailing "/" still goes.
    const QString plain = dir.filePath(QStringLiteral("plain"));
    ASSERT_TRUE(QDir().mkpath(plain + QStringLiteral("/inner")));
    EXPECT_NE(DeleteDirectory((plain + QStringLiteral("/")).toUtf8().constData()), 0);
    EXPECT_FALSE(QFileInfo::exists(plain));
}

} // namespace
