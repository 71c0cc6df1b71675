// Test entry point for suites that need no display: a core application only,
// so a test that reaches for a widget fails instead of drawing offscreen.
#include <QCoreApplication>

#include <gtest/gtest.h>

int main(int argc, char **argv)
{
    testing::InitGoogleTest(&argc, argv);
    QCoreApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
