// Start-up of the program: screen size, the user's date pattern and the
// settings file.
#include "externals.h"
#include "globals.h"
#include "messageboxes.h"
#include "testsupport.h"
#include "vantel.h"

#include <gtest/gtest.h>

#include <QFile>

#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

using namespace testing_support;

namespace {

const QString kMissingIniText = QStringLiteral(
    "The ini file is not present.\n\rIf you have moved the Vantel.exe file to a new location, please copy all "
    "files shipped with the tool to the new location.");

// Starts the program in the working folder as it stands: whether the start
// went on (its open answered true) and whether the main window was asked for.
struct Started {
    bool open = false;
    bool windowAsked = false;
};
Started start()
{
    Started started;
    vantel app([&] {
        started.windowAsked = true;
        return true;
    });
    app.create();
    started.open = app.open();
    return started;
}

class StartUp : public ::testing::Test {
protected:
    void SetUp() override
    {
        const char *old = std::getenv("LC_ALL");
        oldLcAll_ = old ? QByteArray(old) : QByteArray();
        hadLcAll_ = old != nullptr;
    }
    void TearDown() override
    {
        if (hadLcAll_)
            setenv("LC_ALL", oldLcAll_.constData(), 1);
        else
            unsetenv("LC_ALL");
        rt::setEnvironmentProvider({});
    }

    // Runs the start-up in a folder with a settings file; answers whether
    // the main window was asked to open.
    bool startWith(const QByteArray &ini)
    {
        folder_.write(QStringLiteral("vantel.ini"), ini);
        const Started started = start();
        EXPECT_TRUE(started.open);
        return started.windowAsked;
    }

    WorkingFolder folder_;
    MessageBoxRecorder boxes_;
    ExternalsGuard guard_;
    QByteArray oldLcAll_;
    bool hadLcAll_ = false;
};

struct LocaleCase {
    const char *locale;
    const char *pattern;
    const char *separator;
};

class StartUpLocale : public StartUp, public ::testing::WithParamInterface<LocaleCase> {};

TEST_P(StartUpLocale, DatePatternFollowsTheUsersLocale)
{
    setenv("LC_ALL", GetParam().locale, 1);
    ASSERT_TRUE(startWith("[General]\r\nApp=GETDIR\r\nFiles=GETDIR\r\n"));
    EXPECT_EQ(gs_short_date_format, QString::fromLatin1(GetParam().pattern));
    EXPECT_EQ(gs_date_separator, QString::fromLatin1(GetParam().separator));
}

INSTANTIATE_TEST_SUITE_P(Locales, StartUpLocale,
                         ::testing::Values(LocaleCase{"de_DE.UTF-8", "dd.mm.yyyy", "."},
                                           LocaleCase{"en_US.UTF-8", "mm/dd/yyyy", "/"},
                                           LocaleCase{"sv_SE.UTF-8", "yyyy-mm-dd", "-"},
                                           LocaleCase{"nl_NL.UTF-8", "dd-mm-yyyy", "-"},
                                           LocaleCase{"C", "mm/dd/yyyy", "/"},
                                           // a locale this machine does not have answers as "C"
                                           LocaleCase{"xx_XX.UTF-8", "mm/dd/yyyy", "/"}));

TEST_F(StartUp, FailedLocaleQueriesKeepTheBlanks)
{
    ext::table().GetIntSetting = [](quint32, QString &, qint32) { return qint32(-1024); };
    ASSERT_TRUE(startWith("[General]\r\n"));
    EXPECT_EQ(gs_date_separator, QString(255, QLatin1Char(' ')));
    EXPECT_EQ(gs_short_date_format, QString(255, QLatin1Char(' ')));
}

TEST_F(StartUp, FailedSeparatorQueryPutsBlanksBetweenTheParts)
{
    ext::table().GetIntSetting = [](quint32 code, QString &buffer, qint32) {
        if (code == 29)
            return qint32(-1024);
        buffer = QStringLiteral("1");
        return qint32(0);
    };
    ASSERT_TRUE(startWith("[General]\r\n"));
    const QString blanks(255, QLatin1Char(' '));
    EXPECT_EQ(gs_short_date_format, QStringLiteral("dd") + blanks + QStringLiteral("mm") + blanks
                                        + QStringLiteral("yyyy"));
}

TEST_F(StartUp, UnknownOrderCodeLeavesTheTrimmedText)
{
    ext::table().GetIntSetting = [](quint32 code, QString &buffer, qint32) {
        buffer = code == 29 ? QStringLiteral(" / ") : QStringLiteral(" 7 ");
        return qint32(0);
    };
    ASSERT_TRUE(startWith("[General]\r\n"));
    EXPECT_EQ(gs_date_separator, QStringLiteral("/"));
    EXPECT_EQ(gs_short_date_format, QStringLiteral("7"));
}

TEST_F(StartUp, ScreenSizeFallsBackTo800x600)
{
    rt::setEnvironmentProvider([](rt::Environment &) { return -1; });
    ASSERT_TRUE(startWith("[General]\r\n"));
    EXPECT_EQ(gl_screen_width, 800);
    EXPECT_EQ(gl_screen_height, 600);

    rt::setEnvironmentProvider([](rt::Environment &env) {
        env.ScreenWidth = 1920;
        env.ScreenHeight = 1080;
        return 1;
    });
    ASSERT_TRUE(startWith("[General]\r\n"));
    EXPECT_EQ(gl_screen_width, 1920);
    EXPECT_EQ(gl_screen_height, 1080);
}

TEST_F(StartUp, EmptyGeneralSectionGivesGetDirForBothFolders)
{
    gs_app_dir = QStringLiteral("old");
    gs_directory = QStringLiteral("old");
    ASSERT_TRUE(startWith("[General]\r\n"));
    EXPECT_EQ(gs_app_dir, QStringLiteral("GETDIR"));
    EXPECT_EQ(gs_directory, QStringLiteral("GETDIR"));
    EXPECT_TRUE(boxes_.calls().empty());
}

TEST_F(StartUp, FoldersAreReadFromTheSettingsFile)
{
    ASSERT_TRUE(startWith("[General]\nApp=/opt/vantel/\nFiles=/srv/events/\n"));
    EXPECT_EQ(gs_app_dir, QStringLiteral("/opt/vantel/"));
    EXPECT_EQ(gs_directory, QStringLiteral("/srv/events/"));
}

TEST_F(StartUp, OddSettingsFilesAreReadAsFarAsPossible)
{
    // No final line end, blanks around "=", lower-case names, a stray byte,
    // a very long line and a key outside any section.
    QByteArray ini = "Files=/wrong/\r\n; comment\r\n\xff\xfe junk\r\n";
    ini += QByteArray(100000, 'x') + "\r\n";
    ini += "[ general ]\r\n  app   =   /a/b c/  \r\nFILES=/data/";
    ASSERT_TRUE(startWith(ini));
    EXPECT_EQ(gs_app_dir, QStringLiteral("/a/b c/"));
    EXPECT_EQ(gs_directory, QStringLiteral("/data/"));

    ASSERT_TRUE(startWith(QByteArray("\0\0\0garbage without any structure", 32)));
    EXPECT_EQ(gs_app_dir, QStringLiteral("GETDIR"));
    EXPECT_EQ(gs_directory, QStringLiteral("GETDIR"));
}

TEST(StartUpWithoutSettings, ShowsTheMessageAndOpensNoWindow)
{
    WorkingFolder folder;
    MessageBoxRecorder boxes;
    const Started started = start();
    EXPECT_FALSE(started.open);
    EXPECT_FALSE(started.windowAsked);
    ASSERT_EQ(boxes.calls().size(), 1u);
    EXPECT_EQ(boxes.calls()[0].title, QStringLiteral("ini File"));
    EXPECT_EQ(boxes.calls()[0].text, kMissingIniText);
}

TEST_F(StartUp, ASettingsFileThatIsAPipeEndsTheProgramWithAMessageAndStaysAPipe)
{
    ::alarm(20); // a start that waits on the pipe fails instead of hanging
    ASSERT_EQ(::mkfifo("vantel.ini", 0600), 0);
    const Started started = start();
    ::alarm(0);
    EXPECT_FALSE(started.open);
    EXPECT_FALSE(started.windowAsked);
    ASSERT_EQ(boxes_.calls().size(), 1u);
    EXPECT_EQ(boxes_.calls()[0].title, QStringLiteral("ini File"));
    EXPECT_TRUE(boxes_.calls()[0].text.startsWith(
        "The ini file vantel.ini cannot be read: it is not a regular file (a pipe, device or socket)."))
        << boxes_.calls()[0].text.toStdString();
    struct stat st;
    ASSERT_EQ(::lstat("vantel.ini", &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
}

TEST_F(StartUp, AMixedSettingsFileIsReportedOnceAndItsUtf8PathKept)
{
    ASSERT_TRUE(startWith("[General]\r\n; \xe9t\xe9\r\nFiles=/srv/Caf\xc3\xa9/\r\n"));
    EXPECT_EQ(gs_directory, QString::fromUtf8("/srv/Caf\xc3\xa9/"));
    ASSERT_EQ(boxes_.calls().size(), 1u);
    EXPECT_EQ(boxes_.calls()[0].title, QStringLiteral("ini File"));
    EXPECT_TRUE(boxes_.calls()[0].text.startsWith(
        "vantel.ini: line 2: 2 bytes that are not UTF-8 were read as Windows-1252. The file as it was is kept as "
        "vantel.ini.bak-"))
        << boxes_.calls()[0].text.toStdString();
}

} // namespace
