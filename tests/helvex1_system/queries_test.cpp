// Version comparisons, the version code, disk space, the service stopper
// and the exported names of the shared library.
#include "helvex1.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <cstring>

namespace {

TEST(TestForVersion, ComparesPartByPartFromTheLeft)
{
    EXPECT_EQ(TestForVersion("5.1.2600.0", 5, 1, 2600, 0), 0);
    EXPECT_EQ(TestForVersion("5.0.2195.6717", 5, 1, 0, 0), HX_FAILURE);
    EXPECT_EQ(TestForVersion("6.0.0.0", 5, 9, 9999, 9), 0); // the major part decides at once
    EXPECT_EQ(TestForVersion("5.1.2600.2179", 5, 1, 2600, 2180), HX_FAILURE);
    EXPECT_EQ(TestForVersion("5.1.2600.10", 5, 1, 2600, 9), 0); // numbers, not text
}

TEST(TestForVersion, ShortAndOverlongTexts)
{
    EXPECT_EQ(TestForVersion("5.1", 5, 1, 0, 0), 0);
    EXPECT_EQ(TestForVersion("5.1", 5, 1, 0, 1), HX_FAILURE);
    EXPECT_EQ(TestForVersion("123456789012.0.0.0", 2147483647, 0, 0, 0), 0);
    EXPECT_EQ(TestForVersion(nullptr, 0, 0, 0, 0), HX_FAILURE);
}

TEST(TestForVersion2, ComparesTwoTexts)
{
    EXPECT_EQ(TestForVersion2("1.2.3.4", "1.2.3.5"), HX_FAILURE);
    EXPECT_EQ(TestForVersion2("1.2.3.4", "1.2.3.4"), 0);
    EXPECT_EQ(TestForVersion2("1.10.0.0", "1.9.0.0"), 0);
    EXPECT_EQ(TestForVersion2("1.2.3.4", "1.2.3.4.9"), 0); // the last part ends at a further dot
}

TEST(GetOperatingSystemVer, LinuxIsNotAWindowsVersion)
{
    EXPECT_EQ(GetOperatingSystemVer(), 0);
}

TEST(GetSystemInfoMachine, OtherSelectorsGiveTheEmptyText)
{
    char buffer[100];
    std::memset(buffer, 'x', sizeof buffer);
    EXPECT_EQ(GetSystemInfoMachine(3, "/no/such/folder", buffer, 0), 0);
    EXPECT_STREQ(buffer, "");
}

TEST(GetSystemInfoMachine, SizeAndFreeSpaceAsDecimalText)
{
    char total[100], free[100];
    ASSERT_EQ(GetSystemInfoMachine(1, "/", total, 0), 0);
    ASSERT_EQ(GetSystemInfoMachine(2, "/", free, 0), 0);
    ASSERT_GT(std::strlen(total), 0u);
    EXPECT_EQ(std::strspn(total, "0123456789"), std::strlen(total));
    EXPECT_EQ(std::strspn(free, "0123456789"), std::strlen(free));
    EXPECT_GT(std::stoull(total), 0ull);
    EXPECT_LE(std::stoull(free), std::stoull(total));
}

TEST(GetSystemInfoMachine, AMissingPathFailsAndLeavesTheBuffer)
{
    char buffer[100] = "untouched";
    EXPECT_EQ(GetSystemInfoMachine(1, "/no/such/folder", buffer, 0), HX_FAILURE);
    EXPECT_STREQ(buffer, "untouched");
}

TEST(StopService, NotTheNtFamilyLeavesTheMessageBuffer)
{
    char message[64] = "untouched";
    EXPECT_EQ(StopService("Print Spooler", message, 0), -64);
    EXPECT_STREQ(message, "untouched");
}

TEST(SharedLibrary, ExportsTheSystemFunctionsByPlainName)
{
    void *lib = dlopen(HX_SHARED_LIBRARY, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(lib, nullptr) << dlerror();
    for (const char *name :
         {"GetOperatingSystemVer", "GetDisplayResolution", "SetDisplayResolution", "GetDPI",
          "GetSystemInfoMachine", "GetStatusbarInfo", "GetElementColor", "SetElementColor",
          "TestForVersion", "TestForVersion2", "GetPrinters", "GetMyDefaultPrinter",
          "SetMyDefaultPrinter", "DisplayMyPrintPropertySheet", "GetFileInfo", "GetFileDate",
          "DeleteDirectory", "SystemReboot", "RunOnce", "SetNewDate", "SetNewTime",
          "StopService", "MyChooseColor", "DisplayColorDialog"})
        EXPECT_NE(dlsym(lib, name), nullptr) << name;
    auto compare = reinterpret_cast<int32_t (*)(const char *, const char *)>(dlsym(lib, "TestForVersion2"));
    ASSERT_NE(compare, nullptr);
    EXPECT_EQ(compare("1.2.3.4", "1.2.3.5"), HX_FAILURE);
    dlclose(lib);
}

} // namespace
