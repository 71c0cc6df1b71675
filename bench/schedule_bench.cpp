// How long the date lines of a schedule take to make and to show as the
// preview, against one keystroke's repaint of a table of date lines and a
// plain day-by-day expansion of the same schedule, in alternated rounds.
#include "bench_table.h"
#include "schedule.h"
#include "usage.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QStandardItemModel>
#include <QTableView>
#include <QTemporaryDir>

#include <cstdio>
#include <functional>

namespace {

const char kUsage[] =
    "Usage: vantel_schedule_bench [--rounds R]\n"
    "\n"
    "The schedule's preview (the date lines made and written as the preview's rows) for two\n"
    "years from 2027-01-01, in R rounds (at least 5; 15 by default), each figure the mean of a\n"
    "batch of at least 20 ms:\n"
    "\n"
    "  daily                 every day the same six times: one    one keystroke's repaint of a\n"
    "                        date line                           table of 731 date lines\n"
    "  a new line each day   each weekday six times of its own:  the same schedule expanded day\n"
    "                        731 date lines                      by day into dates and times\n"
    "\n"
    "Both must stay under 50 ms. The program's side runs first in even rounds, the peer's first\n"
    "in odd ones; a round whose lines are not as expected is a MISS. Runs on the offscreen\n"
    "platform unless QT_QPA_PLATFORM says otherwise, with the XDG folders in a temporary folder.\n";

schedule::Request twoYears(bool newLineEachDay)
{
    schedule::Request rq;
    rq.first = QDate(2027, 1, 1);
    rq.last = QDate(2028, 12, 31);
    rq.city = QStringLiteral("Bonn");
    rq.state = QStringLiteral("NW");
    rq.datePattern = QStringLiteral("dd.mm.yyyy");
    for (int d = 0; d < 7; ++d)
        for (int t = 0; t < 6; ++t)
            rq.weekdays[size_t(d)] << QTime(10 + 2 * t, newLineEachDay ? 5 * d : 0).toString(QStringLiteral("HH:mm"));
    return rq;
}

// Seconds per call of `step`, over a batch of at least 20 ms.
double perCall(const std::function<void()> &step)
{
    QElapsedTimer t;
    t.start();
    long n = 0;
    do {
        step();
        ++n;
    } while (t.nsecsElapsed() < 20'000'000);
    return double(t.nsecsElapsed()) / 1e9 / double(n);
}

// What the preview would show, and the number of its rows.
qsizetype previewRows(const schedule::Request &rq)
{
    return schedule::preview(schedule::build(rq), rq.datePattern).size();
}

// The same schedule as every date and time, day by day.
size_t expandDayByDay(const schedule::Request &rq)
{
    std::vector<std::pair<QDate, QTime>> pairs;
    for (QDate day = rq.first; day <= rq.last; day = day.addDays(1))
        for (const QString &t : rq.weekdays[size_t(day.dayOfWeek() - 1)])
            pairs.emplace_back(day, QTime::fromString(t, QStringLiteral("HH:mm")));
    return pairs.size();
}

} // namespace

int main(int argc, char **argv)
{
    if (answerHelp(argc, argv, kUsage))
        return 0;
    int rounds = 15;
    if (argc == 3 && QByteArray(argv[1]) == "--rounds")
        rounds = std::max(5, QByteArray(argv[2]).toInt());
    else if (argc != 1) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // What the window system and its fonts keep stays in a folder of the run.
    QTemporaryDir home;
    if (!home.isValid()) {
        std::fprintf(stderr, "cannot make a work folder: %s\n", qPrintable(home.errorString()));
        return 1;
    }
    for (const char *name : {"XDG_RUNTIME_DIR", "XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_DATA_HOME"}) {
        const QString dir = home.path() + QLatin1Char('/') + QString::fromLatin1(name).toLower();
        QDir().mkpath(dir);
        QFile::setPermissions(dir, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv(name, QFile::encodeName(dir));
    }
    QApplication app(argc, argv);

    const schedule::Request daily = twoYears(false), changing = twoYears(true);
    const schedule::Result dailyLines = schedule::build(daily), changingLines = schedule::build(changing);
    std::printf("daily: %zu date line(s), %ld performances; a new line each day: %zu date lines, %ld performances\n",
                dailyLines.lines.size(), dailyLines.performances, changingLines.lines.size(),
                changingLines.performances);

    // The peer of the daily figure: a table of the second schedule's lines,
    // one cell typed into and the table painted again.
    QStandardItemModel model(int(changingLines.lines.size()), 10);
    for (int r = 0; r < model.rowCount(); ++r) {
        const schedule::Line &line = changingLines.lines[size_t(r)];
        const QStringList times = line.fileTimes();
        const QStringList cells = QStringList{line.city, line.state, line.start.toString(Qt::ISODate),
                                              line.end.toString(Qt::ISODate)} + times;
        for (int c = 0; c < cells.size(); ++c)
            model.setItem(r, c, new QStandardItem(cells[c]));
    }
    QTableView view;
    view.setModel(&model);
    view.resize(1000, 700);
    view.show();
    QApplication::processEvents();
    long keys = 0;
    auto keystroke = [&] {
        model.setData(model.index(3, 0), QStringLiteral("Bonn %1").arg(++keys % 10));
        view.viewport()->repaint();
    };

    Figure dailyFigure("daily, 1 line", "ms", 1e3, "keystroke repaint", 50, true);
    Figure changingFigure("a new line each day", "ms", 1e3, "day-by-day expansion", 50, true);
    for (int r = 0; r < rounds; ++r) {
        double ours[2] = {}, peers[2] = {};
        auto program = [&] {
            ours[0] = perCall([&] { previewRows(daily); });
            ours[1] = perCall([&] { previewRows(changing); });
        };
        auto peer = [&] {
            peers[0] = perCall(keystroke);
            peers[1] = perCall([&] { expandDayByDay(changing); });
        };
        if (r % 2 == 0)
            program(), peer();
        else
            peer(), program();
        dailyFigure.add(ours[0], peers[0]);
        changingFigure.add(ours[1], peers[1]);
        if (previewRows(daily) != 2 || dailyLines.performances != 731 * 6)
            dailyFigure.fail(r, QStringLiteral("the daily schedule did not make one line of 4386 performances"));
        if (previewRows(changing) != 732 || expandDayByDay(changing) != size_t(changingLines.performances))
            changingFigure.fail(r, QStringLiteral("the changing schedule did not make 731 lines of all its dates"));
    }
    std::printf("\n%d rounds\n", rounds);
    printTableHead();
    printFigure(dailyFigure);
    printFigure(changingFigure);
    printChecks({&dailyFigure, &changingFigure});
    return 0;
}
