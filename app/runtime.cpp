#include "runtime.h"

#include "profile.h"

#include <QApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>

#include <algorithm>
#include <utility>
#include <cmath>
#include <vector>

namespace rt {

namespace {

MessageBoxResponder &responder()
{
    static MessageBoxResponder r;
    return r;
}

EnvironmentProvider &environmentProvider()
{
    static EnvironmentProvider p;
    return p;
}

std::vector<QMessageBox::StandardButton> buttonsOf(Buttons b)
{
    switch (b) {
    case Buttons::OK: return {QMessageBox::Ok};
    case Buttons::OKCancel: return {QMessageBox::Ok, QMessageBox::Cancel};
    case Buttons::YesNo: return {QMessageBox::Yes, QMessageBox::No};
    case Buttons::YesNoCancel: return {QMessageBox::Yes, QMessageBox::No, QMessageBox::Cancel};
    case Buttons::RetryCancel: return {QMessageBox::Retry, QMessageBox::Cancel};
    case Buttons::AbortRetryIgnore: return {QMessageBox::Abort, QMessageBox::Retry, QMessageBox::Ignore};
    case Buttons::OKSendByEmail: return {QMessageBox::Ok}; // and a button of its own
    }
    return {QMessageBox::Ok};
}

QMessageBox::Icon iconOf(Icon i)
{
    switch (i) {
    case Icon::None: return QMessageBox::NoIcon;
    case Icon::Information: return QMessageBox::Information;
    case Icon::StopSign: return QMessageBox::Critical;
    case Icon::Exclamation: return QMessageBox::Warning;
    case Icon::Question: return QMessageBox::Question;
    }
    return QMessageBox::Information;
}

// Texts may carry Windows line breaks in either order; the dialog wants
// plain line feeds.
QString displayText(QString text)
{
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(QLatin1String("\n\r"), QLatin1String("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
}

// A box whose buttons all say something (Yes, No): Escape and its title bar
// close it without an answer, instead of pressing the one that looks like
// a refusal.
class AnswerBox : public QMessageBox {
public:
    using QMessageBox::QMessageBox;
    bool closesWithoutAnswer = false;

protected:
    void keyPressEvent(QKeyEvent *event) override
    {
        if (closesWithoutAnswer && event->matches(QKeySequence::Cancel)) {
            reject();
            return;
        }
        QMessageBox::keyPressEvent(event);
    }
    void closeEvent(QCloseEvent *event) override
    {
        if (closesWithoutAnswer)
            QDialog::closeEvent(event); // rejects; no button counts as clicked
        else
            QMessageBox::closeEvent(event);
    }
};

} // namespace

int MessageBox(const QString &title, const QString &text, Icon icon, Buttons buttons, int defaultButton)
{
    return MessageBox(nullptr, title, text, icon, buttons, defaultButton);
}

int MessageBox(QWidget *owner, const QString &title, const QString &text, Icon icon, Buttons buttons,
               int defaultButton)
{
    const MessageBoxCall call{title, text, icon, buttons, defaultButton, owner};
    if (responder())
        return responder()(call);

    const auto list = buttonsOf(buttons);
    AnswerBox box(iconOf(icon), title, displayText(text), QMessageBox::NoButton,
                  owner ? owner : QApplication::activeWindow());
    std::vector<QPushButton *> pushed;
    for (auto b : list)
        pushed.push_back(box.addButton(b));
    const bool cancels = std::find(list.begin(), list.end(), QMessageBox::Cancel) != list.end();
    box.closesWithoutAnswer = list.size() > 1 && !cancels;
    if (buttons == Buttons::OKSendByEmail) {
        QPushButton *send = box.addButton(QStringLiteral("Send by e-mail"), QMessageBox::ActionRole);
        send->setObjectName(QStringLiteral("cb_send_by_email"));
        pushed.push_back(send);
        box.setEscapeButton(pushed.front());
    }
    if (defaultButton >= 1 && defaultButton <= static_cast<int>(pushed.size()))
        box.setDefaultButton(pushed[static_cast<size_t>(defaultButton - 1)]);
    box.exec();
    for (size_t i = 0; i < pushed.size(); ++i)
        if (box.clickedButton() == pushed[i])
            return static_cast<int>(i) + 1;
    if (box.closesWithoutAnswer)
        return 0;
    // Closed without a button (Escape): Cancel, or the only button; OK
    // where the other button is an action.
    return buttons == Buttons::OKSendByEmail ? 1 : static_cast<int>(list.size());
}

void setMessageBoxResponder(MessageBoxResponder r)
{
    responder() = std::move(r);
}

MessageObject &Message()
{
    static MessageObject m;
    return m;
}

int GetEnvironment(Environment &env)
{
    if (environmentProvider())
        return environmentProvider()(env);
    if (!qobject_cast<QGuiApplication *>(QCoreApplication::instance()))
        return -1;
    QScreen *screen = QGuiApplication::primaryScreen();
    if (!screen)
        return -1;
    const QRect g = screen->geometry();
    if (g.width() <= 0 || g.height() <= 0)
        return -1;
    env.ScreenWidth = g.width();
    env.ScreenHeight = g.height();
    return 1;
}

void setEnvironmentProvider(EnvironmentProvider provider)
{
    environmentProvider() = std::move(provider);
}

int SaveSetting(const QString &file, const QString &section, const QString &key, const QString &value)
{
    static bool told = false;
    QString error;
    const int rc = SetProfileString(file, section, key, value, &error);
    if (rc != 1 && !std::exchange(told, true))
        MessageBox(QStringLiteral("ini File"),
                   QStringLiteral("The settings could not be written to the ini file: %1.").arg(error)
                       + QStringLiteral("\r\n")
                       + QStringLiteral("The file is kept as it was. Vantel goes on, but the folders the file names "
                                        "may not be up to date at the next start."),
                   Icon::Exclamation);
    return rc;
}

void Post(QObject *context, std::function<void()> fn)
{
    QMetaObject::invokeMethod(context, std::move(fn), Qt::QueuedConnection);
}

int virtualKey(int qtKey)
{
    switch (qtKey) {
    case Qt::Key_Backspace: return KeyBack;
    case Qt::Key_Tab:
    case Qt::Key_Backtab: return KeyTab;
    case Qt::Key_Return:
    case Qt::Key_Enter: return KeyEnter;
    case Qt::Key_Escape: return KeyEscape;
    case Qt::Key_Space: return KeySpace;
    case Qt::Key_PageUp: return KeyPageUp;
    case Qt::Key_PageDown: return KeyPageDown;
    case Qt::Key_End: return KeyEnd;
    case Qt::Key_Home: return KeyHome;
    case Qt::Key_Left: return KeyLeftArrow;
    case Qt::Key_Up: return KeyUpArrow;
    case Qt::Key_Right: return KeyRightArrow;
    case Qt::Key_Down: return KeyDownArrow;
    case Qt::Key_Delete: return KeyDelete;
    default: break;
    }
    if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F24)
        return KeyF1 + (qtKey - Qt::Key_F1);
    if ((qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9) || (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z))
        return qtKey;
    return 0;
}

quint32 keyFlags(Qt::KeyboardModifiers modifiers)
{
    quint32 flags = 0;
    if (modifiers & Qt::ShiftModifier)
        flags |= 1;
    if (modifiers & Qt::ControlModifier)
        flags |= 2;
    return flags;
}

quint32 mouseFlags(Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers)
{
    quint32 flags = 0;
    if (buttons & Qt::LeftButton)
        flags |= 1;
    if (buttons & Qt::RightButton)
        flags |= 2;
    if (modifiers & Qt::ShiftModifier)
        flags |= 4;
    if (modifiers & Qt::ControlModifier)
        flags |= 8;
    if (buttons & Qt::MiddleButton)
        flags |= 16;
    return flags;
}

BusyPointer::BusyPointer()
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
}

BusyPointer::~BusyPointer()
{
    release();
}

void BusyPointer::release()
{
    if (!held_)
        return;
    held_ = false;
    QApplication::restoreOverrideCursor();
}

int PixelsToUnits(int pixels, Axis axis)
{
    return axis == Axis::X ? pixels * 4 : static_cast<int>(std::lround(pixels * 3.5));
}

int UnitsToPixels(int units, Axis axis)
{
    return axis == Axis::X ? static_cast<int>(std::lround(units / 4.0))
                           : static_cast<int>(std::lround(units / 3.5));
}

QString PicturePath(const QString &fileName)
{
    return QStringLiteral(":/images/") + fileName;
}

} // namespace rt
