// Lines of the three data files as the program writes them, for suites
// that prepare data folders. No widgets.
#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QStringList>

#include <ostream>

QT_BEGIN_NAMESPACE
inline void PrintTo(const QString &s, std::ostream *os) { *os << '"' << s.toStdString() << '"'; }
inline void PrintTo(const QByteArray &s, std::ostream *os) { *os << '"' << s.toStdString() << '"'; }
QT_END_NAMESPACE

namespace testing_support {

// A line of the admin file: user_id, user_password, file_directory,
// default_country, default_state, default_city, current_column.
inline QByteArray adminLine(const QString &login, const QString &folder, const QString &password = "pw",
                            const QString &city = "Bonn", const QString &state = "NRW")
{
    return QStringList{login, password, folder, "DE", state, city, ""}.join('\t').toUtf8() + "\r\n";
}

// A line of the events file: the 27 columns of d_events in order.
inline QByteArray eventLine(const QString &id, const QString &name, const QString &sdescription = "short",
                            const QString &country = "DE", const QString &city = "Bonn",
                            const QString &category = "70", const QString &cost = "Free")
{
    const QStringList f = {id, "ann", "pw", country, city, "NRW", name, sdescription, "", "", "", "0000", "0000",
                           "0000", "0000", "0000", "0000", category, cost, "", "", "", "", "", "", "", ""};
    return f.join('\t').toUtf8() + "\r\n";
}

// A line of the event dates file: the 13 columns of d_event_dates in order.
inline QByteArray dateLine(const QString &eventId, const QString &timeId, const QString &city,
                           const QString &start = "2025-06-01", const QString &end = "2025-06-02",
                           const QString &time1 = "1900")
{
    const QStringList f = {eventId, timeId, city, "NRW", start, end, time1, "0000", "0000", "0000", "0000", "0000", ""};
    return f.join('\t').toUtf8() + "\r\n";
}

inline QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace testing_support
