// The other formats of Export, beside the zip package: a calendar file
// (.ics) and web page data (JSON-LD), each of the data as last saved, in a
// file the user names. They sit in the menu of a small button next to
// Export, whose own click still makes the zip package.
#pragma once

#include "exportcommand.h"

class EventDocument;
class QPushButton;
class QString;
class QWidget;

namespace exportmenu {

// The menu button beside `exportButton`, enabled while it is.
QPushButton *makeButton(QWidget *parent, QPushButton *exportButton, const EventDocument &doc);
// Asks for the file and writes the saved data of `folder` into it in
// `format`; says what came of it.
void exportTo(QWidget *parent, interop::ExportFormat format, const QString &folder, bool unsaved);

} // namespace exportmenu
