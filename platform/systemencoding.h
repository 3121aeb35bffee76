#pragma once

#include <QString>

namespace platform {

// The system's own encoding by the name web pages give it: the ANSI code page on Windows, UTF-8
// elsewhere. New documents are written in it.
QString systemEncoding();

}  // namespace platform
