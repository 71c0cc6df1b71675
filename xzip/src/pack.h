// The pack method of the zip component.
#pragma once

#include <string>

namespace xzip {

// Adds the file `source`, or every regular file matching the pattern in the
// last part of `source`, to `archive`; see pack in xzip_component.h.
// Answers one of the XZIP_PACK_ codes.
int pack(const std::string &source, const std::string &archive, bool keepFolders, int level);

} // namespace xzip
