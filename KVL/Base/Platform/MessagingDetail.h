// Internals shared by the common and the system-specific parts of the messaging service.
#pragma once

#include <cstdint>
#include <functional>
#include <thread>
#include <vector>

#include "KVL/Base/Platform/Event.h"

namespace KVL::Platform::Detail {

// The thread that ran static initialisation.
std::thread::id MainThreadId();

// Backend: makes the main thread's dispatching wait notice a new Synchronize request.
void WakeMainThread();

// Runs the queued Synchronize requests, oldest first; main thread only.
void ServeSynchronizeQueue();

struct TWatchEntry {
  uint64_t Id;
  TWaitHandle Handle;
  std::function<void()> Callback;
};

// The calling thread's watches.
std::vector<TWatchEntry>& ThreadWatches();

// Runs the callback of the watch with this id, if it still exists (callbacks may remove
// watches, their own included).
void RunWatch(uint64_t id);

} // namespace KVL::Platform::Detail
