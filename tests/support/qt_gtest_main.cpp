// Test entry point for tests that need a QApplication: widgets are drawn on
// the offscreen platform unless the environment names another. The tests of
// the program get its external functions of libhelvex1.
#ifdef VANTEL_TEST_PROGRAM_FUNCTIONS
#include "helvex1calls.h"
#endif

#include <QApplication>

#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char **argv)
{
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    testing::InitGoogleTest(&argc, argv);
#ifdef VANTEL_TEST_PROGRAM_FUNCTIONS
    ext::useHelvex1();
#endif
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
