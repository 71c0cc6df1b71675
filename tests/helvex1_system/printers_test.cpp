// Printer list, default printer and page setup over a private CUPS
// scheduler with test queues.
#include "daemons.h"
#include "dialogs.h"
#include "helvex1.h"

#include <QApplication>
#include <QDialog>
#include <QPageSetupDialog>
#include <QPrinter>
#include <QTimer>
#include <QFile>

#include <cups/cups.h>
#include <gtest/gtest.h>

#include <cstring>
#include <dlfcn.h>
#include <memory>
#include <regex>

namespace {

class Printers : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        service_ = std::make_unique<hxtest::PrintService>();
        problem_ = service_->start();
    }
    static void TearDownTestSuite() { service_.reset(); }
    void SetUp() override
    {
        if (problem_.find("not installed") != std::string::npos)
            GTEST_SKIP() << problem_;
        ASSERT_TRUE(problem_.empty()) << problem_;
        // Every test starts without queues and without a chosen default.
        for (const char *q : {"Office", "Lab"})
            service_->removeQueue(q);
        QFile::remove(QString::fromStdString(service_->home() + "/.cups/lpoptions"));
    }
    static std::string lpoptions()
    {
        QFile f(QString::fromStdString(service_->home() + "/.cups/lpoptions"));
        return f.open(QIODevice::ReadOnly) ? f.readAll().toStdString() : std::string();
    }

    static inline std::unique_ptr<hxtest::PrintService> service_;
    static inline std::string problem_;
};

TEST_F(Printers, NoPrintersLeavesTheBufferUntouched)
{
    char buffer[64] = "untouched";
    EXPECT_EQ(GetPrinters(0, buffer, 0), 0);
    EXPECT_STREQ(buffer, "untouched");
}

TEST_F(Printers, OnePrinterEndsWithTwoBars)
{
    ASSERT_TRUE(service_->addQueue("Office"));
    char buffer[512];
    ASSERT_EQ(GetPrinters(0, buffer, 0), 0);
    EXPECT_TRUE(std::regex_match(buffer, std::regex(R"(Office\|file:/dev/null\|[0-9]+\|\|)"))) << buffer;
}

TEST_F(Printers, TwoPrintersInTheServicesOrder)
{
    ASSERT_TRUE(service_->addQueue("Office"));
    ASSERT_TRUE(service_->addQueue("Lab"));
    char buffer[512];
    ASSERT_EQ(GetPrinters(0, buffer, 0), 0);
    EXPECT_TRUE(std::regex_match(
        buffer, std::regex(R"(Lab\|file:/dev/null\|[0-9]+\|Office\|file:/dev/null\|[0-9]+\|\|)")))
        << buffer;
}

TEST_F(Printers, UnknownOrMissingNameIsRefused)
{
    ASSERT_TRUE(service_->addQueue("Office"));
    EXPECT_EQ(SetMyDefaultPrinter("Nowhere"), -1);
    EXPECT_EQ(SetMyDefaultPrinter(""), -1);
    EXPECT_EQ(SetMyDefaultPrinter(nullptr), -1);
    EXPECT_EQ(lpoptions(), "");
}

TEST_F(Printers, DefaultIsSetForThisUserAndReadBack)
{
    ASSERT_TRUE(service_->addQueue("Office"));
    ASSERT_TRUE(service_->addQueue("Lab"));
    char buffer[512];
    ASSERT_EQ(SetMyDefaultPrinter("Lab"), 0);
    ASSERT_EQ(GetMyDefaultPrinter(buffer, 0), 0);
    EXPECT_STREQ(buffer, "Lab");
    EXPECT_NE(lpoptions().find("Default Lab"), std::string::npos);

    ASSERT_EQ(SetMyDefaultPrinter("Office"), 0);
    ASSERT_EQ(GetMyDefaultPrinter(buffer, 0), 0);
    EXPECT_STREQ(buffer, "Office");
}

TEST_F(Printers, NoDefaultGivesTheEmptyText)
{
    char buffer[512] = "untouched";
    EXPECT_EQ(GetMyDefaultPrinter(buffer, 0), HX_FAILURE);
    EXPECT_STREQ(buffer, "");
}

TEST_F(Printers, ChoiceOfARemovedPrinterIsNoDefault)
{
    ASSERT_TRUE(service_->addQueue("Office"));
    ASSERT_TRUE(service_->addQueue("Lab"));
    ASSERT_EQ(hxtest::run({hxtest::findProgram("lpadmin"), "-d", "Office"}), 0);
    ASSERT_EQ(SetMyDefaultPrinter("Lab"), 0);
    ASSERT_TRUE(service_->removeQueue("Lab"));
    char buffer[512] = "untouched";
    EXPECT_EQ(GetMyDefaultPrinter(buffer, 0), HX_FAILURE);
    EXPECT_STREQ(buffer, "");
    EXPECT_EQ(DisplayMyPrintPropertySheet(0), 0);
}

TEST_F(Printers, UnreachableServiceIsAFailure)
{
    ASSERT_TRUE(service_->addQueue("Office"));
    cupsSetServer((service_->folder() + "/no-such.sock").c_str());
    char buffer[64] = "untouched";
    EXPECT_EQ(GetPrinters(0, buffer, 0), HX_FAILURE);
    EXPECT_STREQ(buffer, "untouched");
    EXPECT_EQ(SetMyDefaultPrinter("Office"), -1);
    cupsSetServer(nullptr); // back to CUPS_SERVER
    EXPECT_EQ(GetPrinters(0, buffer, 0), 0);
}

// The shared library needs neither the print service's client nor Qt's
// print support: its printer part comes from beside it at the first call,
// and answers as the exports above do.
TEST_F(Printers, TheSharedLibraryLoadsItsPrinterPartAtTheFirstCall)
{
    QFile shared(HX_SHARED_LIBRARY);
    ASSERT_TRUE(shared.open(QIODevice::ReadOnly));
    const QByteArray bytes = shared.readAll();
    EXPECT_FALSE(bytes.contains("libcups.so"));
    EXPECT_FALSE(bytes.contains("libQt6PrintSupport.so"));

    const std::string library = HX_SHARED_LIBRARY;
    const std::string part = library.substr(0, library.rfind('/') + 1) + "libhelvex1print.so";
    void *lib = dlopen(library.c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(lib, nullptr) << dlerror();
    EXPECT_EQ(dlopen(part.c_str(), RTLD_NOW | RTLD_NOLOAD), nullptr);
    ASSERT_TRUE(service_->addQueue("Office"));
    auto printers = reinterpret_cast<int32_t (*)(int32_t, char *, int32_t)>(dlsym(lib, "GetPrinters"));
    auto setDefault = reinterpret_cast<int32_t (*)(const char *)>(dlsym(lib, "SetMyDefaultPrinter"));
    auto getDefault = reinterpret_cast<int32_t (*)(char *, int32_t)>(dlsym(lib, "GetMyDefaultPrinter"));
    ASSERT_TRUE(printers && setDefault && getDefault);
    char buffer[512];
    ASSERT_EQ(printers(0, buffer, 0), 0);
    EXPECT_TRUE(std::regex_match(buffer, std::regex(R"(Office\|file:/dev/null\|[0-9]+\|\|)"))) << buffer;
    void *loaded = dlopen(part.c_str(), RTLD_NOW | RTLD_NOLOAD);
    EXPECT_NE(loaded, nullptr);
    EXPECT_EQ(setDefault("Office"), 0);
    EXPECT_EQ(getDefault(buffer, 0), HX_SUCCESS);
    EXPECT_STREQ(buffer, "Office");
    EXPECT_EQ(setDefault("Nowhere"), -1);
    if (loaded)
        dlclose(loaded);
    dlclose(lib);
}

TEST_F(Printers, PageSetupAnswersConfirmAndCancel)
{
    ASSERT_TRUE(service_->addQueue("Office"));
    ASSERT_EQ(SetMyDefaultPrinter("Office"), 0);
    hxtest::whenDialogOpens([](QWidget *w) { static_cast<QDialog *>(w)->accept(); });
    EXPECT_EQ(DisplayMyPrintPropertySheet(0), 1);
    hxtest::whenDialogOpens([](QWidget *w) { static_cast<QDialog *>(w)->reject(); });
    EXPECT_EQ(DisplayMyPrintPropertySheet(0), 0);
}

TEST_F(Printers, PageSetupBelongsToTheDefaultPrinterAndNeedsOne)
{
    // Any dialog that opens is noted and cancelled.
    int shown = 0;
    QString printerName;
    QTimer watcher;
    watcher.setInterval(10);
    QObject::connect(&watcher, &QTimer::timeout, [&] {
        if (auto *d = qobject_cast<QPageSetupDialog *>(QApplication::activeModalWidget())) {
            ++shown;
            printerName = d->printer()->printerName();
            d->reject();
        }
    });
    watcher.start();

    EXPECT_EQ(DisplayMyPrintPropertySheet(0), 0); // no printer at all
    EXPECT_EQ(shown, 0);

    ASSERT_TRUE(service_->addQueue("Office"));
    ASSERT_TRUE(service_->addQueue("Lab"));
    ASSERT_EQ(SetMyDefaultPrinter("Lab"), 0);
    EXPECT_EQ(DisplayMyPrintPropertySheet(0), 0);
    EXPECT_EQ(shown, 1);
    EXPECT_EQ(printerName, QStringLiteral("Lab"));
}

} // namespace
