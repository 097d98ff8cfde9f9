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
};

// The calling thread's watches, oldest first; a copy, since callbacks may add or remove watches.
std::vector<TWatchEntry> ThreadWatches();

// Runs the callback of the watch with this id, if it still exists (callbacks may remove
// watches, their own included).
void RunWatch(uint64_t id);

// ThreadSanitizer cannot see that a descriptor's readiness reported by poll() orders memory
// the way the kernel does; these tell it that a signal (eventfd write) happens before a wait
// that sees it. No-ops in other builds.
#if defined(__SANITIZE_THREAD__)
#define KVL_TSAN 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define KVL_TSAN 1
#endif
#endif
#ifdef KVL_TSAN
extern "C" void __tsan_acquire(void* addr);
extern "C" void __tsan_release(void* addr);
char* SignalSyncObject(TWaitHandle handle);
inline void AnnotateSignal(TWaitHandle handle) { __tsan_release(SignalSyncObject(handle)); }
inline void AnnotateWaitSeen(TWaitHandle handle) { __tsan_acquire(SignalSyncObject(handle)); }
#else
inline void AnnotateSignal(TWaitHandle) {}
inline void AnnotateWaitSeen(TWaitHandle) {}
#endif

} // namespace KVL::Platform::Detail
