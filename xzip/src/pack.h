// The pack method of the zip component.
#pragma once

#include <functional>
#include <string>

namespace xzip {

// Told how much of a call's work is done (0 to 1), on the calling thread;
// answers false to stop the call.
using Progress = std::function<bool(double done)>;

// Adds the file `source`, or every regular file matching the pattern in the
// last part of `source`, to `archive`; see pack in xzip_component.h.
// Answers one of the XZIP_PACK_ codes; XZIP_PACK_CANCELLED when `progress`
// asked to stop, the archive then being as it was.
int pack(const std::string &source, const std::string &archive, bool keepFolders, int level,
         const Progress &progress = {});

} // namespace xzip
