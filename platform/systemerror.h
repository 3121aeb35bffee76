#pragma once

#include <QString>

namespace platform {

// The reason behind a system error code (errno here, GetLastError on Windows) in Japanese, for
// the person reading the message; an unknown code still gets a sentence, with its number.
QString systemErrorReason(int code);

// A failure the system reported, and why, in Japanese.
struct OsError {
    int code = 0;
    QString reason;

    static OsError fromCode(int code) { return {code, systemErrorReason(code)}; }
};

}  // namespace platform
