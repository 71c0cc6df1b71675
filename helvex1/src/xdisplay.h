// The library's connection to the X display, shared by the exports that
// query or change it.
#pragma once

#include <X11/Xlib.h>

#include <mutex>

namespace helvex1 {

// Opens the display that DISPLAY names.  An X server without clients resets
// and drops the connections that arrive meanwhile, so a dropped connection is
// tried again a few times (pausing about 100 ms in all); with DISPLAY unset
// or nothing listening it fails at once.  nullptr when there is no display.
Display *openDisplay();

// The process's one connection, lent to one export call at a time.  Keeping
// it open spares the server a reset after every call (the cause of dropped
// connections, and slow).  A lease opens it on first use and opens it anew
// when DISPLAY names another display, when the server has gone away (it was
// restarted) or in a forked child; it brings Xlib's cached screen sizes up to
// date.  While a lease lives, protocol errors on the connection are counted
// instead of ending the process, and so is the loss of the server.
class DisplayLease {
public:
    DisplayLease();
    ~DisplayLease();
    DisplayLease(const DisplayLease &) = delete;
    DisplayLease &operator=(const DisplayLease &) = delete;

    // nullptr when there is no display.
    Display *get() const { return display_; }
    explicit operator bool() const { return display_ != nullptr; }
    // Protocol errors on the connection since the lease began.
    int errors() const;
    // True when the server went away during the lease.
    bool lost() const;

private:
    std::unique_lock<std::mutex> lock_;
    Display *display_ = nullptr;
};

} // namespace helvex1
