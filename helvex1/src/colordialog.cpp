// MyChooseColor, DisplayColorDialog: the colour dialog, each export with its
// own table of 16 custom colours for the life of the process.
#include "colorref.h"
#include "dialogowner.h"
#include "helvex1.h"
#include "qtdialoghost.h"

#include <QColorDialog>

#include <array>

namespace {

using CustomColors = std::array<QColor, 16>;

// Qt keeps one process-wide table of custom colours; each export swaps its
// own table in for the time its dialog is open, then puts Qt's back.
class CustomColorSwap {
public:
    explicit CustomColorSwap(CustomColors &own) : own_(own)
    {
        for (int i = 0; i < QColorDialog::customCount(); ++i) {
            saved_[static_cast<size_t>(i)] = QColorDialog::customColor(i);
            QColorDialog::setCustomColor(i, own_[static_cast<size_t>(i)]);
        }
    }
    ~CustomColorSwap()
    {
        for (int i = 0; i < QColorDialog::customCount(); ++i) {
            own_[static_cast<size_t>(i)] = QColorDialog::customColor(i);
            QColorDialog::setCustomColor(i, saved_[static_cast<size_t>(i)]);
        }
    }
    CustomColorSwap(const CustomColorSwap &) = delete;
    CustomColorSwap &operator=(const CustomColorSwap &) = delete;

private:
    CustomColors &own_;
    CustomColors saved_;
};

CustomColors blackTable()
{
    CustomColors t;
    t.fill(QColor(0, 0, 0));
    return t;
}

// The chosen colour as 0x00BBGGRR, or `cancelled`.
int32_t chooseColor(CustomColors &table, HX_WINDOW owner, uint32_t initial, int32_t cancelled,
                    const char *objectName)
{
    if (!helvex1::dialogApplication())
        return cancelled;
    CustomColorSwap swap(table);
    QColorDialog dialog(helvex1::fromColorRef(initial));
    dialog.setObjectName(QString::fromLatin1(objectName));
    dialog.setOption(QColorDialog::DontUseNativeDialog, true);
    helvex1::DialogOwner link(dialog, owner);
    if (dialog.exec() != QDialog::Accepted)
        return cancelled;
    return static_cast<int32_t>(helvex1::colorRef(dialog.selectedColor()));
}

} // namespace

extern "C" HELVEX1_API int32_t MyChooseColor(HX_WINDOW owner, int32_t /*unused*/, uint32_t initial)
{
    static CustomColors table = blackTable();
    return chooseColor(table, owner, initial, HX_FAILURE, "helvex1_choose_color");
}

extern "C" HELVEX1_API int32_t DisplayColorDialog(HX_WINDOW owner, uint32_t initial)
{
    static CustomColors table = blackTable();
    return chooseColor(table, owner, initial, -1, "helvex1_color_dialog");
}
