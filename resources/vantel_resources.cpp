#include "vantel_resources.h"

namespace vantel::resources {

QString imagePath(QStringView fileName)
{
    return QStringLiteral(":/images/").append(fileName);
}

QString helpPath(QStringView page)
{
    return QStringLiteral(":/help/").append(page);
}

} // namespace vantel::resources
