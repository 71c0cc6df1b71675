// Import... of the Events page: a calendar file or a spreadsheet's text
// read into events, added to the data as one step, and a report of what
// was added, left out or changed.
#pragma once

class EventDocument;
class QString;
class QWidget;

namespace importrun {

// Asks for the file, reads it (a spreadsheet after asking which columns
// fill which fields), adds what it holds and shows the report. Answers the
// row of the first event added; 0 when none was.
long run(QWidget *parent, EventDocument &doc);
// The same for a file already chosen.
long importFile(QWidget *parent, EventDocument &doc, const QString &path);

} // namespace importrun
