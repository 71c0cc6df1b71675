// GetStatusbarInfo: visibility and state of the desktop's panel, found as a
// dock window (_NET_WM_WINDOW_TYPE_DOCK) among the top-level windows.
#include "helvex1.h"
#include "xdisplay.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <vector>

namespace {

constexpr int32_t kAutoHide = 1;
constexpr int32_t kAlwaysOnTop = 2;

std::vector<unsigned long> property(Display *d, Window w, Atom name, Atom type)
{
    Atom actualType = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char *data = nullptr;
    std::vector<unsigned long> values;
    if (XGetWindowProperty(d, w, name, 0, 64, False, type, &actualType, &format, &count, &after,
                           &data) == Success &&
        data && format == 32) {
        const auto *items = reinterpret_cast<const unsigned long *>(data); // Xlib: longs
        values.assign(items, items + count);
    }
    if (data)
        XFree(data);
    return values;
}

bool hasValue(const std::vector<unsigned long> &values, Atom a)
{
    for (unsigned long v : values)
        if (v == a)
            return true;
    return false;
}

bool isDock(Display *d, Window w)
{
    const Atom type = XInternAtom(d, "_NET_WM_WINDOW_TYPE", False);
    const Atom dock = XInternAtom(d, "_NET_WM_WINDOW_TYPE_DOCK", False);
    return hasValue(property(d, w, type, XA_ATOM), dock);
}

// The first viewable dock: a top-level window, or the client inside a
// window manager's frame (one level down).
Window findDock(Display *d)
{
    Window root = DefaultRootWindow(d), parent = 0, *children = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(d, root, &root, &parent, &children, &count))
        return 0;
    Window found = 0;
    for (unsigned int i = 0; i < count && !found; ++i) {
        XWindowAttributes attrs{};
        if (!XGetWindowAttributes(d, children[i], &attrs) || attrs.map_state != IsViewable)
            continue;
        if (isDock(d, children[i])) {
            found = children[i];
            break;
        }
        Window r = 0, p = 0, *inner = nullptr;
        unsigned int n = 0;
        if (XQueryTree(d, children[i], &r, &p, &inner, &n)) {
            for (unsigned int j = 0; j < n && !found; ++j)
                if (isDock(d, inner[j]))
                    found = inner[j];
            if (inner)
                XFree(inner);
        }
    }
    if (children)
        XFree(children);
    return found;
}

int32_t stateOf(Display *d, Window dock)
{
    int32_t bits = 0;
    const Atom state = XInternAtom(d, "_NET_WM_STATE", False);
    const Atom above = XInternAtom(d, "_NET_WM_STATE_ABOVE", False);
    if (hasValue(property(d, dock, state, XA_ATOM), above))
        bits |= kAlwaysOnTop;
    // A panel that hides itself gives up its reserved edge: it keeps a strut
    // property, all zeros.  A panel without one says nothing either way.
    for (const char *name : {"_NET_WM_STRUT_PARTIAL", "_NET_WM_STRUT"}) {
        const auto strut = property(d, dock, XInternAtom(d, name, False), XA_CARDINAL);
        if (strut.size() < 4)
            continue;
        bool zero = true;
        for (size_t i = 0; i < 4; ++i)
            zero = zero && strut[i] == 0;
        if (zero)
            bits |= kAutoHide;
        break;
    }
    return bits;
}

} // namespace

extern "C" HELVEX1_API int32_t GetStatusbarInfo(int32_t selector)
{
    // A window that vanishes while we look at it raises BadWindow: the lease
    // counts such errors, and the window is then simply not the panel.
    helvex1::DisplayLease d;
    if (!d)
        return 0;
    const Window dock = findDock(d.get());
    return selector == 0 ? (dock ? 1 : 0) : (dock ? stateOf(d.get(), dock) : 0);
}
