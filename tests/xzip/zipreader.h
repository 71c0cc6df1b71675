// Reading zip files with tools other than our own, and a fresh component
// registry for every test.
#pragma once

#include <gtest/gtest.h>

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>
#include <QTemporaryDir>

// Entries of a zip file as Python's zipfile reads them, in archive order,
// with each entry's compression method; `ok` is false when Python cannot read
// the file or finds a bad checksum.
struct ZipEntry {
    QString name;
    QByteArray data;
    int method = -1; // 0 stored, 8 deflated
};
struct ZipContents {
    bool ok = false;
    QList<ZipEntry> entries;
    QStringList names() const;
};
ZipContents readZip(const QString &path);

// Whether `unzip -t` finds the archive sound.
bool unzipAccepts(const QString &path);

QByteArray readBytes(const QString &path);
void writeBytes(const QString &path, const QByteArray &data);

// Every test gets its own empty XDG_DATA_HOME, so the component registry is
// its own; the previous value comes back afterwards.
class RegistryTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    QString registryFile() const { return xdg_.path() + QStringLiteral("/vantel/components.ini"); }
    QString registryText() const { return QString::fromUtf8(readBytes(registryFile())); }
    QString componentPath() const; // libxzip.so beside the test program
    QTemporaryDir xdg_;
    QTemporaryDir work_;

private:
    QByteArray previous_;
    bool hadPrevious_ = false;
};
