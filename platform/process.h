#pragma once

#include <QtGlobal>
#include <optional>

namespace platform {

// The processor time a process has used so far, in seconds; nothing when it is gone or cannot be
// read.
std::optional<double> processorSeconds(qint64 pid);

// Ends a process at once: for one that no longer answers.
void endProcess(qint64 pid);

}  // namespace platform
