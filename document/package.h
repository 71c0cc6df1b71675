// Packing files into the zip package that is mailed to the event-listing
// operator. No user interface: the window shows the messages.
#pragma once

#include <QString>
#include <QStringList>

#include <functional>

struct PackageResult {
    enum Kind {
        Ok,           // the package is complete
        NoComponent,  // the zip component could not be created
        MissingFiles, // files to pack are missing (listed in `missing`); nothing was packed
        PackFailed,   // packing or replacing the package failed (`detail` says why)
        Cancelled     // stopped on request; the old package is as it was
    } kind;
    QStringList missing;
    QString detail;
};

// Follows a packing run: told how much of it is done (0 to 1), on the thread
// that packs, between the files and while the zip component works on one;
// answers false to stop the run, which then ends with Cancelled.
using PackProgress = std::function<bool(double done)>;

// A packing run made ready to start, on any thread.
using PackageJob = std::function<PackageResult(const PackProgress &progress)>;

// Packs the files `fileNames` of `directory` (a folder, normally ending in
// "/") into `directory` + `zipName`, in the order given. The package is built
// as a new archive beside the old one and renamed over it only when every
// file went in, so afterwards it holds exactly these files, and after a
// failure the old package is as it was. `progress`, when given, follows the
// run and may stop it; a stopped run leaves the old package as it was too.
// The package is its owner's alone (0600), and no more open than any file
// in it.
PackageResult pack_data_files(const QString &directory, const QStringList &fileNames, const QString &zipName,
                              const PackProgress &progress = {});

// Packs the program's files for shipping: every "*.so", "vantel", "*.ini",
// "*.txt" and "*.rcc" file of `deployFolder` into `deployFolder` + `zipName`,
// built and replaced the same way. A name or pattern that matches no file is
// listed in `missing` of an Ok result; MissingFiles when none matches at all.
PackageResult pack_deployment(const QString &deployFolder, const QString &zipName,
                              const PackProgress &progress = {});
