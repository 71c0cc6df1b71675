#include "vo_base_st_transparent.h"

vo_base_st_transparent::vo_base_st_transparent(QWidget *parent) : QLabel(parent)
{
    init();
}

vo_base_st_transparent::vo_base_st_transparent(const QString &text, QWidget *parent) : QLabel(text, parent)
{
    init();
}

void vo_base_st_transparent::init()
{
    QFont f = font();
    f.setFamilies({QStringLiteral("Arial"), QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")});
    setFont(f);
    // Transparent background: nothing is filled, the parent shows through.
    setAutoFillBackground(false);
}
