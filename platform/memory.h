#pragma once

namespace platform {

// Hands the memory freed after a large piece of work (reading a big file) back to the system;
// the allocator would otherwise keep it for the process.
void releaseFreeMemory();

}  // namespace platform
