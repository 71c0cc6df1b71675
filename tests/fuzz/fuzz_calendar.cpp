// Fuzz target of the calendar reader: any bytes as a calendar file.
#include "fuzz_import.h"
#include "icalimport.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    interop::ImportContext context;
    context.timeZone = "Europe/Berlin";
    context.defaultCity = QStringLiteral("Bonn");
    context.existing.push_back({QStringLiteral("EV1"), QStringLiteral("Konzert"), QDate(2025, 6, 1)});
    checkPlan(interop::importCalendar(QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)), context));
    return 0;
}
