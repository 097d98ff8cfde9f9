// POSIX manual-reset event on an eventfd: readable while set.
#include "KVL/Base/Platform/Event.h"

#include <errno.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <chrono>

#include "KVL/Base/Platform/File.h"
#include "KVL/Base/Platform/MessagingDetail.h"
#include "KVL/Base/SysUtils.h"

namespace KVL::Platform {

TPlatformEvent::TPlatformEvent(bool initiallySet) {
  int fd = eventfd(initiallySet ? 1 : 0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (fd < 0) throw SysUtils::EKVLError("Cannot create event: " + LastSystemErrorText());
  handle_ = fd;
}

TPlatformEvent::~TPlatformEvent() { close(static_cast<int>(handle_)); }

void TPlatformEvent::Set() {
  // Only ever 0 or 1 in the counter, so repeated Sets cannot overflow it.
  Detail::AnnotateSignal(handle_);
  if (IsSet()) return;
  uint64_t one = 1;
  while (write(static_cast<int>(handle_), &one, sizeof one) < 0 && errno == EINTR) {
  }
}

void TPlatformEvent::Reset() {
  uint64_t value;
  while (read(static_cast<int>(handle_), &value, sizeof value) < 0 && errno == EINTR) {
  }
}

bool TPlatformEvent::IsSet() const { return Wait(0); }

bool TPlatformEvent::Wait(int64_t timeoutMs) const {
  using Clock = std::chrono::steady_clock;
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs);
  for (;;) {
    int wait = -1;
    if (timeoutMs >= 0) {
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
      wait = left > 0 ? static_cast<int>(left) : 0;
    }
    pollfd p{static_cast<int>(handle_), POLLIN, 0};
    int n = poll(&p, 1, wait);
    if (n > 0) {
      Detail::AnnotateWaitSeen(handle_);
      return true;
    }
    if (n == 0) return false;
    if (errno != EINTR) throw SysUtils::EKVLError("Event wait failed: " + LastSystemErrorText());
  }
}

} // namespace KVL::Platform
