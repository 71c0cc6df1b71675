// Version resources of PE files built from data/version.rc.
#include "helvex1.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <future>
#include <string>

namespace {

struct Info {
    int32_t code;
    std::string text;
};

Info fileInfo(const char *path, int kind, int item)
{
    char buffer[512];
    const int32_t code = GetFileInfo(path, kind, item, buffer, 0);
    return {code, buffer};
}

// LANG for the time of a test.
class Language {
public:
    explicit Language(const char *lang)
    {
        for (const char *v : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
            const char *old = std::getenv(v);
            saved_.emplace_back(v, old ? old : "");
            unsetenv(v);
        }
        setenv("LANG", lang, 1);
    }
    ~Language()
    {
        for (const auto &[name, value] : saved_) {
            if (value.empty())
                unsetenv(name.c_str());
            else
                setenv(name.c_str(), value.c_str(), 1);
        }
    }

private:
    std::vector<std::pair<std::string, std::string>> saved_;
};

class PeFiles : public testing::TestWithParam<const char *> {
protected:
    void SetUp() override
    {
        if (!*GetParam())
            GTEST_SKIP() << "no 32-bit PE test file was built (llvm-rc and lld-link are missing)";
    }
};

TEST_P(PeFiles, FileVersionNumbers)
{
    EXPECT_EQ(fileInfo(GetParam(), 1, 1).text, "5.1.2600.2180");
    EXPECT_EQ(fileInfo(GetParam(), 1, 2).text, "5.1");
    EXPECT_EQ(fileInfo(GetParam(), 1, 3).text, "2600.2180");
    EXPECT_EQ(fileInfo(GetParam(), 1, 4).text, "5.1.2600.2180");
    EXPECT_EQ(fileInfo(GetParam(), 0x101, 1).code, 0); // only the low byte of the kind counts
    EXPECT_EQ(fileInfo(GetParam(), 1, 8).text, "01/01/1601  00:00"); // no file date stored
}

TEST_P(PeFiles, NumberItemOutsideTheTableIsEmpty)
{
    const Info i = fileInfo(GetParam(), 1, 9);
    EXPECT_EQ(i.code, 0);
    EXPECT_EQ(i.text, "");
}

TEST_P(PeFiles, StringItemOfTheUsersLanguage)
{
    Language english("en_US.UTF-8");
    EXPECT_EQ(fileInfo(GetParam(), 0, 2).text, "Example Works");
    Language german("de_DE.UTF-8");
    EXPECT_EQ(fileInfo(GetParam(), 0, 2).text, "Beispielwerke");
}

TEST_P(PeFiles, UnmatchedLanguageTakesTheFirstTranslation)
{
    Language french("fr_FR.UTF-8");
    EXPECT_EQ(fileInfo(GetParam(), 0, 3).text, "Testbibliothek");
}

TEST_P(PeFiles, MissingStringItemsAnswerMinusFive)
{
    Language english("en_US.UTF-8");
    const Info outside = fileInfo(GetParam(), 0, 14);
    EXPECT_EQ(outside.code, HX_FAILURE);
    EXPECT_EQ(outside.text, "-5");
    EXPECT_EQ(fileInfo(GetParam(), 0, 8).text, "-5"); // no ProductName
    const Info empty = fileInfo(GetParam(), 0, 10);    // Comments, present and empty
    EXPECT_EQ(empty.code, 0);
    EXPECT_EQ(empty.text, "");
}

INSTANTIATE_TEST_SUITE_P(Formats, PeFiles, testing::Values(HX_PE64_FILE, HX_PE32_FILE),
                         [](const testing::TestParamInfo<const char *> &info) {
                             return std::string(info.index == 0 ? "Pe32Plus" : "Pe32");
                         });

TEST(GetFileInfo, FilesWithoutVersionResourceAnswerMinusOne)
{
    const Info elf = fileInfo("/proc/self/exe", 1, 1);
    EXPECT_EQ(elf.code, HX_FAILURE);
    EXPECT_EQ(elf.text, "-1");
    EXPECT_EQ(fileInfo("/no/such/file.dll", 0, 2).text, "-1");
    EXPECT_EQ(fileInfo("/tmp", 0, 2).text, "-1");
}

TEST(GetFileInfo, NamedPipeAnswersMinusOneWithoutWaitingForAWriter)
{
    QTemporaryDir dir;
    const std::string fifo = dir.filePath(QStringLiteral("pipe.dll")).toStdString();
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    auto answer = std::async(std::launch::async, [&fifo] { return fileInfo(fifo.c_str(), 1, 1); });
    if (answer.wait_for(std::chrono::seconds(5)) != std::future_status::ready) {
        // Let the blocked reader go before failing.
        const int writer = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
        answer.wait();
        if (writer >= 0)
            ::close(writer);
        FAIL() << "GetFileInfo waited for a writer on a named pipe";
    }
    const Info i = answer.get();
    EXPECT_EQ(i.code, HX_FAILURE);
    EXPECT_EQ(i.text, "-1");
}

TEST(GetFileInfo, TruncatedResourceIsDamaged)
{
    QFile source(QStringLiteral(HX_PE64_FILE));
    ASSERT_TRUE(source.open(QIODevice::ReadOnly));
    const QByteArray whole = source.readAll();
    const int at = whole.indexOf(QByteArray("V\0S\0_\0V\0E\0R", 11));
    ASSERT_GT(at, 0);
    QTemporaryDir dir;
    QFile cut(dir.filePath(QStringLiteral("cut.dll")));
    ASSERT_TRUE(cut.open(QIODevice::WriteOnly));
    cut.write(whole.left(at + 20)); // the headers stay, the resource is cut short
    cut.close();
    const Info i = fileInfo(cut.fileName().toUtf8().constData(), 1, 1);
    EXPECT_EQ(i.code, HX_FAILURE);
    EXPECT_EQ(i.text, "-2");
}

} // namespace
