// GetElementColor, SetElementColor: the Windows screen-element colours,
// mapped onto the Qt palette of the calling program.
#include "helvex1.h"
#include "colorref.h"

#include <QApplication>
#include <QPalette>

#include <optional>

namespace {

enum class Groups { All, Active, Inactive, Disabled };

struct ElementRole {
    int element; // Windows COLOR_* number
    QPalette::ColorRole role;
    Groups groups;
};

// The one table of the mapping.  Elements with the same role share a colour.
constexpr ElementRole kElements[] = {
    {0, QPalette::Mid, Groups::All},                   // COLOR_SCROLLBAR
    {1, QPalette::Dark, Groups::All},                  // COLOR_BACKGROUND (desktop)
    {2, QPalette::Highlight, Groups::Active},          // COLOR_ACTIVECAPTION
    {3, QPalette::Highlight, Groups::Inactive},        // COLOR_INACTIVECAPTION
    {4, QPalette::Window, Groups::All},                // COLOR_MENU
    {5, QPalette::Base, Groups::All},                  // COLOR_WINDOW
    {6, QPalette::Shadow, Groups::All},                // COLOR_WINDOWFRAME
    {7, QPalette::WindowText, Groups::All},            // COLOR_MENUTEXT
    {8, QPalette::Text, Groups::All},                  // COLOR_WINDOWTEXT
    {9, QPalette::HighlightedText, Groups::Active},    // COLOR_CAPTIONTEXT
    {10, QPalette::Button, Groups::Active},            // COLOR_ACTIVEBORDER
    {11, QPalette::Button, Groups::Inactive},          // COLOR_INACTIVEBORDER
    {12, QPalette::Dark, Groups::All},                 // COLOR_APPWORKSPACE
    {13, QPalette::Highlight, Groups::All},            // COLOR_HIGHLIGHT
    {14, QPalette::HighlightedText, Groups::All},      // COLOR_HIGHLIGHTTEXT
    {15, QPalette::Button, Groups::All},               // COLOR_BTNFACE
    {16, QPalette::Dark, Groups::All},                 // COLOR_BTNSHADOW
    {17, QPalette::Text, Groups::Disabled},            // COLOR_GRAYTEXT
    {18, QPalette::ButtonText, Groups::All},           // COLOR_BTNTEXT
    {19, QPalette::HighlightedText, Groups::Inactive}, // COLOR_INACTIVECAPTIONTEXT
    {20, QPalette::Light, Groups::All},                // COLOR_BTNHIGHLIGHT
    {21, QPalette::Shadow, Groups::All},               // COLOR_3DDKSHADOW
    {22, QPalette::Midlight, Groups::All},             // COLOR_3DLIGHT
    {23, QPalette::ToolTipText, Groups::All},          // COLOR_INFOTEXT
    {24, QPalette::ToolTipBase, Groups::All},          // COLOR_INFOBK
    {26, QPalette::Link, Groups::All},                 // COLOR_HOTLIGHT
    {27, QPalette::Highlight, Groups::Active},         // COLOR_GRADIENTACTIVECAPTION
    {28, QPalette::Highlight, Groups::Inactive},       // COLOR_GRADIENTINACTIVECAPTION
    {29, QPalette::Highlight, Groups::All},            // COLOR_MENUHILIGHT
    {30, QPalette::Window, Groups::All},               // COLOR_MENUBAR
};

std::optional<ElementRole> lookup(int32_t element)
{
    for (const ElementRole &e : kElements)
        if (e.element == element)
            return e;
    return std::nullopt;
}

// The group a colour is read from.
QPalette::ColorGroup readGroup(Groups g)
{
    switch (g) {
    case Groups::Inactive:
        return QPalette::Inactive;
    case Groups::Disabled:
        return QPalette::Disabled;
    default:
        return QPalette::Active;
    }
}

} // namespace

namespace helvex1 {

QColor fromColorRef(uint32_t value)
{
    return QColor(value & 0xFF, (value >> 8) & 0xFF, (value >> 16) & 0xFF);
}

uint32_t colorRef(const QColor &c)
{
    return static_cast<uint32_t>(c.red()) | static_cast<uint32_t>(c.green()) << 8 |
           static_cast<uint32_t>(c.blue()) << 16;
}

} // namespace helvex1

namespace {

// The calling program's own widget application; none is made for a colour
// query, which is about the program's palette.
bool haveApplication()
{
    return qobject_cast<QApplication *>(QCoreApplication::instance()) != nullptr;
}

} // namespace

extern "C" HELVEX1_API int32_t GetElementColor(int32_t element)
{
    const auto e = lookup(element);
    if (!e || !haveApplication())
        return 0;
    return static_cast<int32_t>(helvex1::colorRef(QApplication::palette().color(readGroup(e->groups), e->role)));
}

extern "C" HELVEX1_API HX_BOOL SetElementColor(int32_t element, uint32_t color)
{
    const auto e = lookup(element);
    if (!e || !haveApplication())
        return 0;
    QPalette palette = QApplication::palette();
    const QColor c = helvex1::fromColorRef(color);
    // "All" leaves the disabled look alone, as the system colours do.
    if (e->groups == Groups::All) {
        palette.setColor(QPalette::Active, e->role, c);
        palette.setColor(QPalette::Inactive, e->role, c);
    } else {
        palette.setColor(readGroup(e->groups), e->role, c);
    }
    QApplication::setPalette(palette);
    return 1;
}
