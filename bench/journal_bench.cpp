// What keeping the history and the journal costs the user's thread while
// typing into 100,000 events: a field commit with both, against the same
// commit on a record set that keeps neither; and how long the journal's
// writes (done on another thread) take.
//
//   vantel_journal_bench [EVENTS [LINES]]
#include "definition.h"
#include "eventdocument.h"
#include "generate.h"
#include "recordset.h"
#include "usage.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>
#include <functional>

namespace {

constexpr int kCommits = 2000;

// Microseconds per commit of a new name into successive events of `rows`,
// each made by `commit`.
double commits(long rows, const std::function<void(long row, const QString &name)> &commit)
{
    QElapsedTimer t;
    t.start();
    for (int i = 0; i < kCommits; ++i) {
        commit(1 + (i * 37) % rows, QString("Name %1").arg(i));
        QCoreApplication::processEvents();
    }
    return double(t.nsecsElapsed()) / 1e3 / kCommits;
}

} // namespace

const char kUsage[] =
    "Usage: vantel_journal_bench [EVENTS [LINES]]\n"
    "\n"
    "What keeping the undo history and the journal of unsaved changes costs while typing: 2000\n"
    "field commits into EVENTS generated events (100000) with LINES date lines (3 x EVENTS), with\n"
    "both kept against a bare record set, and how long the journal's writes are still under way.\n";

int main(int argc, char **argv)
{
    if (answerHelp(argc, argv, kUsage))
        return 0;
    if (argc > 3) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    QCoreApplication app(argc, argv);
    const long eventCount = argc > 1 ? std::atol(argv[1]) : 100000;
    const long lineCount = argc > 2 ? std::atol(argv[2]) : eventCount * 3;
    QTemporaryDir dir;
    generate(dir.path(), eventCount, lineCount);
    const QString folder = dir.path() + "/";

    RecordSet bare(definition("d_list"));
    bare.ImportFile(folder + "VantelEvents.txt");
    const double peer
        = commits(bare.RowCount(), [&](long row, const QString &name) { bare.SetItem(row, "name", name); });

    EventDocument doc;
    doc.load(folder);
    doc.journal().setDelay(0); // a write after every commit: the worst case
    const double kept = commits(doc.events().RowCount(), [&](long row, const QString &name) {
        doc.setField(EventDocument::Part::Events, row, "name", name);
    });
    QElapsedTimer t;
    t.start();
    doc.journal().flush();
    const double drain = double(t.nsecsElapsed()) / 1e6;

    std::printf("%ld events, %ld date lines, %d field commits\n", eventCount, lineCount, kCommits);
    std::printf("commit, record set alone:            %8.1f us\n", peer);
    std::printf("commit, with history and journal:    %8.1f us\n", kept);
    std::printf("journal writes still under way after: %7.1f ms\n", drain);
    return 0;
}
