#pragma once

#include <QString>

namespace platform {

// The reason behind a system error code (errno here, GetLastError on Windows) in Japanese, for
// the person reading the message; an unknown code still gets a sentence, with its number.
QString systemErrorReason(int code);

}  // namespace platform
