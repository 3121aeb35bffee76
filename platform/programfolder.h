#pragma once

#include <QString>

namespace platform {

// The folder of the program's executable in native separators; it ends in a separator only
// when it is a root.
QString programFolder();

// A per-user folder, inside the user's own cache, for when the program's folder is read-only.
QString privateCacheFolder();

}  // namespace platform
