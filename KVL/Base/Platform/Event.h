// Platform service: a manual-reset event that the dispatching waits of Messaging.h accept.
#pragma once

#include <cstdint>

namespace KVL::Platform {

// A native object a thread can wait for: a Windows HANDLE, or on POSIX a file descriptor that
// counts as signalled while it is readable (an eventfd, a pidfd, a pipe's read end).
using TWaitHandle = intptr_t;

inline constexpr int64_t kInfinite = -1;

// Manual-reset event: once set it stays signalled, for every waiter, until reset.
// Windows: an event object; POSIX: an eventfd. Set, Reset and waits may run on any thread.
// What a thread wrote before Set is visible to a thread whose wait saw the event set.
class TPlatformEvent {
public:
  explicit TPlatformEvent(bool initiallySet = false);
  ~TPlatformEvent();
  TPlatformEvent(const TPlatformEvent&) = delete;
  TPlatformEvent& operator=(const TPlatformEvent&) = delete;

  void Set();
  void Reset();
  bool IsSet() const;
  // Plain wait (serves nothing): true when set within timeoutMs (kInfinite: no limit).
  // Use the waits of Messaging.h on a thread that owns message windows.
  bool Wait(int64_t timeoutMs = kInfinite) const;
  TWaitHandle Handle() const { return handle_; }

private:
  TWaitHandle handle_;
};

} // namespace KVL::Platform
