// The record of a save under way (".vantel-save"), shared by the save and
// the recovery of an interrupted one (see fileset.h).
//
// Its first line names the layout. Layout 2 names every file relative to
// the record's own folder, so that a record still serves when the data
// folder has been moved or copied with it: a line per file holds the file
// as the save was given it (a link stays a link), and the names of its new
// temporary file and of its old version, both beside the file the link
// leads to. Layout 1, written by earlier versions, held absolute paths; it
// is used only when it plainly names this folder's files.
#pragma once

#include <QByteArray>
#include <QString>

#include <vector>

namespace fileset {

inline constexpr char kRecordName[] = ".vantel-save";

// One file of a recorded save, as absolute paths with links followed.
struct RecordEntry {
    QByteArray given;  // the file as the save was given it (may be a link)
    QByteArray target; // the file replaced
    QByteArray temp;   // its new content, until moved in
    QByteArray old;    // where the old file is kept meanwhile; empty when there was none
};

struct Record {
    enum class State {
        None,    // no record: no save is under way or interrupted
        Read,    // `entries` say what to put back
        Unusable // there is a record, but it cannot be used; `problem` says why
    };
    State state = State::None;
    std::vector<RecordEntry> entries;
    QString problem;
};

Record readRecord(const QByteArray &folder);

// Writes the record of a save in `folder` through a temporary file, so
// that the record is either whole or absent, and syncs it to the disk.
bool writeRecord(const QByteArray &folder, const std::vector<RecordEntry> &entries, QString *error);

// Runs the test seam before a step; false (with errno set) when it makes
// the step fail.
bool at(const char *what);

} // namespace fileset
