// Message boxes, the Message object, posted events and window units.
#include "runtime.h"
#include "messageboxes.h"
#include "testsupport.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

using namespace testing_support;

namespace {

TEST(MessageBoxes, TheResponderSeesTitleAndTextAndAnswers)
{
    MessageBoxRecorder boxes;
    boxes.queueAnswer(2);
    EXPECT_EQ(rt::MessageBox("Unsaved", "Save?", rt::Icon::Question, rt::Buttons::YesNo), 2);
    EXPECT_EQ(rt::MessageBox("Info", "Done"), 1);
    ASSERT_EQ(boxes.calls().size(), 2u);
    EXPECT_EQ(boxes.calls()[0].title, QStringLiteral("Unsaved"));
    EXPECT_EQ(boxes.calls()[0].text, QStringLiteral("Save?"));
    EXPECT_EQ(boxes.calls()[0].buttons, rt::Buttons::YesNo);
}

// Presses the button with `text` on the message box that is showing.
void pressLater(const QString &text, QString *seenText)
{
    QTimer::singleShot(0, [text, seenText] {
        for (QWidget *w : QApplication::topLevelWidgets()) {
            auto *box = qobject_cast<QMessageBox *>(w);
            if (!box || !box->isVisible())
                continue;
            *seenText = box->text();
            for (QAbstractButton *b : box->buttons())
                if (b->text().remove(QLatin1Char('&')) == text)
                    b->click();
        }
    });
}

TEST(MessageBoxes, TheRealDialogAnswersTheButtonNumber)
{
    QString seen;
    pressLater(QStringLiteral("No"), &seen);
    EXPECT_EQ(rt::MessageBox("Question", "line one\n\rline two", rt::Icon::Question, rt::Buttons::YesNoCancel), 2);
    EXPECT_EQ(seen, QStringLiteral("line one\nline two"));

    pressLater(QStringLiteral("Cancel"), &seen);
    EXPECT_EQ(rt::MessageBox("Question", "again", rt::Icon::Question, rt::Buttons::YesNoCancel), 3);
}

TEST(MessageObject, EachParameterKeepsItsLastValue)
{
    rt::Message().stringParm = QStringLiteral("01/02/2004");
    rt::Message().numberParm = 1;
    rt::Message().objectParm = 42;
    rt::Message().numberParm = 2;
    EXPECT_EQ(rt::Message().stringParm, QStringLiteral("01/02/2004"));
    EXPECT_EQ(std::any_cast<int>(rt::Message().objectParm), 42);
    EXPECT_EQ(rt::Message().numberParm, 2.0);
}

TEST(PostedEvents, RunAfterTheCurrentHandler)
{
    QObject context;
    QStringList order;
    rt::Post(&context, [&] { order << QStringLiteral("posted"); });
    order << QStringLiteral("handler");
    QCoreApplication::processEvents();
    EXPECT_EQ(order, (QStringList{QStringLiteral("handler"), QStringLiteral("posted")}));
}

TEST(Units, ConvertBothWays)
{
    EXPECT_EQ(rt::PixelsToUnits(100, rt::Axis::X), 400);
    EXPECT_EQ(rt::PixelsToUnits(100, rt::Axis::Y), 350);
    for (int px : {0, 1, 7, 640, 1920})
        for (auto axis : {rt::Axis::X, rt::Axis::Y})
            EXPECT_EQ(rt::UnitsToPixels(rt::PixelsToUnits(px, axis), axis), px);
}

TEST(Environment, MeasuresThePrimaryScreen)
{
    rt::Environment env;
    ASSERT_EQ(rt::GetEnvironment(env), 1);
    EXPECT_GT(env.ScreenWidth, 0);
    EXPECT_GT(env.ScreenHeight, 0);
}

TEST(Files, ExistenceOfFilesAndFolders)
{
    WorkingFolder folder;
    folder.write("a.txt", "x");
    EXPECT_TRUE(rt::FileExists(folder.file("a.txt")));
    EXPECT_FALSE(rt::FileExists(folder.file("b.txt")));
    EXPECT_TRUE(rt::FileExists(folder.folder() + "."));
    EXPECT_FALSE(rt::FileExists(folder.folder() + "nope/."));
    EXPECT_FALSE(rt::FileExists(QString()));
}

} // namespace
