// Clock, restart and run-once, through the platform table, a private
// message bus with a stand-in login manager, and a private config folder.
#include "daemons.h"
#include "helvex1.h"
#include "platform.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <systemd/sd-bus.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <future>
#include <optional>
#include <thread>

namespace {

// ---- clock -----------------------------------------------------------------

// A clock that starts at a fixed moment and records what it is set to.
struct FakeClock {
    static inline timespec now{};
    static inline std::optional<timespec> set;
    static inline int failure = 0;
    static int read(timespec *t)
    {
        *t = now;
        return 0;
    }
    static int write(const timespec &t)
    {
        if (failure)
            return failure;
        set = t;
        return 0;
    }
};

class Clock : public testing::Test {
protected:
    void SetUp() override
    {
        saved_ = helvex1::platform();
        helvex1::platform().readClock = FakeClock::read;
        helvex1::platform().setClock = FakeClock::write;
        FakeClock::now = {1078506570, 250000000}; // 5 March 2004 17:09:30.25 UTC
        FakeClock::set.reset();
        FakeClock::failure = 0;
        setenv("TZ", "Europe/Berlin", 1);
        tzset();
    }
    void TearDown() override
    {
        helvex1::platform() = saved_;
        unsetenv("TZ");
        tzset();
    }
    helvex1::Platform saved_{};
};

TEST_F(Clock, NewDateKeepsTheTimeOfDay)
{
    ASSERT_EQ(SetNewDate(29, 2, 2024), 1);
    ASSERT_TRUE(FakeClock::set);
    EXPECT_EQ(FakeClock::set->tv_sec, 1709226570); // 29 February 2024 17:09:30 UTC
    EXPECT_EQ(FakeClock::set->tv_nsec, 250000000);
}

TEST_F(Clock, InvalidDatesLeaveTheClockAlone)
{
    EXPECT_EQ(SetNewDate(31, 2, 2024), 0);
    EXPECT_EQ(SetNewDate(29, 2, 2023), 0);
    EXPECT_EQ(SetNewDate(1, 13, 2024), 0);
    EXPECT_EQ(SetNewDate(0, 1, 2024), 0);
    EXPECT_FALSE(FakeClock::set);
}

TEST_F(Clock, NewTimeIsLocalAndKeepsTheDate)
{
    ASSERT_EQ(SetNewTime(8, 30, 15), 1);
    ASSERT_TRUE(FakeClock::set);
    EXPECT_EQ(FakeClock::set->tv_sec, 1078471815); // 5 March 2004 08:30:15 in Berlin (07:30:15 UTC)
    EXPECT_EQ(FakeClock::set->tv_nsec, 250000000);
}

TEST_F(Clock, InvalidTimesLeaveTheClockAlone)
{
    EXPECT_EQ(SetNewTime(24, 0, 0), 0);
    EXPECT_EQ(SetNewTime(12, 60, 0), 0);
    EXPECT_EQ(SetNewTime(12, 0, -1), 0);
    EXPECT_FALSE(FakeClock::set);
}

TEST_F(Clock, RefusalBySystemIsReported)
{
    FakeClock::failure = EPERM;
    EXPECT_EQ(SetNewDate(1, 1, 2020), 0);
    EXPECT_EQ(SetNewTime(1, 2, 3), 0);
}

// ---- restart ---------------------------------------------------------------

// A stand-in for systemd-logind on a private bus that records Reboot calls.
class LoginManager {
public:
    explicit LoginManager(const std::string &address) : thread_([this, address] { serve(address); })
    {
        ready_ = readyPromise_.get_future().get();
    }
    ~LoginManager()
    {
        stop_ = true;
        thread_.join();
    }
    bool ready() const { return ready_; }
    int calls() const { return calls_; }
    bool interactive() const { return interactive_; }

private:
    static int reboot(sd_bus_message *m, void *self, sd_bus_error *)
    {
        auto *me = static_cast<LoginManager *>(self);
        int interactive = 0;
        if (sd_bus_message_read(m, "b", &interactive) < 0)
            return -EINVAL;
        me->interactive_ = interactive != 0;
        ++me->calls_;
        return sd_bus_reply_method_return(m, "");
    }

    void serve(const std::string &address)
    {
        static const sd_bus_vtable vtable[] = {
            SD_BUS_VTABLE_START(0),
            SD_BUS_METHOD("Reboot", "b", "", &LoginManager::reboot, SD_BUS_VTABLE_UNPRIVILEGED),
            SD_BUS_VTABLE_END};
        sd_bus *bus = nullptr;
        sd_bus_slot *slot = nullptr;
        bool ok = sd_bus_new(&bus) >= 0 && sd_bus_set_address(bus, address.c_str()) >= 0 &&
                  sd_bus_set_bus_client(bus, 1) >= 0 && sd_bus_start(bus) >= 0 &&
                  sd_bus_add_object_vtable(bus, &slot, "/org/freedesktop/login1",
                                           "org.freedesktop.login1.Manager", vtable, this) >= 0 &&
                  sd_bus_request_name(bus, "org.freedesktop.login1", 0) >= 0;
        readyPromise_.set_value(ok);
        while (ok && !stop_) {
            const int r = sd_bus_process(bus, nullptr);
            if (r < 0)
                break;
            if (r == 0)
                sd_bus_wait(bus, 50000);
        }
        sd_bus_slot_unref(slot);
        sd_bus_flush_close_unref(bus);
    }

    std::promise<bool> readyPromise_;
    bool ready_ = false;
    std::atomic<bool> stop_{false};
    std::atomic<int> calls_{0};
    std::atomic<bool> interactive_{true};
    std::thread thread_;
};

TEST(SystemReboot, RequestReachesTheLoginManager)
{
    hxtest::MessageBus bus;
    const std::string problem = bus.start();
    if (problem == "dbus-daemon is not installed")
        GTEST_SKIP() << problem;
    ASSERT_TRUE(problem.empty()) << problem;
    LoginManager logind(bus.address());
    ASSERT_TRUE(logind.ready());
    EXPECT_EQ(SystemReboot(), 1);
    EXPECT_EQ(logind.calls(), 1);
    EXPECT_FALSE(logind.interactive());
}

TEST(SystemReboot, NoLoginManagerIsARefusal)
{
    hxtest::MessageBus bus;
    const std::string problem = bus.start();
    if (problem == "dbus-daemon is not installed")
        GTEST_SKIP() << problem;
    ASSERT_TRUE(problem.empty()) << problem;
    EXPECT_EQ(SystemReboot(), 0); // the bus is there, nobody answers for login1
}

// ---- run once --------------------------------------------------------------

// The arguments of an Exec key, read the way a desktop reads them.
std::vector<std::string> execArguments(const std::string &value)
{
    std::string unescaped; // the string-value escapes
    for (size_t i = 0; i < value.size(); ++i) {
        if (value[i] == '\\' && i + 1 < value.size()) {
            const char n = value[++i];
            unescaped += n == 'n' ? '\n' : n == 't' ? '\t' : n == 'r' ? '\r' : n == 's' ? ' ' : n;
        } else if (value[i] == '%' && i + 1 < value.size() && value[i + 1] == '%') {
            unescaped += '%';
            ++i;
        } else {
            unescaped += value[i];
        }
    }
    std::vector<std::string> args;
    std::string current;
    bool inQuotes = false, any = false;
    for (size_t i = 0; i < unescaped.size(); ++i) {
        const char c = unescaped[i];
        if (inQuotes) {
            if (c == '\\' && i + 1 < unescaped.size())
                current += unescaped[++i];
            else if (c == '"')
                inQuotes = false;
            else
                current += c;
        } else if (c == '"') {
            inQuotes = any = true;
        } else if (c == ' ') {
            if (any)
                args.push_back(current);
            current.clear();
            any = false;
        } else {
            current += c;
            any = true;
        }
    }
    if (any)
        args.push_back(current);
    return args;
}

class RunOnce_ : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(config_.isValid());
        setenv("XDG_CONFIG_HOME", config_.path().toUtf8().constData(), 1);
    }
    void TearDown() override { unsetenv("XDG_CONFIG_HOME"); }
    QString entry(const QString &name) const
    {
        return config_.filePath(QStringLiteral("autostart/") + name + QStringLiteral(".desktop"));
    }
    QTemporaryDir config_;
};

TEST_F(RunOnce_, EntryRemovesItselfThenRunsTheCommand)
{
    const QString out = config_.filePath(QStringLiteral("out file"));
    const std::string command = "printf '%s' \"it's $((40+2)) \\\\o/\" > '" + out.toStdString() + "'";
    ASSERT_EQ(RunOnce("Finish setup", command.c_str()), 1);

    QFile desktop(entry(QStringLiteral("Finish setup")));
    ASSERT_TRUE(desktop.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = desktop.readAll().split('\n');
    desktop.close();
    ASSERT_EQ(lines.value(0), "[Desktop Entry]");
    EXPECT_TRUE(lines.contains("Type=Application"));
    std::string exec;
    for (const QByteArray &l : lines)
        if (l.startsWith("Exec="))
            exec = l.mid(5).toStdString();
    const std::vector<std::string> args = execArguments(exec);
    ASSERT_GE(args.size(), 1u);
    ASSERT_EQ(hxtest::run(args), 0);

    EXPECT_FALSE(QFileInfo::exists(desktop.fileName()));
    QFile result(out);
    ASSERT_TRUE(result.open(QIODevice::ReadOnly));
    EXPECT_EQ(result.readAll().toStdString(), "it's 42 \\o/");
}

TEST_F(RunOnce_, SameNameReplacesTheEntry)
{
    ASSERT_EQ(RunOnce("job", "true"), 1);
    ASSERT_EQ(RunOnce("job", "false"), 1);
    QFile desktop(entry(QStringLiteral("job")));
    ASSERT_TRUE(desktop.open(QIODevice::ReadOnly));
    const QByteArray text = desktop.readAll();
    EXPECT_TRUE(text.contains("false"));
    EXPECT_FALSE(text.contains(" true"));
}

TEST_F(RunOnce_, NamesThatAreNoFileNamesAreRefused)
{
    EXPECT_EQ(RunOnce("", "true"), 0);
    EXPECT_EQ(RunOnce("..", "true"), 0);
    EXPECT_EQ(RunOnce("../escape", "true"), 0);
    EXPECT_EQ(RunOnce(nullptr, "true"), 0);
    EXPECT_FALSE(QFileInfo::exists(config_.filePath(QStringLiteral("escape.desktop"))));
}

TEST_F(RunOnce_, UnwritableFolderIsRefused)
{
    const QString blocked = config_.filePath(QStringLiteral("blocked"));
    QFile f(blocked);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly)); // a file where the folder should be
    f.close();
    setenv("XDG_CONFIG_HOME", blocked.toUtf8().constData(), 1);
    EXPECT_EQ(RunOnce("job", "true"), 0);
}

} // namespace
