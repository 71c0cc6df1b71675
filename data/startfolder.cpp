#include "startfolder.h"

#include "datafiles.h"
#include "definition.h"
#include "globals.h"
#include "readfile.h"
#include "recordset.h"

#include <QDir>

namespace datafiles {

QString dataFolderAtStart(const QString &filesSetting)
{
    QString folder = filesSetting;
    if (folder.isEmpty() || folder == QLatin1String("GETDIR"))
        folder = QDir::currentPath() + QStringLiteral("/Files/");

    // Read as the data is read: a pipe or a device in the file's place is
    // refused at once instead of waiting for a writer (the load that
    // follows says what is there).
    const QString path = folder + gs_admin_filename;
    QByteArray bytes;
    if (rt::ReadWholeFile(path, -1, bytes) != rt::ReadStatus::Read)
        return folder;
    RecordSet record(definition(QStringLiteral("d_admin")));
    if (importBytes(record, bytes, path, nullptr) < 1)
        return folder;
    const QString named = record.GetItemString(1, QStringLiteral("file_directory"));
    return named.isEmpty() ? folder : named;
}

} // namespace datafiles
