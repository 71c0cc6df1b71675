#include "zipreader.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

namespace {

const char *const readerScript = R"(
import base64, json, sys, zipfile
with zipfile.ZipFile(sys.argv[1]) as z:
    if z.testzip() is not None:
        sys.exit(2)
    print(json.dumps([[i.filename, base64.b64encode(z.read(i)).decode(), i.compress_type] for i in z.infolist()]))
)";

} // namespace

QStringList ZipContents::names() const
{
    QStringList out;
    for (const ZipEntry &e : entries)
        out << e.name;
    return out;
}

ZipContents readZip(const QString &path)
{
    ZipContents out;
    QProcess p;
    p.start(QStringLiteral("python3"), {QStringLiteral("-c"), QString::fromUtf8(readerScript), path});
    if (!p.waitForFinished(30000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        return out;
    const QJsonArray list = QJsonDocument::fromJson(p.readAllStandardOutput()).array();
    for (const QJsonValue &v : list) {
        const QJsonArray e = v.toArray();
        out.entries.append({e[0].toString(), QByteArray::fromBase64(e[1].toString().toLatin1()), e[2].toInt()});
    }
    out.ok = true;
    return out;
}

bool unzipAccepts(const QString &path)
{
    QProcess p;
    p.start(QStringLiteral("unzip"), {QStringLiteral("-tqq"), path});
    return p.waitForFinished(30000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

QByteArray readBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeBytes(const QString &path, const QByteArray &data)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
    f.write(data);
}

void RegistryTest::SetUp()
{
    ASSERT_TRUE(xdg_.isValid());
    ASSERT_TRUE(work_.isValid());
    hadPrevious_ = qEnvironmentVariableIsSet("XDG_DATA_HOME");
    previous_ = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", xdg_.path().toLocal8Bit());
}

void RegistryTest::TearDown()
{
    if (hadPrevious_)
        qputenv("XDG_DATA_HOME", previous_);
    else
        qunsetenv("XDG_DATA_HOME");
}

QString RegistryTest::componentPath() const
{
    return QFileInfo(QCoreApplication::applicationDirPath() + QStringLiteral("/libxzip.so")).canonicalFilePath();
}
