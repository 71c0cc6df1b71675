#include "package.h"

#include "automation.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

#include <fcntl.h>
#include <sys/stat.h>
#include <stdio.h>
#include <string.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <optional>

namespace {

const QString zipComponent = QStringLiteral("XStandard.Zip");

// Results of the zip component's pack method.
enum PackCode { PackOk = 0, PackNoSource = 1, PackBadArchive = 2, PackWriteFailed = 3, PackCancelled = 4 };

QString inFolder(const QString &folder, const QString &name)
{
    return folder.isEmpty() || folder.endsWith(QLatin1Char('/')) ? folder + name : folder + QLatin1Char('/') + name;
}

// A new, empty archive beside the package, renamed over it by commit() and
// removed otherwise.
class NewArchive {
public:
    NewArchive(const QString &folder, const QString &zipName) : target_(inFolder(folder, zipName))
    {
        QTemporaryFile file(inFolder(folder, QLatin1Char('.') + zipName + QStringLiteral(".XXXXXX")));
        file.setAutoRemove(false);
        if (!file.open()) {
            error_ = file.errorString();
            return;
        }
        path_ = file.fileName();
        file.close();
        // The finished archive keeps the permissions of the one it replaces.
        const QFileInfo old(target_);
        QFile::setPermissions(path_, old.exists() ? old.permissions()
                                                  : QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup
                                                        | QFile::ReadOther);
    }
    ~NewArchive()
    {
        if (!path_.isEmpty())
            QFile::remove(path_);
    }
    NewArchive(const NewArchive &) = delete;
    NewArchive &operator=(const NewArchive &) = delete;

    bool ok() const { return !path_.isEmpty(); }
    QString path() const { return path_; }
    QString error() const { return error_; }
    // The mode the finished archive takes instead.
    void setMode(mode_t mode) { mode_ = mode; }

    bool commit()
    {
        if (mode_ && ::chmod(QFile::encodeName(path_).constData(), *mode_) != 0) {
            error_ = QString::fromLocal8Bit(strerror(errno));
            return false;
        }
        if (::rename(QFile::encodeName(path_).constData(), QFile::encodeName(target_).constData()) != 0) {
            error_ = QString::fromLocal8Bit(strerror(errno));
            return false;
        }
        path_.clear();
        const QString folder = QFileInfo(target_).absolutePath();
        if (const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY); fd >= 0) {
            ::fsync(fd);
            ::close(fd);
        }
        return true;
    }

private:
    QString target_;
    QString path_;
    QString error_;
    std::optional<mode_t> mode_;
};

// The data files hold the listing service's password: their package is for
// its owner alone (0600), and readable by no one a file in it is not.
mode_t ownerOnlyMode(const QString &directory, const QStringList &fileNames)
{
    mode_t mode = S_IRUSR | S_IWUSR;
    for (const QString &name : fileNames) {
        struct stat st;
        if (::stat(QFile::encodeName(inFolder(directory, name)).constData(), &st) == 0)
            mode &= st.st_mode;
    }
    return mode | S_IRUSR;
}

// Why packing answered `code`; empty for success.
QString packCodeText(int code)
{
    switch (code) {
    case PackOk: return QString();
    case PackNoSource: return QStringLiteral("the file is missing or cannot be read");
    case PackBadArchive: return QStringLiteral("the package is not a valid zip file");
    case PackWriteFailed: return QStringLiteral("the package could not be written");
    case PackCancelled: return QStringLiteral("packing was stopped");
    default: return QStringLiteral("the zip component answered %1").arg(code);
    }
}

// Calls pack(source, archive, 0, 9); answers the pack code, or -1 when the
// call itself failed (with `why` set).
int packOne(rt::OLEObject &zip, const QString &source, const QString &archive, QString &why)
{
    int rc = 0;
    const QVariant result = zip.invoke(QStringLiteral("pack"), {source, archive, 0, 9}, &rc);
    if (rc != 0 || !result.isValid()) {
        why = QStringLiteral("the zip component refused the call (%1)").arg(rc);
        return -1;
    }
    const int code = result.toInt();
    if (code != PackOk)
        why = packCodeText(code);
    return code;
}

PackageResult failure(PackageResult::Kind kind, const QString &detail, const QStringList &missing = {})
{
    return PackageResult{kind, missing, detail};
}

PackageResult cancelled()
{
    return failure(PackageResult::Cancelled, QStringLiteral("Packing was stopped; the package is as it was."));
}

// Where a run of `steps` pack calls stands, told to its PackProgress: the
// calls done and the share of the current one that the component reports.
class RunWatch {
public:
    RunWatch(const PackProgress &progress, int steps) : progress_(progress), steps_(std::max(1, steps)) {}

    // Before call `step` (0-based), or at the end with `steps`; false once
    // the run is to stop.
    bool at(int step, double within = 0.0)
    {
        step_ = step;
        return tell(within);
    }
    // Within the current call.
    bool tell(double within)
    {
        if (progress_ && !stopped_ && !progress_((step_ + std::clamp(within, 0.0, 1.0)) / steps_))
            stopped_ = true;
        return !stopped_;
    }

private:
    const PackProgress &progress_;
    const int steps_;
    int step_ = 0;
    bool stopped_ = false;
};

bool connect(rt::OLEObject &zip, PackageResult &result, RunWatch &watch, const PackProgress &progress)
{
    const int rc = zip.ConnectToNewObject(zipComponent);
    if (rc != 0) {
        result = failure(PackageResult::NoComponent,
                         QStringLiteral("The zip component %1 could not be created (%2).").arg(zipComponent).arg(rc));
        return false;
    }
    // A component that cannot be followed is still stopped between files.
    if (progress)
        zip.SetProgressWatcher([&watch](double done) { return watch.tell(done); });
    return true;
}

// Builds a new `zipName` in `folder`, `fill` adding the files to the path it
// is given, and puts it in place of the old one. `fill` answers false with a
// failure in `result`; the old package then stays as it was, and so it does
// when the run is stopped before the new one is put in place.
template <typename Fill>
PackageResult buildPackage(const QString &folder, const QString &zipName, PackageResult result, RunWatch &watch,
                           int steps, Fill fill, std::optional<mode_t> mode = {})
{
    NewArchive archive(folder, zipName);
    if (mode)
        archive.setMode(*mode);
    if (!archive.ok())
        return failure(PackageResult::PackFailed,
                       QStringLiteral("Cannot create a new %1 in %2: %3").arg(zipName, folder, archive.error()));
    if (!fill(archive.path(), result))
        return result;
    if (!watch.at(steps))
        return cancelled();
    if (!archive.commit())
        return failure(PackageResult::PackFailed,
                       QStringLiteral("Cannot replace %1 in %2: %3").arg(zipName, folder, archive.error()));
    return result;
}

// Adds each of `names` (in `folder`) to `archive` in turn. A name with
// nothing behind it is listed in `r.missing` when `mayBeMissing`, and fails
// the run otherwise. false, with the failure in `r`, when the run stops.
bool packAll(rt::OLEObject &zip, const QString &folder, const QStringList &names, const QString &archive,
             const QString &zipName, bool mayBeMissing, RunWatch &watch, PackageResult &r)
{
    for (int i = 0; i < int(names.size()); ++i) {
        const QString &name = names[i];
        if (!watch.at(i)) {
            r = cancelled();
            return false;
        }
        QString why;
        const int code = packOne(zip, inFolder(folder, name), archive, why);
        if (code == PackCancelled) {
            r = cancelled();
            return false;
        }
        if (code == PackNoSource && mayBeMissing) {
            r.missing << name;
            continue;
        }
        if (code != PackOk) {
            r = failure(PackageResult::PackFailed, QStringLiteral("Cannot add %1 to %2: %3").arg(name, zipName, why));
            return false;
        }
    }
    return true;
}

} // namespace

PackageResult pack_data_files(const QString &directory, const QStringList &fileNames, const QString &zipName,
                              const PackProgress &progress)
{
    PackageResult result{PackageResult::Ok, {}, {}};
    RunWatch watch(progress, int(fileNames.size()));
    if (!watch.at(0))
        return cancelled();
    rt::OLEObject zip;
    if (!connect(zip, result, watch, progress))
        return result;

    QStringList missing;
    for (const QString &name : fileNames)
        if (!QFileInfo(inFolder(directory, name)).isFile())
            missing << name;
    if (!missing.isEmpty())
        return failure(PackageResult::MissingFiles,
                       QStringLiteral("Missing in %1: %2").arg(directory, missing.join(QStringLiteral(", "))), missing);
    if (fileNames.isEmpty())
        return failure(PackageResult::PackFailed, QStringLiteral("There are no files to pack."));

    const int steps = int(fileNames.size());
    return buildPackage(
        directory, zipName, result, watch, steps,
        [&](const QString &archive, PackageResult &r) {
            return packAll(zip, directory, fileNames, archive, zipName, false, watch, r);
        },
        ownerOnlyMode(directory, fileNames));
}

PackageResult pack_deployment(const QString &deployFolder, const QString &zipName, const PackProgress &progress)
{
    static const QStringList patterns = {QStringLiteral("*.so"), QStringLiteral("vantel"), QStringLiteral("*.ini"),
                                         QStringLiteral("*.txt"), QStringLiteral("*.rcc")};
    PackageResult result{PackageResult::Ok, {}, {}};
    const int steps = int(patterns.size());
    RunWatch watch(progress, steps);
    if (!watch.at(0))
        return cancelled();
    rt::OLEObject zip;
    if (!connect(zip, result, watch, progress))
        return result;

    return buildPackage(deployFolder, zipName, result, watch, steps, [&](const QString &archive, PackageResult &r) {
        if (!packAll(zip, deployFolder, patterns, archive, zipName, true, watch, r))
            return false;
        if (r.missing.size() == patterns.size()) {
            r = failure(PackageResult::MissingFiles, QStringLiteral("No files to ship in %1.").arg(deployFolder),
                        r.missing);
            return false;
        }
        return true;
    });
}
