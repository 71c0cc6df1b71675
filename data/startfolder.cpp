#include "startfolder.h"

#include "datafiles.h"
#include "definition.h"
#include "globals.h"
#include "recordset.h"

#include <QDir>
#include <QFile>

namespace datafiles {

QString dataFolderAtStart(const QString &filesSetting)
{
    QString folder = filesSetting;
    if (folder.isEmpty() || folder == QLatin1String("GETDIR"))
        folder = QDir::currentPath() + QStringLiteral("/Files/");

    QFile admin(folder + gs_admin_filename);
    if (!admin.open(QIODevice::ReadOnly))
        return folder;
    RecordSet record(definition(QStringLiteral("d_admin")));
    if (importBytes(record, admin.readAll(), admin.fileName(), nullptr) < 1)
        return folder;
    const QString named = record.GetItemString(1, QStringLiteral("file_directory"));
    return named.isEmpty() ? folder : named;
}

} // namespace datafiles
