// The library's locale, folder, registration, instance and error-text exports.
#include "helvex1.h"
#include "testsupport.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QStorageInfo>
#include <QTimer>

#include <gtest/gtest.h>

#include <sys/vfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

using namespace testing_support;

namespace {

std::string setting(uint32_t code, int32_t *rc = nullptr)
{
    char buffer[256];
    std::memset(buffer, 'Z', sizeof buffer);
    const int32_t r = GetIntSetting(code, buffer, 255);
    if (rc)
        *rc = r;
    return r == 0 ? std::string(buffer) : std::string();
}

TEST(GetIntSetting, DateSeparatorAndOrderFollowTheLocale)
{
    struct {
        const char *locale, *separator, *order;
    } cases[] = {{"de_DE.UTF-8", ".", "1"}, {"en_US.UTF-8", "/", "0"}, {"sv_SE.UTF-8", "-", "2"},
                 {"nl_NL.UTF-8", "-", "1"}, {"C", "/", "0"},          {"no_SUCH.UTF-8", "/", "0"}};
    for (const auto &c : cases) {
        EnvironmentScope scope("LC_ALL", c.locale);
        int32_t rc = -1;
        EXPECT_EQ(setting(HX_LOCALE_SDATE, &rc), c.separator) << c.locale;
        EXPECT_EQ(rc, 0);
        EXPECT_EQ(setting(HX_LOCALE_IDATE, &rc), c.order) << c.locale;
        EXPECT_EQ(rc, 0);
    }
}

TEST(GetIntSetting, OtherCommonSettings)
{
    EnvironmentScope scope("LC_ALL", "de_DE.UTF-8");
    EXPECT_EQ(setting(HX_LOCALE_SDECIMAL), ",");
    EXPECT_EQ(setting(HX_LOCALE_SSHORTDATE), "dd.MM.yyyy");
    EXPECT_EQ(setting(HX_LOCALE_SMONTHNAME1 + 2), "März");
    EXPECT_EQ(setting(HX_LOCALE_SDAYNAME1), "Montag");
    EXPECT_EQ(setting(HX_LOCALE_SDAYNAME1 + 6), "Sonntag");
    EXPECT_EQ(setting(HX_LOCALE_ITIME), "1");
    EXPECT_EQ(setting(HX_LOCALE_STIME), ":");
}

TEST(GetIntSetting, UnknownCodeFailsAndLeavesTheBufferAlone)
{
    char buffer[256];
    std::memset(buffer, ' ', 255);
    buffer[255] = '\0';
    EXPECT_EQ(GetIntSetting(0x7777, buffer, 255), HX_FAILURE);
    EXPECT_EQ(std::string(buffer), std::string(255, ' '));
    EXPECT_EQ(GetIntSetting(HX_LOCALE_SDATE, nullptr, 0), HX_FAILURE);
}

// ---- Registration --------------------------------------------------------

class Registration : public ::testing::Test {
protected:
    void SetUp() override { setenv("HX_COMPONENT_LOG", log_.toLocal8Bit().constData(), 1); }
    void TearDown() override { unsetenv("HX_COMPONENT_LOG"); }

    static std::string component(const char *kind)
    {
        return std::string(COMPONENT_DIR) + "/libhx_component_" + kind + ".so";
    }
    QByteArray calls() const
    {
        QFile f(log_);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    WorkingFolder folder_;
    QString log_ = folder_.file("calls.log");
};

TEST_F(Registration, MissingFileOrMissingEntryAnswers2)
{
    EXPECT_EQ(RegisterAX(folder_.file("nothing.so").toLocal8Bit().constData(), 1), 2);
    EXPECT_EQ(RegisterAX("libdoes_not_exist_anywhere.so", 1), 2);
    EXPECT_EQ(RegisterAX(component("none").c_str(), 1), 2);
    EXPECT_EQ(RegisterAX(component("none").c_str(), 0), 2);
    EXPECT_EQ(RegisterAX(nullptr, 1), 2);
}

TEST_F(Registration, FailingEntryAnswers2)
{
    EXPECT_EQ(RegisterAX(component("fails").c_str(), 1), 2);
    EXPECT_EQ(calls(), QByteArray("register\n"));
    EXPECT_EQ(Register(component("fails").c_str()), 0);
}

TEST_F(Registration, Operation1RegistersAnyOtherValueUnregisters)
{
    EXPECT_EQ(RegisterAX(component("ok").c_str(), 1), 0);
    EXPECT_EQ(RegisterAX(component("ok").c_str(), 0), 0);
    EXPECT_EQ(RegisterAX(component("ok").c_str(), 2), 0);
    EXPECT_EQ(RegisterAX(component("ok").c_str(), -1), 0);
    EXPECT_EQ(calls(), QByteArray("register\nunregister\nunregister\nunregister\n"));
    EXPECT_EQ(Register(component("ok").c_str()), 1);
    EXPECT_EQ(UnRegister(component("ok").c_str()), 1);
    EXPECT_EQ(UnRegister(component("fails").c_str()), 0); // it has no unregister entry
}

TEST_F(Registration, BareFileNameIsFoundInTheProgramsFolder)
{
    // The test program's folder holds libhelvex1.so, which has no entry:
    // found (no crash, no search elsewhere) and answered 2.
    EXPECT_EQ(RegisterAX("libhelvex1.so", 1), 2);
    EXPECT_EQ(InitOleLib(1), 1);
    EXPECT_EQ(InitOleLib(0x100), 1); // only the low byte is a flag
    EXPECT_EQ(InitOleLib(0), 1);
}

// ---- Instances -----------------------------------------------------------

// What CreateAppInst answers for `name` in another process; -1 when that
// process did not end normally.
int createAppInstInChild(const std::string &name)
{
    const pid_t child = fork();
    if (child == 0)
        _exit(CreateAppInst(name.c_str()));
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status))
        return -1;
    return WEXITSTATUS(status);
}

TEST(CreateAppInst, SecondHolderOfANameIsTold)
{
    const std::string name = "vantel-test-" + std::to_string(getpid()) + "\\Global/name";
    ASSERT_EQ(CreateAppInst(name.c_str()), 0);
    EXPECT_EQ(createAppInstInChild(name), 1);
    EXPECT_EQ(CreateAppInst(name.c_str()), 1); // already held by this process too
    EXPECT_EQ(CreateAppInst(""), 0);
}

TEST(CreateAppInst, NameIsFreeAgainWhenItsHolderEnds)
{
    const std::string name = "vantel-test-free-" + std::to_string(getpid());
    EXPECT_EQ(createAppInstInChild(name), 0);
    EXPECT_EQ(CreateAppInst(name.c_str()), 0);
}

// ---- Error texts ---------------------------------------------------------

TEST(GetErrorMessage, SystemTextOrFallbackWithTheCode)
{
    char *text = GetErrorMessage(ENOENT);
    ASSERT_NE(text, nullptr);
    EXPECT_STREQ(text, "No such file or directory");
    std::free(text);

    text = GetErrorMessage(98765);
    ASSERT_NE(text, nullptr);
    EXPECT_STREQ(text, "Could not format the error message , but the error code was 98765");
    std::free(text);

    errno = EACCES;
    text = GetErrorMessage(0);
    ASSERT_NE(text, nullptr);
    EXPECT_STREQ(text, "Permission denied");
    std::free(text);
}

// ---- Folder dialog -------------------------------------------------------

// Answers the next folder dialog: types `path` and accepts, or cancels
// when `path` is empty. Records the dialog's title.
void answerFolderDialog(const QString &path, QString *title)
{
    QTimer::singleShot(50, [path, title] {
        auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        if (!dialog) {
            answerFolderDialog(path, title);
            return;
        }
        if (title)
            *title = dialog->windowTitle();
        if (path.isEmpty()) {
            dialog->reject();
            return;
        }
        // Open the folder itself and accept it with nothing typed.
        dialog->setDirectory(path);
        if (auto *edit = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit")))
            edit->clear();
        QMetaObject::invokeMethod(dialog, "accept");
    });
}

std::string pickWithDialog()
{
    char buffer[1024];
    std::memset(buffer, ' ', sizeof buffer - 1);
    buffer[sizeof buffer - 1] = '\0';
    EXPECT_EQ(GetInstallDirectory(buffer, 1024), 0);
    return buffer;
}

TEST(GetInstallDirectory, ChosenFolderComesBackWithoutTrailingSlash)
{
    WorkingFolder folder;
    QDir(folder.path()).mkdir("events");
    QString title;
    answerFolderDialog(folder.file("events"), &title);
    EXPECT_EQ(pickWithDialog(), folder.file("events").toStdString());
    EXPECT_EQ(title, QStringLiteral("Please select a installation folder:"));
}

TEST(GetInstallDirectory, CancelGivesTheEmptyText)
{
    answerFolderDialog(QString(), nullptr);
    EXPECT_EQ(pickWithDialog(), "");
}

TEST(GetInstallDirectory, MemoryBackedFolderOpensTheDialogAgain)
{
    struct statfs fs {};
    if (statfs("/dev/shm", &fs) != 0 || static_cast<unsigned long>(fs.f_type) != 0x01021994UL)
        GTEST_SKIP() << "/dev/shm is not a tmpfs on this machine";
    WorkingFolder folder;
    QDir(folder.path()).mkdir("real");
    answerFolderDialog(QStringLiteral("/dev/shm"), nullptr);
    QTimer::singleShot(400, [&] { answerFolderDialog(folder.file("real"), nullptr); });
    EXPECT_EQ(pickWithDialog(), folder.file("real").toStdString());
}

} // namespace
