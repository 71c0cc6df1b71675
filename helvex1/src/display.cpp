// GetDisplayResolution, SetDisplayResolution, GetDPI: display modes and
// resolution of the X display (RandR).
#include "helvex1.h"
#include "xdisplay.h"

#include <X11/Xlib.h>
#include <X11/extensions/Xrandr.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace {

constexpr size_t kMaxModeText = 8191; // room of the working text, without its zero

struct ResourcesFree {
    void operator()(XRRScreenResources *r) const { XRRFreeScreenResources(r); }
};
struct OutputFree {
    void operator()(XRROutputInfo *o) const { XRRFreeOutputInfo(o); }
};
struct CrtcFree {
    void operator()(XRRCrtcInfo *c) const { XRRFreeCrtcInfo(c); }
};
using Resources = std::unique_ptr<XRRScreenResources, ResourcesFree>;
using OutputInfo = std::unique_ptr<XRROutputInfo, OutputFree>;
using CrtcInfo = std::unique_ptr<XRRCrtcInfo, CrtcFree>;

struct Mode {
    unsigned width = 0;
    unsigned height = 0;
    int bitsPerPixel = 0;
    int refresh = 0;
};

bool hasRandr(Display *d)
{
    int event = 0, error = 0;
    return XRRQueryExtension(d, &event, &error);
}

// Bits per pixel of the screen's default depth (24-bit colour is stored in
// 32 bits per pixel).
int bitsPerPixel(Display *d)
{
    const int depth = DefaultDepth(d, DefaultScreen(d));
    int count = 0;
    XPixmapFormatValues *formats = XListPixmapFormats(d, &count);
    int bpp = depth;
    for (int i = 0; formats && i < count; ++i)
        if (formats[i].depth == depth)
            bpp = formats[i].bits_per_pixel;
    if (formats)
        XFree(formats);
    return bpp;
}

int refreshRate(const XRRModeInfo &m)
{
    if (m.dotClock == 0 || m.hTotal == 0 || m.vTotal == 0)
        return 0;
    double lines = m.vTotal;
    if (m.modeFlags & RR_DoubleScan)
        lines *= 2;
    if (m.modeFlags & RR_Interlace)
        lines /= 2;
    return static_cast<int>(std::lround(static_cast<double>(m.dotClock) / (m.hTotal * lines)));
}

const XRRModeInfo *findMode(const XRRScreenResources *res, RRMode id)
{
    for (int i = 0; i < res->nmode; ++i)
        if (res->modes[i].id == id)
            return &res->modes[i];
    return nullptr;
}

// The output that shows the screen: the primary one, else the first output
// that drives a CRTC.
struct ActiveOutput {
    RROutput id = 0;
    OutputInfo info;
    CrtcInfo crtc;
};

std::optional<ActiveOutput> activeOutput(Display *d, XRRScreenResources *res)
{
    const RROutput primary = XRRGetOutputPrimary(d, DefaultRootWindow(d));
    std::optional<ActiveOutput> found;
    for (int pass = 0; pass < 2 && !found; ++pass) {
        for (int i = 0; i < res->noutput && !found; ++i) {
            if (pass == 0 && res->outputs[i] != primary)
                continue;
            OutputInfo info(XRRGetOutputInfo(d, res, res->outputs[i]));
            if (!info || !info->crtc)
                continue;
            CrtcInfo crtc(XRRGetCrtcInfo(d, res, info->crtc));
            if (!crtc || !crtc->mode)
                continue;
            found = ActiveOutput{res->outputs[i], std::move(info), std::move(crtc)};
        }
    }
    return found;
}

int activeCrtcs(Display *d, XRRScreenResources *res)
{
    int n = 0;
    for (int i = 0; i < res->ncrtc; ++i) {
        CrtcInfo c(XRRGetCrtcInfo(d, res, res->crtcs[i]));
        if (c && c->mode)
            ++n;
    }
    return n;
}

std::string entry(const Mode &m)
{
    return std::to_string(m.width) + ',' + std::to_string(m.height) + ',' +
           std::to_string(m.bitsPerPixel) + ',' + std::to_string(m.refresh) + ';';
}

Mode modeOf(const XRRModeInfo &info, int bpp)
{
    return Mode{info.width, info.height, bpp, refreshRate(info)};
}

} // namespace

extern "C" HELVEX1_API int32_t GetDisplayResolution(int32_t selector, char *buffer, int32_t length)
{
    if (!buffer)
        return HX_FAILURE;
    helvex1::DisplayLease d;
    if (!d || !hasRandr(d.get()))
        return HX_FAILURE;
    Resources res(XRRGetScreenResourcesCurrent(d.get(), DefaultRootWindow(d.get())));
    if (!res)
        return HX_FAILURE;
    std::optional<ActiveOutput> out = activeOutput(d.get(), res.get());
    if (!out)
        return HX_FAILURE;
    const int bpp = bitsPerPixel(d.get());

    std::string text;
    if (selector == 1) {
        const XRRModeInfo *current = findMode(res.get(), out->crtc->mode);
        if (!current)
            return HX_FAILURE;
        text = entry(modeOf(*current, bpp));
    } else {
        for (int i = 0; i < out->info->nmode; ++i) {
            const XRRModeInfo *m = findMode(res.get(), out->info->modes[i]);
            if (!m)
                continue;
            const std::string e = entry(modeOf(*m, bpp));
            if (text.size() + e.size() > kMaxModeText)
                break; // only whole entries, within the working text
            text += e;
        }
    }

    const size_t room = length > 0 ? static_cast<size_t>(length) : 0;
    if (text.size() > room) {
        std::memcpy(buffer, text.data(), room);
        return HX_BUFFER_TOO_SMALL;
    }
    std::memcpy(buffer, text.c_str(), text.size() + 1);
    return HX_SUCCESS;
}

extern "C" HELVEX1_API int32_t SetDisplayResolution(int32_t width, int32_t height,
                                                    int32_t bitsPerPixel, int32_t refresh)
{
    helvex1::DisplayLease d;
    if (!d || !hasRandr(d.get()))
        return HX_DISP_NO_CURRENT_MODE;
    Display *dpy = d.get();
    const Window root = DefaultRootWindow(dpy);
    Resources res(XRRGetScreenResources(dpy, root));
    if (!res)
        return HX_DISP_NO_CURRENT_MODE;
    std::optional<ActiveOutput> out = activeOutput(dpy, res.get());
    if (!out || !findMode(res.get(), out->crtc->mode))
        return HX_DISP_NO_CURRENT_MODE;

    // The test: the output must offer the mode, in the display's own depth.
    if (bitsPerPixel != ::bitsPerPixel(dpy) || width <= 0 || height <= 0)
        return HX_DISP_CHANGE_BADMODE;
    const XRRModeInfo *chosen = nullptr;
    for (int i = 0; i < out->info->nmode && !chosen; ++i) {
        const XRRModeInfo *m = findMode(res.get(), out->info->modes[i]);
        if (m && m->width == static_cast<unsigned>(width) &&
            m->height == static_cast<unsigned>(height) &&
            (refresh == 0 || refreshRate(*m) == refresh))
            chosen = m;
    }
    if (!chosen)
        return HX_DISP_CHANGE_BADMODE;
    if (chosen->id == out->crtc->mode)
        return HX_DISP_CHANGE_SUCCESSFUL;

    // Grow the screen first when the new mode needs more room than it has;
    // shrink it afterwards when it needs less.
    const int screen = DefaultScreen(dpy);
    const int oldW = DisplayWidth(dpy, screen), oldH = DisplayHeight(dpy, screen);
    const int newW = out->crtc->x + width, newH = out->crtc->y + height;
    const bool rotated = out->crtc->rotation & (RR_Rotate_90 | RR_Rotate_270);
    const int errorsBefore = d.errors();
    XGrabServer(dpy);
    if (!rotated && (newW > oldW || newH > oldH)) {
        const double mmPerPx = DisplayWidthMM(dpy, screen) / static_cast<double>(oldW);
        const int w = std::max(newW, oldW), h = std::max(newH, oldH);
        XRRSetScreenSize(dpy, root, w, h, static_cast<int>(w * mmPerPx),
                         static_cast<int>(h * mmPerPx));
    }
    const Status s = XRRSetCrtcConfig(dpy, res.get(), out->info->crtc, CurrentTime, out->crtc->x,
                                      out->crtc->y, chosen->id, out->crtc->rotation,
                                      out->crtc->outputs, out->crtc->noutput);
    if (s == RRSetConfigSuccess && (newW < oldW || newH < oldH) && activeCrtcs(dpy, res.get()) == 1)
        XRRSetScreenSize(dpy, root, newW, newH,
                         static_cast<int>(newW * DisplayWidthMM(dpy, screen) / double(oldW)),
                         static_cast<int>(newH * DisplayHeightMM(dpy, screen) / double(oldH)));
    XUngrabServer(dpy);
    XSync(dpy, False);
    const bool ok = s == RRSetConfigSuccess && d.errors() == errorsBefore && !d.lost();
    return ok ? HX_DISP_CHANGE_SUCCESSFUL : HX_DISP_CHANGE_FAILED;
}

extern "C" HELVEX1_API int32_t GetDPI(int32_t /*unused*/)
{
    helvex1::DisplayLease d;
    if (!d)
        return 0;
    const int screen = DefaultScreen(d.get());
    const int mm = DisplayHeightMM(d.get(), screen);
    if (mm <= 0)
        return 0;
    return static_cast<int32_t>(std::lround(DisplayHeight(d.get(), screen) * 25.4 / mm));
}
