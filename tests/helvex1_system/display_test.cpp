// Display modes, resolution and the desktop panel, on a private Xvfb.
#include "daemons.h"
#include "helvex1.h"

#include <gtest/gtest.h>

// Xlib defines None, Bool and Status as macros: it comes after gtest.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/Xrandr.h>

#include "xdisplay.h"

#include <cstring>
#include <memory>

namespace {

class Display_ : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        server_ = std::make_unique<hxtest::XServer>();
        problem_ = server_->start("1024x768x24", 120);
    }
    static void TearDownTestSuite() { server_.reset(); }
    void SetUp() override
    {
        if (problem_ == "Xvfb is not installed")
            GTEST_SKIP() << problem_;
        ASSERT_TRUE(problem_.empty()) << problem_;
    }

    static inline std::unique_ptr<hxtest::XServer> server_;
    static inline std::string problem_;
};

TEST_F(Display_, CurrentModeWithDepthInBitsPerPixel)
{
    char buffer[128];
    ASSERT_EQ(GetDisplayResolution(1, buffer, sizeof buffer - 1), 0);
    // Xvfb's mode has no dot clock: its refresh rate is unknown, 0.
    EXPECT_STREQ(buffer, "1024,768,32,0;");
}

TEST_F(Display_, ShortBufferGetsTheCutTextWithoutZero)
{
    char buffer[16];
    std::memset(buffer, '#', sizeof buffer);
    EXPECT_EQ(GetDisplayResolution(1, buffer, 5), HX_BUFFER_TOO_SMALL);
    EXPECT_EQ(std::string(buffer, 6), "1024,#");
}

TEST_F(Display_, EveryModeEndsWithASemicolon)
{
    char buffer[8192];
    ASSERT_EQ(GetDisplayResolution(0, buffer, sizeof buffer - 1), 0);
    EXPECT_STREQ(buffer, "1024,768,32,0;"); // Xvfb offers its one mode
}

TEST_F(Display_, ResolutionInDotsPerInch)
{
    EXPECT_EQ(GetDPI(0), 120);
}

TEST_F(Display_, SettingAModeTheDisplayLacksChangesNothing)
{
    EXPECT_EQ(SetDisplayResolution(800, 600, 32, 60), HX_DISP_CHANGE_BADMODE);
    EXPECT_EQ(SetDisplayResolution(1024, 768, 16, 0), HX_DISP_CHANGE_BADMODE);
    char buffer[128];
    ASSERT_EQ(GetDisplayResolution(1, buffer, sizeof buffer - 1), 0);
    EXPECT_STREQ(buffer, "1024,768,32,0;");
}

TEST_F(Display_, SettingTheCurrentModeSucceeds)
{
    EXPECT_EQ(SetDisplayResolution(1024, 768, 32, 0), HX_DISP_CHANGE_SUCCESSFUL);
}

// A panel as a desktop would map it: a dock window with its state.
class Panel {
public:
    Panel(bool above, bool reservesNoSpace)
        : d_(XOpenDisplay(nullptr))
    {
        if (!d_)
            return;
        w_ = XCreateSimpleWindow(d_, DefaultRootWindow(d_), 0, 0, 1024, 30, 0, 0, 0);
        const Atom type = XInternAtom(d_, "_NET_WM_WINDOW_TYPE", False);
        const Atom dock = XInternAtom(d_, "_NET_WM_WINDOW_TYPE_DOCK", False);
        XChangeProperty(d_, w_, type, XA_ATOM, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char *>(&dock), 1);
        if (above) {
            const Atom state = XInternAtom(d_, "_NET_WM_STATE", False);
            const Atom top = XInternAtom(d_, "_NET_WM_STATE_ABOVE", False);
            XChangeProperty(d_, w_, state, XA_ATOM, 32, PropModeReplace,
                            reinterpret_cast<const unsigned char *>(&top), 1);
        }
        const long strut[4] = {0, 0, reservesNoSpace ? 0 : 30, 0};
        XChangeProperty(d_, w_, XInternAtom(d_, "_NET_WM_STRUT", False), XA_CARDINAL, 32,
                        PropModeReplace, reinterpret_cast<const unsigned char *>(strut), 4);
        XMapWindow(d_, w_);
        XSync(d_, False);
    }
    ~Panel()
    {
        if (d_) {
            XDestroyWindow(d_, w_);
            XCloseDisplay(d_);
        }
    }
    bool ok() const { return d_ != nullptr; }
    void hide()
    {
        XUnmapWindow(d_, w_);
        XSync(d_, False);
    }

private:
    ::Display *d_;
    Window w_ = 0;
};

TEST_F(Display_, NoPanelAnswersZero)
{
    EXPECT_EQ(GetStatusbarInfo(0), 0);
    EXPECT_EQ(GetStatusbarInfo(1), 0);
}

TEST_F(Display_, VisiblePanelAndItsState)
{
    Panel panel(true, true);
    ASSERT_TRUE(panel.ok());
    EXPECT_EQ(GetStatusbarInfo(0), 1);
    EXPECT_EQ(GetStatusbarInfo(1), 3); // hides itself, always on top
    panel.hide();
    EXPECT_EQ(GetStatusbarInfo(0), 0);
}

TEST_F(Display_, PanelThatReservesItsEdge)
{
    Panel panel(false, false);
    ASSERT_TRUE(panel.ok());
    EXPECT_EQ(GetStatusbarInfo(0), 1);
    EXPECT_EQ(GetStatusbarInfo(5), 0);
}

// Another client changes the screen's size in millimetres, as a settings
// tool would: the answers follow.
TEST_F(Display_, ResolutionFollowsAScreenSizeChange)
{
    EXPECT_EQ(GetDPI(0), 120); // the library's connection is open now
    ::Display *other = XOpenDisplay(nullptr);
    ASSERT_TRUE(other);
    const int mmW = DisplayWidthMM(other, 0), mmH = DisplayHeightMM(other, 0);
    XRRSetScreenSize(other, DefaultRootWindow(other), 1024, 768, mmW, mmH * 2);
    XSync(other, False);
    EXPECT_EQ(GetDPI(0), 60);
    XRRSetScreenSize(other, DefaultRootWindow(other), 1024, 768, mmW, mmH);
    XCloseDisplay(other);
    EXPECT_EQ(GetDPI(0), 120);
}

void expectNoDisplayAnswers()
{
    char buffer[32] = "untouched";
    EXPECT_EQ(GetDisplayResolution(1, buffer, 31), HX_FAILURE);
    EXPECT_STREQ(buffer, "untouched");
    EXPECT_EQ(SetDisplayResolution(1024, 768, 32, 60), HX_DISP_NO_CURRENT_MODE);
    EXPECT_EQ(GetDPI(0), 0);
    EXPECT_EQ(GetStatusbarInfo(0), 0);
}

void expectXvfbAnswers()
{
    char buffer[64] = "";
    EXPECT_EQ(GetDisplayResolution(1, buffer, sizeof buffer - 1), 0);
    EXPECT_STREQ(buffer, "1024,768,32,0;");
    EXPECT_EQ(GetDPI(0), 120);
    EXPECT_EQ(SetDisplayResolution(1024, 768, 32, 0), HX_DISP_CHANGE_SUCCESSFUL);
    EXPECT_EQ(GetStatusbarInfo(0), 0);
}

TEST(DisplayAbsent, QueriesAnswerTheirFailureCodes)
{
    const char *old = std::getenv("DISPLAY");
    const std::string saved = old ? old : "";
    setenv("DISPLAY", ":9999", 1); // no server there
    expectNoDisplayAnswers();
    unsetenv("DISPLAY");
    expectNoDisplayAnswers();
    if (old)
        setenv("DISPLAY", saved.c_str(), 1);
}

// An X server started without -noreset resets whenever its last client
// leaves and drops the connections that arrive meanwhile.
class ResettingDisplay : public testing::Test {
protected:
    void SetUp() override
    {
        const std::string problem = server_.start("1024x768x24", 120, {.resets = true});
        if (problem == "Xvfb is not installed")
            GTEST_SKIP() << problem;
        ASSERT_TRUE(problem.empty()) << problem;
    }
    hxtest::XServer server_;
};

TEST_F(ResettingDisplay, EveryCallOfAThousandAnswers)
{
    int resolution = 0, dpi = 0, setting = 0, panel = 0;
    char buffer[64];
    for (int i = 0; i < 1000; ++i) {
        resolution += GetDisplayResolution(1, buffer, sizeof buffer - 1) != 0 ||
                      std::strcmp(buffer, "1024,768,32,0;") != 0;
        dpi += GetDPI(0) != 120;
        setting += SetDisplayResolution(1024, 768, 32, 0) != HX_DISP_CHANGE_SUCCESSFUL;
        panel += GetStatusbarInfo(0) != 0;
    }
    EXPECT_EQ(resolution, 0);
    EXPECT_EQ(dpi, 0);
    EXPECT_EQ(setting, 0);
    EXPECT_EQ(panel, 0);
}

// Each close empties the server, so each open meets a reset in progress.
TEST_F(ResettingDisplay, OpeningDuringAResetIsTriedAgain)
{
    int failed = 0;
    for (int i = 0; i < 20; ++i) {
        ::Display *d = helvex1::openDisplay();
        failed += !d;
        if (d)
            XCloseDisplay(d);
    }
    EXPECT_EQ(failed, 0);
}

TEST(DisplayRestart, CallsAnswerWhileTheServerIsGoneAndAfterItIsBack)
{
    hxtest::XServer server;
    const std::string problem = server.start("1024x768x24", 120, {.restartable = true});
    if (problem == "Xvfb is not installed")
        GTEST_SKIP() << problem;
    ASSERT_TRUE(problem.empty()) << problem;
    expectXvfbAnswers();
    // Xlib's default handling of a lost server would end this process here.
    server.stop();
    expectNoDisplayAnswers();
    ASSERT_EQ(server.restart(), "");
    expectXvfbAnswers();
    // Gone between two calls, back before the next one.
    ASSERT_EQ(server.restart(), "");
    expectXvfbAnswers();
}

} // namespace
