// Linux services behind the platform table: the real-time clock and the
// login manager (systemd-logind over the system D-Bus).
#include "platform.h"

#include <systemd/sd-bus.h>

#include <cerrno>

namespace helvex1 {
namespace {

int readClock(timespec *now)
{
    return clock_gettime(CLOCK_REALTIME, now) == 0 ? 0 : errno;
}

int setClock(const timespec &when)
{
    return clock_settime(CLOCK_REALTIME, &when) == 0 ? 0 : errno;
}

// org.freedesktop.login1.Manager.Reboot(interactive = false).  The bus is
// the one DBUS_SYSTEM_BUS_ADDRESS names, else the system's own.
bool requestReboot()
{
    sd_bus *bus = nullptr;
    if (sd_bus_open_system(&bus) < 0)
        return false;
    sd_bus_error error = SD_BUS_ERROR_NULL;
    const int r = sd_bus_call_method(bus, "org.freedesktop.login1", "/org/freedesktop/login1",
                                     "org.freedesktop.login1.Manager", "Reboot", &error, nullptr,
                                     "b", 0);
    sd_bus_error_free(&error);
    sd_bus_flush_close_unref(bus);
    return r >= 0;
}

} // namespace

const Platform &defaultPlatform()
{
    static const Platform table{readClock, setClock, requestReboot};
    return table;
}

Platform &platform()
{
    static Platform current = defaultPlatform();
    return current;
}

} // namespace helvex1
