#include "bench_table.h"

#include <algorithm>
#include <cstdio>

double median(std::vector<double> v)
{
    v.erase(std::remove_if(v.begin(), v.end(), [](double x) { return !std::isfinite(x); }), v.end());
    if (v.empty())
        return std::nan("");
    std::sort(v.begin(), v.end());
    return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

namespace {

void range(const std::vector<double> &v, double &med, double &lo, double &hi)
{
    med = median(v);
    lo = hi = std::nan("");
    for (double x : v)
        if (std::isfinite(x)) {
            lo = std::isfinite(lo) ? std::min(lo, x) : x;
            hi = std::isfinite(hi) ? std::max(hi, x) : x;
        }
}

QString value(double v, double lo, double hi, const QString &unit)
{
    if (!std::isfinite(v))
        return QStringLiteral("-");
    const int prec = std::abs(v) >= 100 ? 0 : std::abs(v) >= 10 ? 1 : 3;
    return QStringLiteral("%1 %2 (%3-%4)").arg(v, 0, 'f', prec).arg(unit).arg(lo, 0, 'f', prec).arg(hi, 0, 'f', prec);
}

} // namespace

Summary summarize(const Figure &f)
{
    Summary s;
    std::vector<double> ours, peer, ratio;
    for (const Sample &r : f.rounds) {
        ours.push_back(r.ours * f.scale);
        peer.push_back(r.peer * f.scale);
        ratio.push_back(r.ours / r.peer);
    }
    range(ours, s.ours, s.oursLo, s.oursHi);
    range(peer, s.peer, s.peerLo, s.peerHi);
    range(ratio, s.ratio, s.ratioLo, s.ratioHi);
    const double judged = f.absolute ? s.ours : s.ratio;
    s.pass = f.failures.empty() && !f.rounds.empty() && std::isfinite(judged) && judged <= f.target;
    return s;
}

void printTableHead()
{
    std::printf("  %-26s %-28s %-40s %-22s %s\n", "figure", "Vantel median (range)", "peer median (range)",
                "ratio median (range)", "target");
}

void printFigure(const Figure &f)
{
    const Summary s = summarize(f);
    const QString peer = f.peerName.isEmpty()
                             ? QStringLiteral("-")
                             : value(s.peer, s.peerLo, s.peerHi, f.unit) + QLatin1Char(' ') + f.peerName;
    const QString ratio = f.absolute || !std::isfinite(s.ratio) ? QStringLiteral("-")
                                                                : QStringLiteral("%1x (%2-%3)")
                                                                      .arg(s.ratio, 0, 'f', 2)
                                                                      .arg(s.ratioLo, 0, 'f', 2)
                                                                      .arg(s.ratioHi, 0, 'f', 2);
    QString target = QStringLiteral("-");
    if (std::isfinite(f.target))
        target = f.absolute ? QStringLiteral("<= %1 %2").arg(f.target).arg(f.unit)
                            : QStringLiteral("<= %1x").arg(f.target);
    const char *verdict = !f.failures.empty() ? "MISS (check failed)"
                          : !std::isfinite(f.target) ? ""
                          : s.pass                   ? "PASS"
                                                     : "MISS";
    std::printf("  %-26s %-28s %-40s %-22s %-12s %s\n", qPrintable(f.name),
                qPrintable(value(s.ours, s.oursLo, s.oursHi, f.unit)), qPrintable(peer), qPrintable(ratio),
                qPrintable(target), verdict);
}

void printChecks(const std::vector<const Figure *> &figures)
{
    struct Seen {
        std::vector<int> rounds;
        QStringList figures;
    };
    std::vector<std::pair<QString, Seen>> seen; // in the order first met
    for (const Figure *f : figures)
        for (const auto &[round, why] : f->failures) {
            auto it = std::find_if(seen.begin(), seen.end(), [&](const auto &s) { return s.first == why; });
            if (it == seen.end())
                it = seen.insert(seen.end(), {why, {}});
            if (std::find(it->second.rounds.begin(), it->second.rounds.end(), round) == it->second.rounds.end())
                it->second.rounds.push_back(round);
            if (!it->second.figures.contains(f->name))
                it->second.figures << f->name;
        }
    if (seen.empty()) {
        std::printf("\n  checks: every figure's run did what it measures, and nothing outside the work folders "
                    "was written\n");
        return;
    }
    std::printf("\n  checks that failed:\n");
    for (const auto &[why, s] : seen) {
        QStringList rounds;
        for (int r : s.rounds)
            rounds << (r < 0 ? QStringLiteral("after the rounds") : QString::number(r + 1));
        std::printf("    %s\n      rounds %s; figures: %s\n", qPrintable(why),
                    qPrintable(rounds.join(QLatin1Char(','))), qPrintable(s.figures.join(QStringLiteral(", "))));
    }
}

void printScaling(const std::vector<Scaling> &rows, double target)
{
    if (rows.empty() || rows.front().median.size() < 2)
        return;
    const long first = rows.front().median.begin()->first, last = rows.front().median.rbegin()->first;
    std::printf("\nTime per event as the data grows (Vantel's medians; switching per Down; in brackets against the "
                "size before):\n  %-26s", "figure");
    for (const auto &[events, v] : rows.front().median)
        std::printf(" %14ld         ", events);
    std::printf("   %ld / %ld   target\n", last, first);
    for (const Scaling &r : rows) {
        std::printf("  %-26s", qPrintable(r.name));
        double before = std::nan("");
        for (const auto &[events, v] : r.median) {
            const double shown = r.perStep ? v * 1e3 : v / double(events) * 1e6;
            std::printf(" %11.3f %s", shown, r.perStep ? "ms" : "us");
            if (std::isfinite(before))
                std::printf(" (%5.2fx)", shown / before); // against the size before
            else
                std::printf("         ");
            before = shown;
        }
        const double a = r.median.at(first), b = r.median.at(last);
        const double growth = r.perStep ? b / a : (b / double(last)) / (a / double(first));
        std::printf("   %8.2fx   <= %.1fx %s\n", growth, target,
                    !r.checked ? "MISS (check failed)" : growth <= target ? "PASS" : "MISS");
    }
}
