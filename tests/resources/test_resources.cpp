// The pictures the windows load by name, their HiDPI companions, and the help pages.
#include "vantel_resources.h"

#include <QColor>
#include <QFile>
#include <QImage>
#include <QRegularExpression>
#include <QString>

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

using vantel::resources::helpPath;
using vantel::resources::imagePath;

// Every picture a window names, spelled as the windows spell it.
const char* const kImages[] = {
    "cancel.jpg", "cancel_focus.jpg", "cancel_dis.jpg",
    "export.jpg", "export_focus.jpg", "export_dis.jpg",
    "save.jpg", "save_focus.jpg", "save_dis.jpg",
    "new.jpg", "new_focus.jpg", "new_dis.jpg", "new_copy.jpg",
    "delete.jpg", "delete_focus.jpg", "delete_dis.jpg",
    "BROWSE.jpg", "button_default.jpg", "button_focus_default.jpg",
    "gradient_red.JPG", "gradient_light_red_title.BMP", "stop.gif",
    "f1.bmp", "f3.bmp", "l.gif", "left.gif", "vantel.jpg", "vantel.png",
};

// Button pictures with focus and disabled companions.
const char* const kButtons[] = {"cancel", "export", "save", "new", "delete"};

const char* const kHelpPages[] = {
    "index.htm", "admin.htm", "eventslist.htm", "eventsdetail.htm", "eventdates.htm",
};

QString twiceName(const QString& name)
{
    const qsizetype dot = name.lastIndexOf(u'.');
    return name.left(dot) + QStringLiteral("@2x") + name.mid(dot);
}

QString readHelp(const QString& page)
{
    QFile file(helpPath(page));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll());
}

bool closeTo(QRgb a, QRgb b, int tolerance)
{
    return std::abs(qRed(a) - qRed(b)) <= tolerance && std::abs(qGreen(a) - qGreen(b)) <= tolerance
        && std::abs(qBlue(a) - qBlue(b)) <= tolerance;
}

} // namespace

TEST(Images, EveryNamedPictureLoadsWithATwiceAsLargeCompanion)
{
    for (const char* name : kImages) {
        const QString path = imagePath(QString::fromLatin1(name));
        const QImage image(path);
        ASSERT_FALSE(image.isNull()) << qPrintable(path);
        const QImage twice(twiceName(path));
        ASSERT_FALSE(twice.isNull()) << qPrintable(twiceName(path));
        EXPECT_EQ(twice.size(), image.size() * 2) << name;
    }
}

TEST(Images, ButtonPicturesAreIconsOnTheButtonFace)
{
    for (const char* name : {"save.jpg", "new_copy.jpg", "BROWSE.jpg", "button_default.jpg",
                             "cancel_dis.jpg", "delete_focus@2x.jpg"}) {
        const QImage image(imagePath(QString::fromLatin1(name)));
        ASSERT_FALSE(image.isNull()) << name;
        const int side = QString::fromLatin1(name).contains(u'@') ? 48 : 24;
        EXPECT_EQ(image.size(), QSize(side, side)) << name;
        // A corner shows the bare face, which the button paints around the picture.
        EXPECT_TRUE(closeTo(image.pixel(side - 1, 0), vantel::resources::kButtonFace, 8)) << name;
    }
}

TEST(Images, FocusAndDisabledStatesLookDifferentFromNormal)
{
    for (const char* base : kButtons) {
        const QString b = QString::fromLatin1(base);
        const QImage normal(imagePath(b + QStringLiteral(".jpg")));
        const QImage focus(imagePath(b + QStringLiteral("_focus.jpg")));
        const QImage disabled(imagePath(b + QStringLiteral("_dis.jpg")));
        EXPECT_NE(normal, focus) << base;
        EXPECT_NE(normal, disabled) << base;
        // Disabled pictures are grey: no pixel keeps a noticeable tint.
        int tinted = 0;
        for (int y = 0; y < disabled.height(); ++y)
            for (int x = 0; x < disabled.width(); ++x) {
                const QColor c = disabled.pixelColor(x, y);
                tinted += std::abs(c.red() - c.blue()) > 24;
            }
        EXPECT_EQ(tinted, 0) << base;
    }
}

TEST(Images, StopSignStandsOnATransparentBackground)
{
    for (const char* name : {"stop.gif", "stop@2x.gif"}) {
        const QImage stop(imagePath(QString::fromLatin1(name)));
        ASSERT_TRUE(stop.hasAlphaChannel()) << name;
        EXPECT_EQ(qAlpha(stop.pixel(0, 0)), 0) << name;
        EXPECT_EQ(qAlpha(stop.pixel(stop.width() / 2, stop.height() / 2)), 255) << name;
    }
}

TEST(HelpPages, ExistWithEverythingFilledInAndLinksThatResolve)
{
    static const QRegularExpression placeholder(QStringLiteral("@[A-Za-z_]+@"));
    static const QRegularExpression link(QStringLiteral("href=\"([^\":#]+)\""));
    for (const char* name : kHelpPages) {
        const QString page = QString::fromLatin1(name);
        const QString html = readHelp(page);
        ASSERT_FALSE(html.isEmpty()) << name;
        EXPECT_FALSE(html.contains(placeholder)) << name;
        for (auto it = link.globalMatch(html); it.hasNext();) {
            const QString target = it.next().captured(1);
            EXPECT_TRUE(QFile::exists(helpPath(target))) << name << " links to " << qPrintable(target);
        }
    }
    EXPECT_TRUE(QFile::exists(helpPath(u"help.css")));
}

TEST(HelpPages, NameTheConfiguredMailboxAndSite)
{
    const QString index = readHelp(QStringLiteral("index.htm"));
    EXPECT_TRUE(index.contains(QStringLiteral("mailto:" VANTEL_TEST_MAILBOX)));
    EXPECT_TRUE(index.contains(QStringLiteral(VANTEL_TEST_SITE)));
    EXPECT_TRUE(index.contains(QStringLiteral("VantelEvents")));
}
