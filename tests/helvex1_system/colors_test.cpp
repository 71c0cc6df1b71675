// Colour dialogs with their own custom colours, and the screen-element
// colours of the program's palette.
#include "dialogs.h"
#include "helvex1.h"

#include <QApplication>
#include <QColorDialog>
#include <QPushButton>

#include <gtest/gtest.h>

namespace {

constexpr uint32_t kTeal = 0x00807000;   // 0x00BBGGRR: red 0x00, green 0x70, blue 0x80
constexpr uint32_t kOrange = 0x000080FF; // red 0xFF, green 0x80, blue 0x00

// Picks `color` in the open dialog, adds it to the custom colours as the
// user would, and confirms.
void addCustomAndAccept(QWidget *w, const QColor &color)
{
    auto *dialog = qobject_cast<QColorDialog *>(w);
    ASSERT_NE(dialog, nullptr);
    dialog->setCurrentColor(color);
    for (QPushButton *b : dialog->findChildren<QPushButton *>())
        if (b->text().contains(QStringLiteral("Custom")))
            b->click();
    dialog->accept();
}

// Records the first custom colour while the dialog is open, then cancels.
void recordFirstCustomAndCancel(QWidget *w, QColor *seen)
{
    *seen = QColorDialog::customColor(0);
    static_cast<QDialog *>(w)->reject();
}

TEST(ColorDialogs, ConfirmAnswersTheChosenColourAndCancelTheExportsCode)
{
    hxtest::whenDialogOpens([](QWidget *w) {
        EXPECT_EQ(static_cast<QColorDialog *>(w)->currentColor(), QColor(0xFF, 0x80, 0x00));
        static_cast<QDialog *>(w)->accept();
    });
    EXPECT_EQ(MyChooseColor(0, 0, kOrange), static_cast<int32_t>(kOrange));
    hxtest::whenDialogOpens([](QWidget *w) { static_cast<QDialog *>(w)->reject(); });
    EXPECT_EQ(MyChooseColor(0, 0, kOrange), HX_FAILURE);
    hxtest::whenDialogOpens([](QWidget *w) { static_cast<QDialog *>(w)->reject(); });
    EXPECT_EQ(DisplayColorDialog(0, kOrange), -1);
}

TEST(ColorDialogs, CustomColoursAreKeptPerExport)
{
    const QColor programsOwn = QColorDialog::customColor(0);
    const QColor teal(0x00, 0x70, 0x80);
    hxtest::whenDialogOpens([teal](QWidget *w) { addCustomAndAccept(w, teal); });
    EXPECT_EQ(MyChooseColor(0, 0, 0), static_cast<int32_t>(kTeal));

    QColor seen;
    hxtest::whenDialogOpens([&seen](QWidget *w) { recordFirstCustomAndCancel(w, &seen); });
    MyChooseColor(0, 0, 0);
    EXPECT_EQ(seen, teal); // offered again by the same export

    hxtest::whenDialogOpens([&seen](QWidget *w) { recordFirstCustomAndCancel(w, &seen); });
    DisplayColorDialog(0, 0);
    EXPECT_EQ(seen, QColor(0, 0, 0)); // the other export has its own table

    EXPECT_EQ(QColorDialog::customColor(0), programsOwn); // Qt's table is the program's again
}

TEST(ColorDialogs, OwnedByTheCallersWindow)
{
    QWidget owner;
    owner.show();
    QWidget *parent = nullptr;
    hxtest::whenDialogOpens([&parent](QWidget *w) {
        parent = w->parentWidget();
        static_cast<QDialog *>(w)->reject();
    });
    DisplayColorDialog(static_cast<HX_WINDOW>(owner.winId()), 0);
    EXPECT_EQ(parent, &owner);
}

TEST(ElementColors, SetAndReadBackThroughThePalette)
{
    const QPalette saved = QApplication::palette();
    ASSERT_EQ(SetElementColor(5, kOrange), 1); // COLOR_WINDOW
    EXPECT_EQ(GetElementColor(5), static_cast<int32_t>(kOrange));
    EXPECT_EQ(QApplication::palette().color(QPalette::Active, QPalette::Base), QColor(0xFF, 0x80, 0x00));
    ASSERT_EQ(SetElementColor(13, kTeal), 1); // COLOR_HIGHLIGHT
    EXPECT_EQ(GetElementColor(13), static_cast<int32_t>(kTeal));
    EXPECT_EQ(GetElementColor(5), static_cast<int32_t>(kOrange));
    QApplication::setPalette(saved);
}

TEST(ElementColors, ElementsWithoutCounterpart)
{
    EXPECT_EQ(SetElementColor(25, kTeal), 0);
    EXPECT_EQ(SetElementColor(-1, kTeal), 0);
    EXPECT_EQ(GetElementColor(99), 0);
}

} // namespace
