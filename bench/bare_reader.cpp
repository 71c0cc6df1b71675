// The peer of the program's start-up and event switching: a bare Qt program
// that maps the three data files, splits their lines into fields (quoted
// values may span lines) and shows the events in a table view, the first
// one current. Prints the same figures as the program's measurement:
//
//   vantel_bench_bare DIR STEPS
//
//   ready    seconds from VANTEL_BENCH_T0 (the driver's clock when it started
//            this process) until the table is filled, the first row current
//            and painted
//   hwm_kb   peak memory then
//   step     seconds per Down pressed in the table
#include "peakmemory.h"
#include "usage.h"

#include <QAbstractTableModel>
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTableView>
#include <QTest>
#include <QWindow>

#include <cstdio>
#include <cstring>
#include <ctime>
#include <unistd.h>
#include <vector>

namespace {

struct Table {
    QFile file;
    const char *data = nullptr;
    qsizetype size = 0;
    int columns = 0;
    std::vector<quint32> starts, ends; // field k of row r at [r * columns + k]

    bool map(const QString &path, int ncols)
    {
        columns = ncols;
        file.setFileName(path);
        if (!file.open(QIODevice::ReadOnly))
            return false;
        size = file.size();
        data = size ? reinterpret_cast<const char *>(file.map(0, size)) : "";
        return data != nullptr;
    }
    void split()
    {
        qsizetype p = 0;
        starts.reserve(size / 16);
        ends.reserve(size / 16);
        while (p < size) {
            int k = 0;
            for (;;) {
                qsizetype s = p, e;
                if (data[p] == '"') {
                    const char *q = data + p + 1;
                    for (;;) { // to the quote that is not doubled
                        q = static_cast<const char *>(std::memchr(q, '"', data + size - q));
                        if (!q || q + 1 >= data + size || q[1] != '"')
                            break;
                        q += 2;
                    }
                    p = q ? q - data + 1 : size;
                    e = p;
                } else {
                    while (p < size && data[p] != '\t' && data[p] != '\n')
                        ++p;
                    e = p > s && data[p - 1] == '\r' ? p - 1 : p;
                }
                if (k < columns) {
                    starts.push_back(quint32(s));
                    ends.push_back(quint32(e));
                }
                ++k;
                if (p < size && data[p] == '\t') {
                    ++p;
                    continue;
                }
                while (p < size && data[p] != '\n')
                    ++p;
                ++p;
                break;
            }
            for (; k < columns; ++k) {
                starts.push_back(0);
                ends.push_back(0);
            }
        }
    }
    long rows() const { return columns ? long(starts.size() / columns) : 0; }
};

class Model : public QAbstractTableModel {
public:
    explicit Model(const Table &t) : t_(t) {}
    int rowCount(const QModelIndex &parent) const override { return parent.isValid() ? 0 : int(t_.rows()); }
    int columnCount(const QModelIndex &parent) const override { return parent.isValid() ? 0 : t_.columns; }
    QVariant data(const QModelIndex &index, int role) const override
    {
        if (role != Qt::DisplayRole)
            return QVariant();
        const size_t i = size_t(index.row()) * t_.columns + index.column();
        return QString::fromUtf8(t_.data + t_.starts[i], t_.ends[i] - t_.starts[i]);
    }

private:
    const Table &t_;
};

} // namespace

const char kUsage[] =
    "Usage: vantel_bench_bare DIR STEPS\n"
    "\n"
    "The peer of the program's start-up and event switching: maps the three data files of DIR,\n"
    "splits their fields, shows the events in a table view with the first one current, then presses\n"
    "Down STEPS times. Prints ready (seconds from VANTEL_BENCH_T0, the starter's monotonic clock in\n"
    "ns), hwm_kb (peak memory then), step (seconds per Down), rows, dates and row (the row reached).\n";

int main(int argc, char **argv)
{
    if (answerHelp(argc, argv, kUsage))
        return 0;
    if (argc != 3) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    const qint64 t0 = qgetenv("VANTEL_BENCH_T0").toLongLong();
    int one = 1;
    QApplication app(one, argv);
    const QString dir = QFile::decodeName(argv[1]) + QLatin1Char('/');
    const int steps = std::max(1, std::atoi(argv[2]));
    Table admin, events, dates;
    if (!admin.map(dir + "VantelAdmin.txt", 7) || !events.map(dir + "VantelEvents.txt", 27)
        || !dates.map(dir + "VantelEventDates.txt", 13))
        return 3;
    admin.split();
    events.split();
    dates.split();
    Model model(events);
    QTableView view;
    view.setModel(&model);
    view.resize(1000, 700);
    view.show();
    view.setCurrentIndex(model.index(0, 0));
    QCoreApplication::processEvents();
    view.repaint();
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    const double ready = double(qint64(ts.tv_sec) * 1000000000 + ts.tv_nsec - t0) / 1e9;
    const long hwm = vmHwmKb();

    // Active and focused, as the program's window is when it is measured.
    view.activateWindow();
    if (QWindow *handle = view.windowHandle())
        handle->requestActivate();
    const bool active = QTest::qWaitFor([&view] { return QApplication::activeWindow() == &view; }, 2000);
    view.setFocus();
    QCoreApplication::processEvents();
    QElapsedTimer t;
    t.start();
    for (int i = 0; i < steps; ++i) {
        QTest::keyClick(&view, Qt::Key_Down);
        QCoreApplication::processEvents();
    }
    const double step = double(t.nsecsElapsed()) / 1e9 / steps;
    std::printf("ready %.6f\nhwm_kb %ld\nactive %d\nstep %.9f\nrows %ld\ndates %ld\nrow %d\nhwm_end_kb %ld\n", ready,
                hwm, active ? 1 : 0, step, events.rows(), dates.rows(), view.currentIndex().row() + 1, vmHwmKb());
    std::fflush(stdout);
    _exit(0);
}
