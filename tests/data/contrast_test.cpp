// The contrast of two colours as the accessibility guidelines reckon it, and
// the text colours the program puts on the backgrounds it fixes.
#include "contrast.h"

#include <gtest/gtest.h>

namespace {

TEST(Contrast, RatioAsTheGuidelinesReckonIt)
{
    EXPECT_DOUBLE_EQ(contrast::ratio(Qt::black, Qt::white), 21.0);
    EXPECT_DOUBLE_EQ(contrast::ratio(Qt::white, Qt::black), 21.0);
    EXPECT_DOUBLE_EQ(contrast::ratio(QColor(120, 30, 30), QColor(120, 30, 30)), 1.0);
    // Published pairs: #767676 on white is the lightest grey that passes.
    EXPECT_NEAR(contrast::ratio(QColor(0x76, 0x76, 0x76), Qt::white), 4.54, 0.01);
    EXPECT_NEAR(contrast::ratio(QColor(255, 0, 0), Qt::white), 4.0, 0.01);
}

TEST(Contrast, TextOnTheProgramsColoursIsDarkAndOnDarkColoursLight)
{
    for (const QColor &bg : {QColor(255, 251, 240), QColor(255, 180, 180), QColor(255, 238, 238),
                             QColor(255, 200, 200), QColor(255, 255, 255)}) {
        EXPECT_EQ(contrast::textOn(bg), QColor(Qt::black)) << bg.name().toStdString();
        EXPECT_GE(contrast::ratio(contrast::disabledTextOn(bg), bg), 4.5) << bg.name().toStdString();
        EXPECT_NE(contrast::disabledTextOn(bg), QColor(Qt::black)) << bg.name().toStdString();
    }
    EXPECT_EQ(contrast::textOn(QColor(53, 53, 53)), QColor(Qt::white));
}

TEST(Contrast, AFixedBackgroundBringsItsTextColourInEveryGroup)
{
    QPalette p(QColor(53, 53, 53)); // a dark theme: light text
    const QColor cream(255, 251, 240);
    contrast::setFixedBackground(p, cream, {QPalette::Base, QPalette::Button});
    for (const auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        EXPECT_EQ(p.color(group, QPalette::Base), cream);
        EXPECT_EQ(p.color(group, QPalette::Button), cream);
        EXPECT_GE(contrast::ratio(p.color(group, QPalette::Text), cream), 4.5);
        EXPECT_GE(contrast::ratio(p.color(group, QPalette::ButtonText), cream), 4.5);
    }
    // Roles not given keep the theme's pair.
    EXPECT_EQ(p.color(QPalette::Window), QColor(53, 53, 53));
    EXPECT_GE(contrast::ratio(p.color(QPalette::WindowText), p.color(QPalette::Window)), 4.5);
}

} // namespace
