// Where the registry file lives, and how every process reads and replaces it: under an
// advisory lock on a file beside it, with a temporary file renamed over the old one.
#pragma once

#include "platform/regtree.h"

#include <functional>
#include <string>

namespace Ostrel {

// PRAVELL_REGISTRY when set, else $XDG_DATA_HOME/pravell/registry, else
// ~/.local/share/pravell/registry; empty when no home directory can be found.
std::string RegistryFilePath();

// Reads the latest registry under a shared lock into an empty root. A missing file is an empty
// registry; a damaged one gives ERROR_BADDB.
LONG LoadRegistry(RegistryKey& root);

// Reads the latest registry under an exclusive lock and applies the change to it. When the change
// succeeds and reports that it changed something, the file is replaced before the lock is
// released; otherwise the file is not touched.
typedef std::function<LONG(RegistryKey& root, bool& changed)> RegistryChange;
LONG UpdateRegistry(const RegistryChange& change);

} // namespace Ostrel
