#include "contrast.h"

#include <algorithm>
#include <cmath>

namespace contrast {

namespace {

double channel(double v)
{
    return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
}

} // namespace

double luminance(const QColor &c)
{
    const QColor rgb = c.toRgb();
    return 0.2126 * channel(rgb.redF()) + 0.7152 * channel(rgb.greenF()) + 0.0722 * channel(rgb.blueF());
}

double ratio(const QColor &a, const QColor &b)
{
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QColor textOn(const QColor &background)
{
    const QColor black(0, 0, 0);
    const QColor white(255, 255, 255);
    return ratio(black, background) >= ratio(white, background) ? black : white;
}

QColor disabledTextOn(const QColor &background)
{
    const QColor text = textOn(background);
    const QColor bg = background.toRgb();
    // Move from the text colour towards the background while the contrast
    // stays at 4.5 or more.
    QColor best = text;
    for (int step = 1; step <= 10; ++step) {
        const double t = step / 20.0; // up to half way
        const QColor mixed(int(std::lround(text.red() + (bg.red() - text.red()) * t)),
                           int(std::lround(text.green() + (bg.green() - text.green()) * t)),
                           int(std::lround(text.blue() + (bg.blue() - text.blue()) * t)));
        if (ratio(mixed, bg) < 5.0)
            break;
        best = mixed;
    }
    return best;
}

void setFixedBackground(QPalette &palette, const QColor &background,
                        std::initializer_list<QPalette::ColorRole> backgroundRoles)
{
    const QColor text = textOn(background);
    const QColor disabled = disabledTextOn(background);
    for (const QPalette::ColorRole role : backgroundRoles) {
        const QPalette::ColorRole textRole = role == QPalette::Base     ? QPalette::Text
                                             : role == QPalette::Button ? QPalette::ButtonText
                                                                        : QPalette::WindowText;
        for (const auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
            palette.setColor(group, role, background);
            palette.setColor(group, textRole, group == QPalette::Disabled ? disabled : text);
        }
    }
}

} // namespace contrast
