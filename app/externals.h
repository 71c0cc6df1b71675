// Functions of other libraries that every window may call. Each goes through
// a replaceable table so that tests can stand in for the system.
#pragma once

#include <QString>
#include <QtGlobal>

#include <functional>

namespace ext {

struct Table {
    // libhelvex1
    std::function<qint32(quint32 dwlocal_setting, QString &szbuffer, qint32 dwbufferlength)> GetIntSetting;
    std::function<qint32(QString &szbuffer, qint32 dwbufferlength)> GetInstallDirectory;
    std::function<qint32(const QString &szsource, qint16 iregister)> RegisterAX;
    // operating system
    std::function<void(qint32 al_milliseconds)> Sleep;
    std::function<quint32(quint32 textlen, QString &dirtext)> GetCurrentDirectoryA;
    std::function<bool(const QString &directoryname)> CreateDirectoryA;
};

Table &table();     // the table in force
void resetTable();  // back to the real functions

// The functions of libhelvex1 are the program's: a program that links the
// library installs them (useHelvex1 of the window runtime), and resetTable
// keeps them. Without them each answers -1024 (general failure).
void setLibraryFunctions(std::function<void(Table &)> install);

// A string passed by reference is filled with blanks to the buffer size by
// the caller; on return it holds what the function wrote, up to its
// terminating zero.
inline qint32 GetIntSetting(quint32 dwlocal_setting, QString &szbuffer, qint32 dwbufferlength)
{
    return table().GetIntSetting(dwlocal_setting, szbuffer, dwbufferlength);
}
inline qint32 GetInstallDirectory(QString &szbuffer, qint32 dwbufferlength)
{
    return table().GetInstallDirectory(szbuffer, dwbufferlength);
}
inline qint32 RegisterAX(const QString &szsource, qint16 iregister)
{
    return table().RegisterAX(szsource, iregister);
}
inline void Sleep(qint32 al_milliseconds)
{
    table().Sleep(al_milliseconds);
}
// 0 on failure, else the length of the path; a path that does not fit in
// `textlen` characters leaves `dirtext` untouched and answers the size needed.
inline quint32 GetCurrentDirectoryA(quint32 textlen, QString &dirtext)
{
    return table().GetCurrentDirectoryA(textlen, dirtext);
}
inline bool CreateDirectoryA(const QString &directoryname)
{
    return table().CreateDirectoryA(directoryname);
}

// The component library that packs zip files, as RegisterAX names it.
inline const QString zip_component_library = QStringLiteral("libxzip.so");

} // namespace ext
