// The shared X display connection of the display and panel exports.
#include "xdisplay.h"

#include <X11/extensions/Xrandr.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

#include <unistd.h>

namespace helvex1 {

namespace {

struct Connection {
    std::mutex mutex;
    std::atomic<Display *> display{nullptr};
    std::string name; // the DISPLAY it was opened for
    pid_t owner = 0;
    bool randr = false;
    // Per lease; touched by the handlers below in the lease's own thread.
    bool lost = false;
    int errors = 0;
    XErrorHandler previousError = nullptr;
    XIOErrorHandler previousIOError = nullptr;
};

// Never destroyed: an export may still be called while the process exits.
Connection &connection()
{
    static Connection *c = new Connection;
    return *c;
}

// Errors on other connections go to the handlers the program had set.
int onError(Display *d, XErrorEvent *e)
{
    Connection &c = connection();
    if (d == c.display.load()) {
        ++c.errors;
        return 0;
    }
    return c.previousError ? c.previousError(d, e) : 0;
}

// Xlib's own handler ends the process when the server goes away; for our
// connection that only means "no display" for this call.
int onIOError(Display *d)
{
    Connection &c = connection();
    if (d == c.display.load()) {
        c.lost = true;
        return 0;
    }
    return c.previousIOError ? c.previousIOError(d) : 0;
}

// Called after onIOError has returned; by default it would call exit().
void keepRunning(Display *, void *) {}

// Waits for the server to answer, so that every reply, error and event of
// the connection has arrived, and takes in screen size changes (also those
// of our own requests) that RandR announced.
void catchUp(Connection &c, Display *d)
{
    XSync(d, False);
    while (!c.lost && XPending(d) > 0) {
        XEvent event;
        XNextEvent(d, &event);
        if (c.randr)
            XRRUpdateConfiguration(&event);
    }
}

void connect(Connection &c, const std::string &name)
{
    Display *d = openDisplay();
    if (!d)
        return;
    XSetIOErrorExitHandler(d, keepRunning, nullptr);
    int event = 0, error = 0;
    c.randr = XRRQueryExtension(d, &event, &error);
    if (c.randr)
        for (int screen = 0; screen < ScreenCount(d); ++screen)
            XRRSelectInput(d, RootWindow(d, screen), RRScreenChangeNotifyMask);
    c.display = d;
    c.name = name;
    c.owner = getpid();
}

void disconnect(Connection &c)
{
    if (Display *d = c.display.load()) {
        XCloseDisplay(d); // with the server gone, only the memory is freed
        c.display = nullptr;
    }
}

} // namespace

Display *openDisplay()
{
    const char *name = std::getenv("DISPLAY");
    if (!name || !*name)
        return nullptr;
    constexpr int kPauseMs[] = {5, 10, 20, 30, 40};
    for (size_t attempt = 0;; ++attempt) {
        errno = 0;
        if (Display *d = XOpenDisplay(name))
            return d;
        // Nothing listens there: no server to wait for.
        if (errno == ENOENT || errno == ECONNREFUSED || attempt == std::size(kPauseMs))
            return nullptr;
        std::this_thread::sleep_for(std::chrono::milliseconds(kPauseMs[attempt]));
    }
}

DisplayLease::DisplayLease()
    : lock_(connection().mutex)
{
    Connection &c = connection();
    c.lost = false;
    c.errors = 0;
    c.previousError = XSetErrorHandler(onError);
    c.previousIOError = XSetIOErrorHandler(onIOError);

    const char *env = std::getenv("DISPLAY");
    const std::string name = env ? env : "";
    if (c.display.load() && c.owner != getpid())
        c.display = nullptr; // the parent's connection: neither use nor close it
    if (Display *d = c.display.load(); d && name == c.name)
        catchUp(c, d);
    if (c.display.load() && (c.lost || name != c.name))
        disconnect(c);
    c.lost = false;
    c.errors = 0;
    if (!c.display.load())
        connect(c, name);
    display_ = c.display.load();
}

DisplayLease::~DisplayLease()
{
    Connection &c = connection();
    if (display_ && !c.lost)
        catchUp(c, display_); // errors of this call arrive while we count them
    if (c.lost)
        disconnect(c);
    XSetErrorHandler(c.previousError);
    XSetIOErrorHandler(c.previousIOError);
}

int DisplayLease::errors() const
{
    return connection().errors;
}

bool DisplayLease::lost() const
{
    return connection().lost;
}

} // namespace helvex1
