// Fuzz target of the spreadsheet reader: any bytes as a .csv file, with
// the columns its header suggests.
#include "fuzz_import.h"
#include "spreadsheet.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    interop::ImportContext context;
    context.datePattern = QStringLiteral("dd.mm.yyyy");
    context.defaultCity = QStringLiteral("Bonn");
    const interop::Spreadsheet sheet =
        interop::readSpreadsheet(QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)));
    checkPlan(interop::importSpreadsheet(sheet, interop::guessMapping(sheet.header), context));
    return 0;
}
