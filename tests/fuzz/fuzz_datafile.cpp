// Fuzz target of the data-file reader. The first byte picks the record set
// (admin, events, event dates); the rest is the file. Whatever the bytes,
// reading must not crash, and what was read, written and read again must
// give the same values and the same bytes.
#include "datafiles.h"
#include "definition.h"
#include "recordset.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

[[noreturn]] void broken(const char *what, long row = 0, int col = 0)
{
    std::fprintf(stderr, "round trip broken: %s (row %ld, column %d)\n", what, row, col);
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    static const char *const names[] = {"d_admin", "d_events", "d_event_dates"};
    const Definition &def = definition(QString::fromLatin1(names[data[0] % 3]));
    const QByteArray bytes(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));

    RecordSet first(def);
    QStringList problems;
    datafiles::importBytes(first, bytes, QStringLiteral("fuzz.txt"), &problems);
    const QByteArray written = datafiles::serialize(first);

    RecordSet second(def);
    QStringList again;
    datafiles::importBytes(second, written, QStringLiteral("fuzz.txt"), &again);
    if (!again.isEmpty())
        broken("a written file reads with problems");
    if (second.RowCount() != first.RowCount())
        broken("row count");
    for (long r = 1; r <= first.RowCount(); ++r)
        for (int c = 1; c <= first.columnCount(); ++c) {
            if (first.IsNull(r, c) != second.IsNull(r, c))
                broken("null", r, c);
            if (first.rawValue(r, c) != second.rawValue(r, c))
                broken("value", r, c);
        }
    if (datafiles::serialize(second) != written)
        broken("bytes written again");
    return 0;
}
