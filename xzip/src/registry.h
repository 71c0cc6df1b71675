// The per-user component registry: a file of "id=library path" lines.
#pragma once

#include <string>

namespace xzip {

// The registry file is $XDG_DATA_HOME/vantel/components.ini.
// Sets the entry of `progid` to `library`, or removes it when `library` is
// empty. Other lines stay as they are. Returns false when the file could
// not be read or written; the old file is then untouched.
bool updateRegistry(const std::string &progid, const std::string &library);

} // namespace xzip
