#include "icalsupport.h"

#include <QRegularExpression>
#include <QTimeZone>

#include <cstdio>
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

namespace interop::ical {

LibraryMessages::LibraryMessages()
{
    icalerror_set_errors_are_fatal(0);
    for (int e = ICAL_BADARG_ERROR; e <= ICAL_UNKNOWN_ERROR; ++e)
        icalerror_set_error_state(icalerrorenum(e), ICAL_ERROR_NONFATAL);
    std::fflush(stderr);
    caught_ = ::memfd_create("vantel-calendar-messages", MFD_CLOEXEC);
    saved_ = caught_ >= 0 ? ::fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 0) : -1;
    if (saved_ < 0 || ::dup2(caught_, STDERR_FILENO) < 0) { // nothing caught then, but nothing lost either
        if (saved_ >= 0)
            ::close(saved_);
        if (caught_ >= 0)
            ::close(caught_);
        saved_ = caught_ = -1;
    }
}

LibraryMessages::~LibraryMessages()
{
    if (saved_ < 0)
        return;
    std::fflush(stderr);
    ::dup2(saved_, STDERR_FILENO);
    ::close(saved_);
    ::close(caught_);
}

QStringList LibraryMessages::take()
{
    if (caught_ < 0)
        return {};
    std::fflush(stderr);
    const off_t size = ::lseek(caught_, 0, SEEK_END);
    if (size <= 0)
        return {};
    QByteArray text(qsizetype(size), Qt::Uninitialized);
    const ssize_t got = ::pread(caught_, text.data(), size_t(size), 0);
    text.truncate(got > 0 ? qsizetype(got) : 0);
    if (::ftruncate(caught_, 0) == 0)
        ::lseek(caught_, 0, SEEK_SET);
    // "function(), file.c:123: message" or "file.c:123: message"
    static const QRegularExpression place(QStringLiteral("^(\\S+\\(\\), )?\\S+:\\d+: "));
    QStringList out;
    for (const QByteArray &line : text.split('\n'))
        if (const QString m = QString::fromUtf8(line).remove(place).trimmed(); !m.isEmpty())
            out << m;
    return out;
}

QByteArray zoneName(const QByteArray &iana)
{
    return iana.isEmpty() ? QTimeZone::systemTimeZoneId() : iana;
}

icaltimezone *namedZone(const QByteArray &iana)
{
    static const QByteArray utcNames[] = {"UTC",     "GMT",       "UCT",       "Zulu",     "Universal",
                                          "Etc/UTC", "Etc/GMT",   "Etc/UCT",   "Etc/Zulu", "Etc/Universal",
                                          "GMT0",    "Etc/GMT0",  "Etc/GMT+0", "Etc/GMT-0", "Greenwich",
                                          "Etc/Greenwich"};
    QByteArray name = iana;
    for (const QByteArray &utc : utcNames)
        if (name == utc)
            name = "Etc/UTC";
    if (name.isEmpty())
        return nullptr;
    icaltimezone *zone = icaltimezone_get_builtin_timezone(name.constData());
    // The library answers its own UTC zone for a few names; it has no
    // component to write.
    if (!zone || zone == icaltimezone_get_utc_timezone() || !icaltimezone_get_component(zone))
        return nullptr;
    return zone;
}

QByteArray entryUid(const QString &eventId, const QString &timeId, int slot)
{
    return (eventId + QLatin1Char('-') + timeId + QLatin1Char('-') + QString::number(slot)).toUtf8() + "@vantel";
}

EntryKeys parseEntryUid(const QString &uid)
{
    static const QRegularExpression form(QStringLiteral("^([A-Za-z0-9]+)-([A-Za-z0-9]+)-([0-6])@vantel$"));
    const QRegularExpressionMatch m = form.match(uid);
    if (!m.hasMatch())
        return {};
    return {m.captured(1), m.captured(2), m.captured(3).toInt()};
}

QByteArray fieldProperty(const QString &column)
{
    return "X-VANTEL-" + column.toUpper().replace(QLatin1Char('_'), QLatin1Char('-')).toLatin1();
}

const QStringList &carriedColumns()
{
    static const QStringList columns = {
        QStringLiteral("country"),        QStringLiteral("city"),           QStringLiteral("state"),
        QStringLiteral("sdescription"),   QStringLiteral("edescription"),   QStringLiteral("category"),
        QStringLiteral("cost"),           QStringLiteral("website"),        QStringLiteral("tickets"),
        QStringLiteral("venue"),          QStringLiteral("venue_address"),  QStringLiteral("contact_person"),
        QStringLiteral("contact_tel"),    QStringLiteral("contact_email"),
        // Kept by older files of the event itself; empty in the program's own.
        QStringLiteral("start_date"),     QStringLiteral("end_date"),       QStringLiteral("time1"),
        QStringLiteral("time2"),          QStringLiteral("time3"),          QStringLiteral("time4"),
        QStringLiteral("time5"),          QStringLiteral("time6")};
    return columns;
}

} // namespace interop::ical
