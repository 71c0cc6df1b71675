#include "importrun.h"

#include "datepattern.h"
#include "eventdocument.h"
#include "globals.h"
#include "icalimport.h"
#include "importwindows.h"
#include "profile.h"
#include "recordset.h"
#include "runtime.h"

#include <QFileDialog>
#include <QFileInfo>

namespace importrun {

namespace {

const QString kSection = QStringLiteral("Import");
const QString kTitle = QStringLiteral("Import Events");

QString lastFolder;

} // namespace

long run(QWidget *parent, EventDocument &doc)
{
    const QString path = QFileDialog::getOpenFileName(
        parent, kTitle, lastFolder.isEmpty() ? gs_directory : lastFolder,
        QStringLiteral("Calendars and spreadsheets (*.ics *.ical *.csv *.txt);;Calendar files (*.ics *.ical);;"
                       "Spreadsheet text (*.csv *.txt);;All files (*)"));
    if (path.isEmpty())
        return 0;
    lastFolder = QFileInfo(path).absolutePath();
    return importFile(parent, doc, path);
}

long importFile(QWidget *parent, EventDocument &doc, const QString &path)
{
    const interop::ImportFile file = interop::readImportFile(path);
    if (!file.ok()) {
        rt::MessageBox(kTitle, file.error);
        return 0;
    }
    const interop::ImportContext context =
        interop::contextFor(doc.admin(), doc.events(), doc.dates(), usablePattern(gs_short_date_format));
    interop::ImportResult result;
    if (file.kind == interop::FileKind::Calendar) {
        result = interop::importCalendar(file.bytes, context);
    } else {
        const interop::Spreadsheet sheet = interop::readSpreadsheet(file.bytes);
        if (!sheet.ok()) {
            rt::MessageBox(kTitle, sheet.error);
            return 0;
        }
        const QString kept = rt::ProfileString(gs_ini_file_name, kSection, QStringLiteral("Columns"), QString());
        w_import_columns columns(sheet, interop::keptMapping(kept, sheet.header, interop::guessMapping(sheet.header)),
                                 parent);
        if (columns.exec() != QDialog::Accepted)
            return 0;
        rt::SaveSetting(gs_ini_file_name, kSection, QStringLiteral("Columns"),
                        interop::keptText(columns.mapping(), sheet.header));
        result = interop::importSpreadsheet(sheet, columns.mapping(), context);
    }
    if (!result.ok()) {
        rt::MessageBox(kTitle, result.error);
        return 0;
    }
    const long before = doc.events().RowCount();
    if (!result.events.empty()) {
        const AdminValues admin = doc.adminValues();
        doc.addImported([&](RecordSet &events, RecordSet &dates) {
            interop::addToRecordSets(result, events, dates, admin.login, admin.password);
        });
    }
    w_import_report report(kTitle, result.reportLines(), parent);
    report.exec();
    return doc.events().RowCount() > before ? before + 1 : 0;
}

} // namespace importrun
