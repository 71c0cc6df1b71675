// Readable text on the colours the program paints: the contrast ratio of two
// colours as the accessibility guidelines (WCAG 2) reckon it, and the text
// colour that goes with a background the program fixes itself.
#pragma once

#include <QColor>
#include <QPalette>

#include <initializer_list>

namespace contrast {

// Relative luminance of a colour, 0 (black) to 1 (white); alpha is ignored.
double luminance(const QColor &c);
// (lighter + 0.05) / (darker + 0.05): 1 for equal colours, 21 for black on
// white. Text needs at least 4.5.
double ratio(const QColor &a, const QColor &b);

// Black or white, whichever reads better on `background`.
QColor textOn(const QColor &background);
// The text colour of a disabled field on `background`: greyer than textOn,
// still at least 4.5:1.
QColor disabledTextOn(const QColor &background);

// Gives `palette` the background `background` in each of the roles
// `backgroundRoles` (Base, Window, Button) and the text colour that reads on
// it in the role that is drawn on it (Text, WindowText, ButtonText), in every
// colour group, so that a background the program fixes never meets the text
// colour of a desktop theme.
void setFixedBackground(QPalette &palette, const QColor &background,
                        std::initializer_list<QPalette::ColorRole> backgroundRoles);

} // namespace contrast
