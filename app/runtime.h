// Services of the presentation layer that the windows rely on: message
// boxes, the process-wide Message object, the environment, file tests,
// posted events and the conversion between pixels and window units.
#pragma once

#include "readfile.h" // FileExists

#include <QObject>
#include <QString>

#include <any>
#include <functional>

class QWidget;

namespace rt {

// ---- Message boxes -------------------------------------------------------

enum class Icon { None, Information, StopSign, Exclamation, Question };
// OKSendByEmail: OK (1, also Escape) and "Send by e-mail" (2).
enum class Buttons { OK, OKCancel, YesNo, YesNoCancel, RetryCancel, AbortRetryIgnore, OKSendByEmail };

struct MessageBoxCall {
    QString title;
    QString text;
    Icon icon = Icon::Information;
    Buttons buttons = Buttons::OK;
    int defaultButton = 1;
    QWidget *owner = nullptr; // the window the box stands in front of; none: the active one
};

// Modal message box; answers the number of the button pressed, counted from
// 1 in the order of `buttons` (Yes 1, No 2, ...). Closed without a button
// (Escape, or its title bar): a box with a Cancel button answers Cancel, one
// with a single button that button, and any other (Yes and No) 0: no answer
// was given, and none of its buttons may be taken for one.
int MessageBox(const QString &title, const QString &text, Icon icon = Icon::Information,
               Buttons buttons = Buttons::OK, int defaultButton = 1);
// The same in front of `owner`, which comes forward with it.
int MessageBox(QWidget *owner, const QString &title, const QString &text, Icon icon = Icon::Information,
               Buttons buttons = Buttons::OK, int defaultButton = 1);

// Tests install a responder: every message box is then handed to it instead
// of being shown, and its answer is the button pressed. An empty function
// restores the real dialog.
using MessageBoxResponder = std::function<int(const MessageBoxCall &)>;
void setMessageBoxResponder(MessageBoxResponder responder);

// ---- Message object ------------------------------------------------------

// Carries values between windows; each parameter keeps its last value until
// it is overwritten.
struct MessageObject {
    double numberParm = 0.0;
    QString stringParm;
    std::any objectParm;
};
MessageObject &Message();

// ---- Environment ---------------------------------------------------------

struct Environment {
    int ScreenWidth = 0;
    int ScreenHeight = 0;
};

// Fills the screen size of the primary screen in pixels; 1 on success, -1
// when there is no screen to measure.
int GetEnvironment(Environment &env);
using EnvironmentProvider = std::function<int(Environment &)>;
void setEnvironmentProvider(EnvironmentProvider provider); // tests; empty = real screen

// ---- Settings file ---------------------------------------------------------

// SetProfileString for the program's own settings file: a file that cannot
// be written is said so once in a run (later failures only answer -1).
int SaveSetting(const QString &file, const QString &section, const QString &key, const QString &value);

// ---- Events --------------------------------------------------------------

// Runs `fn` after the current handler, in the event loop of `context`.
void Post(QObject *context, std::function<void()> fn);

// The hourglass over the program's windows while work that can take seconds
// runs on the window's thread (a save of a million date lines); the pointer
// as it was comes back when the holder goes or calls release().
class BusyPointer {
public:
    BusyPointer();
    ~BusyPointer();
    BusyPointer(const BusyPointer &) = delete;
    BusyPointer &operator=(const BusyPointer &) = delete;
    void release();

private:
    bool held_ = true;
};

// ---- Keys ----------------------------------------------------------------

// Key codes as the windows' key events receive them: Enter 13, Escape 27,
// Page Up 33, Page Down 34, End 35, Home 36, arrows 37 to 40, F1 112, F3 114.
enum VirtualKey : int {
    KeyBack = 8, KeyTab = 9, KeyEnter = 13, KeyEscape = 27, KeySpace = 32, KeyPageUp = 33, KeyPageDown = 34,
    KeyEnd = 35, KeyHome = 36, KeyLeftArrow = 37, KeyUpArrow = 38, KeyRightArrow = 39, KeyDownArrow = 40,
    KeyDelete = 46, KeyF1 = 112, KeyF2 = 113, KeyF3 = 114
};
// The key code of a Qt key (letters and digits as their upper-case
// character code), 0 for keys without one.
int virtualKey(int qtKey);
// Modifier flags of a key event: 1 Shift, 2 Control.
quint32 keyFlags(Qt::KeyboardModifiers modifiers);

// Mouse flags as a window's mouse events receive them: 1 left button,
// 2 right button, 4 Shift, 8 Control, 16 middle button.
quint32 mouseFlags(Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers);

// A window whose key event other controls forward keys to.
class KeyTarget {
public:
    virtual ~KeyTarget() = default;
    virtual long key(int key, quint32 keyflags) = 0;
};

// ---- Units ---------------------------------------------------------------

enum class Axis { X, Y };
// Window units: 4 per pixel across, 3.5 per pixel down.
int PixelsToUnits(int pixels, Axis axis);
int UnitsToPixels(int units, Axis axis);

// Pictures shipped with the program, by their file name ("save.jpg").
QString PicturePath(const QString &fileName);

} // namespace rt
