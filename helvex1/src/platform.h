// The few operating-system services that the exports reach through a table,
// so that a platform file chosen by the build provides them and tests can
// put stand-ins in their place (the system clock above all).
#pragma once

#include <ctime>

namespace helvex1 {

struct Platform {
    // Reads / sets the real-time clock (UTC); 0 on success, else an errno.
    int (*readClock)(timespec *now);
    int (*setClock)(const timespec &when);
    // Asks the login manager to restart the machine; true when accepted.
    bool (*requestReboot)();
};

// The table in use; tests may replace its entries and restore them.
Platform &platform();

// The table as the platform file provides it.
const Platform &defaultPlatform();

} // namespace helvex1
