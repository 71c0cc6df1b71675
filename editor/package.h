// Packing files into the zip package that is mailed to the event-listing
// operator. No user interface: the window shows the messages.
#pragma once

#include <QString>
#include <QStringList>

struct PackageResult {
    enum Kind {
        Ok,           // the package is complete
        NoComponent,  // the zip component could not be created
        MissingFiles, // files to pack are missing (listed in `missing`); nothing was packed
        PackFailed    // packing or replacing the package failed (`detail` says why)
    } kind;
    QStringList missing;
    QString detail;
};

// Packs the files `fileNames` of `directory` (a folder, normally ending in
// "/") into `directory` + `zipName`, in the order given. The package is built
// as a new archive beside the old one and renamed over it only when every
// file went in, so afterwards it holds exactly these files, and after a
// failure the old package is as it was.
PackageResult pack_data_files(const QString &directory, const QStringList &fileNames, const QString &zipName);

// Packs the program's files for shipping: every "*.so", "vantel", "*.ini",
// "*.txt" and "*.rcc" file of `deployFolder` into `deployFolder` + `zipName`,
// built and replaced the same way. A name or pattern that matches no file is
// listed in `missing` of an Ok result; MissingFiles when none matches at all.
PackageResult pack_deployment(const QString &deployFolder, const QString &zipName);
