#pragma once

#include <QString>

namespace platform {

// The folder of the program's executable in native separators; it ends in a separator only
// when it is a root.
QString programFolder();

// Whether the program runs from a desktop install, its menu entry beside it in ../share: its
// folder is then the system's (/usr/bin), not a place of the program's own to write in.
bool isInstalled();

// A per-user folder, inside the user's own cache, for when the program's folder is read-only.
QString privateCacheFolder();

}  // namespace platform
