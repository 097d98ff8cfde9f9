// Win32 manual-reset event.
#include "KVL/Base/Platform/Event.h"

#include <windows.h>

#include "KVL/Base/Platform/File.h"
#include "KVL/Base/SysUtils.h"

namespace KVL::Platform {

namespace {
HANDLE H(TWaitHandle h) { return reinterpret_cast<HANDLE>(h); }
} // namespace

TPlatformEvent::TPlatformEvent(bool initiallySet) {
  HANDLE h = CreateEventW(nullptr, TRUE, initiallySet ? TRUE : FALSE, nullptr);
  if (!h) throw SysUtils::EKVLError("Cannot create event: " + LastSystemErrorText());
  handle_ = reinterpret_cast<TWaitHandle>(h);
}

TPlatformEvent::~TPlatformEvent() { CloseHandle(H(handle_)); }

void TPlatformEvent::Set() { SetEvent(H(handle_)); }
void TPlatformEvent::Reset() { ResetEvent(H(handle_)); }
bool TPlatformEvent::IsSet() const { return Wait(0); }

bool TPlatformEvent::Wait(int64_t timeoutMs) const {
  DWORD r = WaitForSingleObject(H(handle_), timeoutMs < 0 ? INFINITE : static_cast<DWORD>(timeoutMs));
  if (r == WAIT_FAILED) throw SysUtils::EKVLError("Event wait failed: " + LastSystemErrorText());
  return r == WAIT_OBJECT_0;
}

} // namespace KVL::Platform
