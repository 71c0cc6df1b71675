#include "externals.h"
#include "keys.h"
#include "testsupport.h"

#include <QElapsedTimer>

#include <gtest/gtest.h>

namespace {

struct Keys : ::testing::Test {
    testing_support::ExternalsGuard guard;
    void TearDown() override
    {
        keys::setClock({});
        keys::forgetLastKey();
    }
    static QDateTime timeOf(const QString &key)
    {
        const QString d = key.right(18);
        return QDateTime(QDate::fromString(d.left(8), "ddMMyyyy"),
                         QTime::fromString(d.mid(8, 6), "HHmmss").addMSecs(d.mid(14, 4).toInt() / 10));
    }
};

TEST_F(Keys, SuccessiveKeysAreAtLeastATenthApart)
{
    keys::forgetLastKey();
    QElapsedTimer timer;
    timer.start();
    const QString a = gf_create_key("EV");
    const QString b = gf_create_key("EV");
    EXPECT_GE(timer.elapsed(), 200); // each call pauses
    ASSERT_EQ(a.size(), 20);
    EXPECT_TRUE(a.startsWith("EV"));
    EXPECT_NE(a, b);
    EXPECT_GE(timeOf(a).msecsTo(timeOf(b)), 100);
}

TEST_F(Keys, MidnightAndPrefixTrimming)
{
    ext::table().Sleep = [](qint32) {};
    keys::setClock([] { return QDateTime(QDate(2027, 1, 1), QTime(0, 0, 0, 50)); });
    EXPECT_EQ(gf_create_key("  TI "), "TI010120270000000500");
    keys::forgetLastKey();
    // Only blanks are removed; any other character of the prefix stays.
    EXPECT_EQ(gf_create_key(" \tTI\n "), "\tTI\n010120270000000500");
    keys::forgetLastKey();
    EXPECT_EQ(gf_create_key(""), "010120270000000500");
    keys::forgetLastKey();
    keys::setClock([] { return QDateTime(QDate(2026, 12, 6), QTime(19, 5, 7, 250)); });
    EXPECT_EQ(gf_create_key("E"), "E061220261905072500");
}

TEST_F(Keys, ClockSetBackNeverRepeatsAKey)
{
    int pauses = 0;
    ext::table().Sleep = [&](qint32 ms) { pauses += ms; };
    QDateTime now(QDate(2026, 3, 1), QTime(12, 0, 0, 0));
    keys::setClock([&] { return now; });
    const QString a = gf_create_key("EV");
    now = now.addSecs(-3600); // the clock is set back an hour
    const QString b = gf_create_key("EV");
    const QString c = gf_create_key("EV"); // the clock stands still
    EXPECT_EQ(pauses, 300);
    EXPECT_EQ(a, "EV010320261200000000");
    EXPECT_EQ(b, "EV010320261200001000");
    EXPECT_EQ(c, "EV010320261200002000");
}

} // namespace
