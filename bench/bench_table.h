// The figures of a benchmark run: the program and its peer measured in
// alternated rounds, shown as the median ratio with its range beside the
// target. A figure whose check failed in any round is a MISS.
#pragma once

#include <QString>
#include <QStringList>

#include <cmath>
#include <map>
#include <vector>

struct Sample {
    double ours = std::nan("");
    double peer = std::nan("");
};

struct Figure {
    Figure(const char *name, const char *unit, double scale, const char *peerName, double target = std::nan(""),
           bool absolute = false)
        : name(QString::fromUtf8(name)), unit(QString::fromUtf8(unit)), scale(scale),
          peerName(QString::fromUtf8(peerName)), target(target), absolute(absolute)
    {
    }
    QString name;
    QString unit;            // of the values shown: "s", "ms", "MB"
    double scale = 1;        // shown = measured * scale
    QString peerName;        // what the peer is
    double target = std::nan(""); // the ratio (or, when absolute, our value shown) must be <= it
    bool absolute = false;   // the target is for our value itself, not the ratio
    std::vector<Sample> rounds;
    std::vector<std::pair<int, QString>> failures; // round (from 0; -1: after the rounds), what failed

    void add(double ours, double peer) { rounds.push_back({ours, peer}); }
    void fail(int round, const QString &why) { failures.emplace_back(round, why); }
};

struct Summary {
    double ours = std::nan(""), oursLo = std::nan(""), oursHi = std::nan("");
    double peer = std::nan(""), peerLo = std::nan(""), peerHi = std::nan("");
    double ratio = std::nan(""), ratioLo = std::nan(""), ratioHi = std::nan("");
    bool pass = false; // checks held and the target is met
};

double median(std::vector<double> v); // NaN for none
Summary summarize(const Figure &f);

void printTableHead();
void printFigure(const Figure &f);
// The failed checks, each once with its rounds and figures, or that all held.
void printChecks(const std::vector<const Figure *> &figures);

// Time per event (or per step) at each size, and how it grows from the
// smallest size to the largest beside its target.
struct Scaling {
    QString name;
    bool perStep = false;          // shown per step, not per event
    std::map<long, double> median; // events -> our median in seconds
    bool checked = true;           // every size's checks held
};
void printScaling(const std::vector<Scaling> &rows, double target);
