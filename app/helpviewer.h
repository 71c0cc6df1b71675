// The help window: shows the program's help pages ("admin.htm", ...),
// built into the program, with links between them.
#pragma once

#include <QString>

class QWidget;

namespace rt {

// Opens the help window at `path`, given as "<help file>::/<page>" or as a
// bare page name, and brings it to the front with the keyboard focus, also
// when it was open already. Answers 0 when the page exists, -1 otherwise
// (the window then shows the contents page).
int HtmlHelp(QWidget *owner, const QString &path);

// The help window, when it is open (tests).
QWidget *helpWindow();

} // namespace rt
