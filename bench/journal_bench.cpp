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

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <cstdio>
#include <cstring>
#include <cstdlib>
#include <functional>

namespace {

constexpr int kCommits = 2000;

// Microseconds per commit of a new name into successive events.
double commits(RecordSet &events, const std::function<void()> &afterEach)
{
    QElapsedTimer t;
    t.start();
    for (int i = 0; i < kCommits; ++i) {
        events.SetItem(1 + (i * 37) % events.RowCount(), "name", QString("Name %1").arg(i));
        afterEach();
    }
    return double(t.nsecsElapsed()) / 1e3 / kCommits;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    bool counts = argc <= 3;
    for (int i = 1; i < argc; ++i)
        counts = counts && std::strspn(argv[i], "0123456789") == std::strlen(argv[i]) && std::atol(argv[i]) > 0;
    if (!counts) {
        const bool help = argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0);
        std::fputs("usage: vantel_journal_bench [EVENTS [LINES]]   (100000 events, 3 x as many date lines)\n",
                   help ? stdout : stderr);
        return help ? 0 : 2;
    }
    const long eventCount = argc > 1 ? std::atol(argv[1]) : 100000;
    const long lineCount = argc > 2 ? std::atol(argv[2]) : eventCount * 3;
    QTemporaryDir dir;
    generate(dir.path(), eventCount, lineCount);
    const QString folder = dir.path() + "/";

    RecordSet bare(definition("d_list"));
    bare.ImportFile(folder + "VantelEvents.txt");
    const double peer = commits(bare, [] { QCoreApplication::processEvents(); });

    EventDocument doc;
    doc.load(folder);
    doc.journal().setDelay(0); // a write after every commit: the worst case
    const double kept = commits(doc.events(), [] { QCoreApplication::processEvents(); });
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
