#pragma once
// Named moments of long writes (a table staged, a file replaced). A crash test installs a
// hook that stops the process at one of them; without a hook they cost a test of a pointer.

#include <functional>

namespace core {

using CheckpointHook = std::function<void(const char* moment)>;
// Installs the hook (an empty one removes it) and returns the previous one.
CheckpointHook setCheckpointHook(CheckpointHook hook);
void checkpoint(const char* moment);

// The process-killing hook of the crash tests: when the environment variable
// ZELVORIN_KILL_AT holds a number N > 0, the N-th checkpoint kills the process with
// SIGKILL, as `kill -9` would. Does nothing otherwise.
void installKillAtCheckpointFromEnvironment();

}  // namespace core
