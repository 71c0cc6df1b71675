// What the calendar writer and reader share of the calendar library:
// owners of its objects, its texts as Qt's, the time zones by name, and the
// form of the UIDs that Vantel gives its entries.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <libical/ical.h>

#include <memory>

namespace interop::ical {

struct ComponentFree {
    void operator()(icalcomponent *c) const { icalcomponent_free(c); }
};
using Component = std::unique_ptr<icalcomponent, ComponentFree>;

inline QString text(const char *s)
{
    return s ? QString::fromUtf8(s) : QString();
}

// What the library says while it reads. Its errors are made never fatal
// (no abort), and what it writes on the standard error in the meantime is
// caught rather than shown, to go into the report: a reader owns one for as
// long as it reads. Not for two threads at once.
class LibraryMessages {
public:
    LibraryMessages();
    ~LibraryMessages(); // the standard error as it was
    LibraryMessages(const LibraryMessages &) = delete;
    LibraryMessages &operator=(const LibraryMessages &) = delete;
    // The messages since the last call, one a line, without the library's
    // source places.
    QStringList take();

private:
    int saved_ = -1, caught_ = -1;
};

// The library's zone of an IANA name ("Europe/Berlin"); the names of UTC
// ("UTC", "GMT", "Etc/UTC", ...) give the zone Etc/UTC, which carries a
// time zone component like any other. Null when the library does not know
// the name, or has no component for it.
icaltimezone *namedZone(const QByteArray &iana);
// The system's zone name, or `iana` when it is not empty.
QByteArray zoneName(const QByteArray &iana);

// UIDs of Vantel's entries: event key, date line key and time slot (1 to 6,
// 0 for a line without a time), "EV...-TI...-2@vantel".
QByteArray entryUid(const QString &eventId, const QString &timeId, int slot);
struct EntryKeys {
    QString eventId, timeId;
    int slot = -1; // -1: not a UID of Vantel's
};
EntryKeys parseEntryUid(const QString &uid);

// The X- properties that carry the columns Vantel joins into DESCRIPTION,
// LOCATION and CONTACT, so that a file of Vantel's reads back exactly: the
// event's in its first entry, a date line's city and state in the line's
// first entry.
QByteArray fieldProperty(const QString &column); // "cost" -> "X-VANTEL-COST"
constexpr const char *kLineCity = "X-VANTEL-LINE-CITY";
constexpr const char *kLineState = "X-VANTEL-LINE-STATE";
// The columns that travel in X- properties, in the order written.
const QStringList &carriedColumns();

} // namespace interop::ical
