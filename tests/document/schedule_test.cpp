// Date lines from a schedule: generated schedules expanded back into dates
// and times against a plain day-by-day expansion, the fewest lines, every
// refusal with its text, and the dates-to-leave-out field.
#include "schedule.h"
#include "testsupport.h"

#include <QTimeZone>

#include <gtest/gtest.h>

#include <functional>
#include <random>
#include <set>

using namespace schedule;

namespace {

QDate iso(const char *text) { return QDate::fromString(QString::fromLatin1(text), Qt::ISODate); }

using Days = std::map<QDate, std::set<QTime>>;

// The dates and times the lines cover, checking that the lines follow one
// another, each with its times ascending and once, and that no date is in two.
Days covered(const Result &r)
{
    Days out;
    for (size_t i = 0; i < r.lines.size(); ++i) {
        const Line &line = r.lines[i];
        EXPECT_TRUE(i == 0 || r.lines[i - 1].end < line.start);
        EXPECT_TRUE(std::adjacent_find(line.times.begin(), line.times.end(), std::greater_equal<QTime>())
                    == line.times.end());
        for (QDate day = line.start; day <= line.end; day = day.addDays(1))
            out[day].insert(line.times.begin(), line.times.end());
    }
    return out;
}

// The runs of consecutive days with equal times: the fewest lines possible.
size_t runs(const Days &days)
{
    size_t n = 0;
    const Days::value_type *before = nullptr;
    for (const auto &day : days) {
        n += !before || before->first.addDays(1) != day.first || before->second != day.second;
        before = &day;
    }
    return n;
}

TEST(ScheduleExpansion, GeneratedSchedulesGiveTheirDatesInTheFewestLines)
{
    testing_support::EnvironmentScope zone("TZ", "Europe/Berlin");
    const QTimeZone berlin("Europe/Berlin");
    std::vector<QDate> changes; // the days the clocks go forward or back
    for (const QTimeZone::OffsetData &t : berlin.transitions(QDateTime(iso("2027-01-01"), QTime(0, 0), berlin),
                                                             QDateTime(iso("2030-01-01"), QTime(0, 0), berlin)))
        changes.push_back(t.atUtc.toTimeZone(berlin).date());
    ASSERT_EQ(changes.size(), 6u);

    std::mt19937 rng(20270505);
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    auto someTime = [&] { // often in the hour that a change of the clocks skips or repeats
        return pick(0, 3) == 0 ? QTime(2, pick(0, 59)) : QTime(0, 0).addSecs(60 * pick(1, 24 * 60 - 1));
    };
    int built = 0, refused = 0, changeHourKept = 0;
    for (int round = 0; built < 200; ++round) {
        ASSERT_LT(round, 2000);
        Request rq;
        switch (pick(0, 3)) {
        case 0: rq.first = changes[size_t(pick(0, 5))].addDays(-pick(0, 20)); break;
        case 1: rq.first = iso("2028-02-29").addDays(-pick(0, 40)); break;
        default: rq.first = QDate(pick(2027, 2029), pick(1, 12), 1).addDays(-pick(1, 5)); // a month's end
        }
        const int length = pick(0, 9) == 0 ? pick(0, 800) : pick(0, 70);
        rq.last = rq.first.addDays(length);
        std::array<std::vector<QTime>, 7> week;
        for (int d = 0; d < 7; ++d) {
            for (int n = pick(-2, 5); n > 0; --n) {
                const QTime t = week[size_t(d)].emplace_back(someTime());
                rq.weekdays[size_t(d)] << t.toString(pick(0, 1) ? "HH:mm" : "H:mm");
                if (pick(0, 5) == 0) // the same time twice
                    rq.weekdays[size_t(d)] << " " + t.toString("HH:mm") << QString();
            }
        }
        for (int n = pick(0, 5); n > 0; --n)
            rq.leaveOut.push_back(rq.first.addDays(pick(-3, length + 3)));
        for (int n = pick(-1, 3); n > 0; --n) {
            ExtraDate &e = rq.extra.emplace_back(ExtraDate{rq.first.addDays(pick(-10, length + 10)), {}});
            for (int k = pick(1, 3); k > 0; --k)
                e.times << someTime().toString("HH:mm");
        }

        // The plain expansion: every day of the range, then the added dates.
        Days want;
        for (QDate day = rq.first; day <= rq.last; day = day.addDays(1))
            if (std::find(rq.leaveOut.begin(), rq.leaveOut.end(), day) == rq.leaveOut.end())
                for (const QTime &t : week[size_t(day.dayOfWeek() - 1)])
                    want[day].insert(t);
        for (const ExtraDate &e : rq.extra)
            for (const QString &t : e.times)
                want[e.date].insert(QTime::fromString(t, "HH:mm"));
        bool refuse = want.empty() || rq.last > rq.first.addYears(2).addDays(-1);
        size_t pairs = 0;
        for (const auto &[day, times] : want) {
            refuse = refuse || times.size() > 6;
            pairs += times.size();
            const bool changeDay = std::find(changes.begin(), changes.end(), day) != changes.end();
            changeHourKept += changeDay && times.lower_bound(QTime(2, 0)) != times.lower_bound(QTime(3, 0));
        }

        const Result r = build(rq);
        if (refuse) {
            EXPECT_TRUE(!r.ok() && r.lines.empty()) << "round " << round;
            ++refused;
            continue;
        }
        ASSERT_TRUE(r.ok()) << qPrintable(r.error);
        ++built;
        EXPECT_EQ(covered(r), want) << "round " << round;
        EXPECT_EQ(r.lines.size(), runs(want)) << "round " << round;
        EXPECT_EQ(size_t(r.performances), pairs);
        // The calendar's way in gives the same lines.
        Occurrences days;
        for (const auto &[day, times] : want)
            days[day] = std::vector<QTime>(times.rbegin(), times.rend());
        const Result again = fromOccurrences(days, "Bonn", "NW");
        EXPECT_EQ(covered(again), want);
        EXPECT_EQ(again.lines.size(), r.lines.size());
    }
    EXPECT_GT(changeHourKept, 0) << "no schedule had a time in the hour of a change of the clocks";
    EXPECT_GT(refused, 0);
}

Request theatreRun()
{
    // Wed-Sun 19:30, weekends also 15:00, except 24 Dec.
    Request rq;
    rq.first = iso("2027-12-15");
    rq.last = iso("2027-12-26");
    for (int d = 2; d < 7; ++d)
        rq.weekdays[size_t(d)] << "19:30";
    rq.weekdays[5] = QStringList{"19:30", "15:00", "19:30"};
    rq.weekdays[6] = QStringList{"15:00", "19:30"};
    rq.leaveOut = {iso("2027-12-24")};
    rq.city = "Köln";
    rq.state = "NW";
    rq.datePattern = "dd.mm.yyyy";
    return rq;
}

TEST(ScheduleBuild, TheatreRunWithWeekendMatineesAndADayLeftOut)
{
    Request rq = theatreRun();
    Result r = build(rq);
    ASSERT_TRUE(r.ok()) << qPrintable(r.error);
    EXPECT_EQ(preview(r, "dd.mm.yyyy"), QStringList({"4 date lines, 13 performances:",
                                                      "15.12.2027 - 17.12.2027  Wed-Fri  19:30",
                                                      "18.12.2027 - 19.12.2027  Sat-Sun  15:00 19:30",
                                                      "22.12.2027 - 23.12.2027  Wed-Thu  19:30",
                                                      "25.12.2027 - 26.12.2027  Sat-Sun  15:00 19:30"}));
    EXPECT_EQ(r.lines[1].fileTimes(), QStringList({"1500", "1930", "0000", "0000", "0000", "0000"}));
    EXPECT_EQ(r.lines[1].city, "Köln");

    // A matinee on the day left out is its only show; one on a scheduled day
    // joins the evening's.
    rq.extra = {{iso("2027-12-24"), {"14:00"}}, {iso("2027-12-23"), {"15:00"}}};
    r = build(rq);
    ASSERT_TRUE(r.ok()) << qPrintable(r.error);
    EXPECT_EQ(preview(r, "mm/dd/yyyy").mid(4, 3), QStringList({"12/23/2027  Thu  15:00 19:30",
                                                                "12/24/2027  Fri  14:00",
                                                                "12/25/2027 - 12/26/2027  Sat-Sun  15:00 19:30"}));
}

TEST(ScheduleBuild, RefusesWithAReason)
{
    struct Case {
        std::function<void(Request &)> change;
        QString error; // empty: built
    };
    const Case cases[] = {
        {[](Request &r) { r.first = QDate(); }, "Please enter the first date !"},
        {[](Request &r) { r.last = iso("2027-12-14"); }, "The last date may not occur before the first date !"},
        {[](Request &r) { r.last = iso("2029-12-15"); },
         "A schedule may run for two years at most: the last date may be 14.12.2029 at the latest !"},
        {[](Request &r) { r.last = iso("2029-12-14"); }, ""},
        {[](Request &r) { r.weekdays[0] << "25:00"; },
         "Please enter the time as hh:mm on the 24-hour clock: \"25:00\" on Monday !"},
        {[](Request &r) { r.weekdays[3] << "00:00"; },
         "00:00 on Thursday cannot be saved: the data files take 0000 for \"no time\". Please take 23:59 or 00:01 !"},
        {[](Request &r) { r.weekdays[0] = QStringList{"10:00", "11:00", "12:00", "13:00", "14:00", "15:00", "16:00"}; },
         "Monday has more than six times: a date line holds at most six !"},
        {[](Request &r) { r.weekdays[0] = QStringList{"10:00", "11:00", "12:00", "13:00", "14:00", "15:00", "10:00"}; },
         ""},
        {[](Request &r) { r.extra = {{iso("2027-12-18"), {"10:00", "11:00", "12:00", "13:00", "14:00"}}}; },
         "18.12.2027 has more than six times with its own and those of every Saturday: a date line holds at most "
         "six !"},
        {[](Request &r) { r.extra = {{iso("2027-12-20"), {"", ":"}}}; },
         "20.12.2027 is added without a time: please give it at least one !"},
        {[](Request &r) { r.weekdays = {}; }, "Please give at least one weekday a time !"},
        {[](Request &r) {
             r.last = r.first;
             r.leaveOut.push_back(r.first);
         },
         "No date from 15.12.2027 to 15.12.2027 is scheduled: no weekday with times falls in it, or every one is "
         "left out !"},
    };
    for (const Case &c : cases) {
        Request rq = theatreRun();
        c.change(rq);
        const Result r = build(rq);
        EXPECT_EQ(r.error, c.error);
        EXPECT_EQ(r.lines.empty(), !c.error.isEmpty()) << qPrintable(c.error);
    }

    // A thousand lines are taken, one more is refused.
    Request rq = theatreRun();
    rq.weekdays = {};
    for (int i = 0; i < 1001; ++i)
        rq.extra.push_back({iso("2030-01-01").addDays(i), {i % 2 ? "10:00" : "11:00"}});
    EXPECT_EQ(build(rq).error, "The schedule makes 1001 date lines: at most 1000 can be added at once !");
    rq.extra.pop_back();
    EXPECT_EQ(build(rq).lines.size(), 1000u);
}

TEST(ScheduleOccurrences, TakesTimesToTheMinuteAndRefusesWhatCannotBeStored)
{
    const QDate day = iso("2028-02-28");
    Result r = fromOccurrences({{day, {QTime(19, 30, 15), QTime(19, 30, 45)}}, {day.addDays(1), {QTime(19, 30)}}},
                               "Bonn", "NW", "dd.mm.yyyy");
    EXPECT_EQ(preview(r, "dd.mm.yyyy"),
              QStringList({"1 date line, 2 performances:", "28.02.2028 - 29.02.2028  Mon-Tue  19:30"}));

    const std::pair<Occurrences, QString> refused[] = {
        {{}, "The schedule gives no date !"},
        {{{day, {QTime(0, 0, 30)}}}, "00:00 on 28.02.2028 cannot be saved: the data files take 0000 for \"no time\". "
                                     "Please take 23:59 or 00:01 !"},
        {{{day, {QTime()}}}, "28.02.2028 has a time that is no time of the 24-hour clock !"},
        {{{day, {}}}, "28.02.2028 has no time: a date line needs at least one !"},
        {{{day, {QTime(1, 0), QTime(2, 0), QTime(3, 0), QTime(4, 0), QTime(5, 0), QTime(6, 0), QTime(7, 0)}}},
         "28.02.2028 has more than six times: a date line holds at most six !"},
        {{{day, {QTime(10, 0)}}, {iso("2030-02-28"), {QTime(10, 0)}}},
         "The dates may span two years at most: from 28.02.2028 the last may be 27.02.2030 !"},
    };
    for (const auto &[days, error] : refused) {
        r = fromOccurrences(days, "Bonn", "NW", "dd.mm.yyyy");
        EXPECT_EQ(r.error, error);
        EXPECT_EQ(preview(r, "dd.mm.yyyy"), QStringList{error});
    }
}

TEST(ScheduleText, ReadsTheDatesToLeaveOut)
{
    DateList list = parseDates("24.12.2027, 2027-12-31\n 01.01.2028 ,,\n", "dd.mm.yyyy");
    EXPECT_TRUE(list.ok()) << qPrintable(list.error);
    EXPECT_EQ(list.dates, std::vector<QDate>({iso("2027-12-24"), iso("2027-12-31"), iso("2028-01-01")}));
    EXPECT_EQ(parseDates("12/24/2027", "mm/dd/yyyy").dates, std::vector<QDate>{iso("2027-12-24")});
    EXPECT_TRUE(parseDates(" \n , ", "dd.mm.yyyy").dates.empty());

    for (const auto &[text, entry] : {std::pair{"24.12.2027, 31.13.2027, 1.1.2028", "31.13.2027"},
                                      {"24.12.20271", "24.12.20271"}, {"2027-02-30", "2027-02-30"}}) {
        list = parseDates(text, "dd.mm.yyyy");
        EXPECT_TRUE(list.dates.empty());
        EXPECT_EQ(list.error, QString("\"%1\" is no date: please enter the dates to leave out as dd.mm.yyyy or "
                                      "yyyy-mm-dd !").arg(entry));
    }
}

} // namespace
