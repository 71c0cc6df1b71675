// Replacing a small file whole, so that whoever reads it finds either the
// old content or the new one, whatever stops the write: the new content goes
// to a temporary file beside the file ("<name>.XXXXXX"), every write and the
// flush to the disk are checked, and only then does the temporary file take
// the file's place. A failed write leaves the old file as it was.
//
// Also the steps that this and the data files' save share: writing all of a
// buffer, syncing a folder, following links, and giving a new file the
// mode, owner and group of the file it replaces.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <functional>

#include <sys/stat.h>

namespace rt {

enum class NewFileMode {
    Usual,     // a new file gets the usual mode (0666 less the umask); a replaced one keeps its mode
    OwnerOnly, // a new file gets 0600; a replaced one keeps its mode
    AlwaysOwnerOnly, // 0600 whatever the file had
};

// Replaces the file `path` names (through symbolic links) with `bytes`.
// false, with the reason in `error`, when it could not: the old file is then
// untouched. On success `error` stays empty, or says that the folder could
// not be synced (the new content is in place but may not survive a power
// cut).
bool ReplaceFile(const QString &path, QByteArrayView bytes, NewFileMode mode, QString *error);

// The same for content too large to hold at once: `produce` hands it over
// piece by piece through the function it is given, which answers false when
// a piece could not be written; `produce` answers false to give up (the old
// file then stays).
using PieceWriter = std::function<bool(QByteArrayView piece)>;
bool ReplaceFileInPieces(const QString &path, const std::function<bool(const PieceWriter &)> &produce,
                         NewFileMode mode, QString *error);

// Removes the temporary files that interrupted replacements of `path` left
// behind ("<name>.XXXXXX" beside it and beside the file its links lead to),
// but none that a running write still holds, and none whose ending is six
// lower-case letters (a word, as in "vantel.ini.backup").
void RemoveReplaceLeftovers(const QString &path);

// Writes all of `bytes` to `fd`; false, with errno set, when it cannot.
bool WriteAll(int fd, QByteArrayView bytes);

// Makes the names in `folder` (renames, removals) durable; false, with
// errno set, when it cannot.
bool SyncFolder(const QByteArray &folder);

// `path` with its symbolic links followed.
QByteArray ResolveLinks(const QByteArray &path);

// The folder part of `path` ("." when there is none) and the name part.
QByteArray FolderOf(const QByteArray &path);
QByteArray NameOf(const QByteArray &path);

// Whether `s` is the six letters and digits a temporary file's name ends in.
bool IsRandomSuffix(QByteArrayView s);

// Gives the new file `fd` the mode it is to have (see NewFileMode) and, when
// it replaces the file `old` describes (null for none), that file's owner
// and group where this process may. false, with errno set, when the mode
// cannot be set.
bool TakeOverMode(int fd, const struct stat *old, NewFileMode mode);

} // namespace rt
