// Platform service: message-only windows, synchronous sends, run-on-main-thread and waits that keep serving them.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>

#include "KVL/Base/Platform/Event.h"

namespace KVL::Platform {

// Message numbers shared with Windows.
inline constexpr uint32_t kWmCopyData = 74;  // WM_COPYDATA
inline constexpr uint32_t kWmUser = 1024;    // WM_USER

// The record a kWmCopyData message points to (lParam); laid out as Windows' COPYDATASTRUCT.
struct TCopyData {
  uintptr_t Data;     // dwData
  uint32_t Size;      // cbData, in bytes
  const void* Bytes;  // lpData; valid only while the handler runs
};

// The thread that started the program (the one that ran static initialisation).
bool IsMainThread();

// Runs fn on the main thread and returns when it has run. On the main thread it runs at once;
// from another thread the request is served by the main thread's next dispatching wait,
// ProcessMessages or message loop, and the caller blocks until then. An exception thrown by
// fn is re-raised in the calling thread.
void Synchronize(const std::function<void()>& fn);

// A message-only window: a mailbox owned by the thread that creates it, addressed by a
// number. Only that thread runs its handler, inside its dispatching waits, ProcessMessages or
// the message loop (on Windows also inside any system modal loop). Create and destroy it on
// its owner thread.
//
// The handler sees kWmCopyData and every message from kWmUser up (registered messages
// included); the system's own messages below kWmUser go to the default window procedure.
class TMessageWindow {
public:
  using THandler = std::function<intptr_t(uint32_t msg, uintptr_t wParam, intptr_t lParam)>;

  // className names the Windows window class (no meaning on POSIX).
  TMessageWindow(const std::string& className, THandler handler);
  ~TMessageWindow();
  TMessageWindow(const TMessageWindow&) = delete;
  TMessageWindow& operator=(const TMessageWindow&) = delete;

  // Windows: the HWND as a number, valid for other processes. POSIX: a process-wide id that
  // is never reused, valid in this process only.
  intptr_t Handle() const { return handle_; }

  intptr_t Send(uint32_t msg, uintptr_t wParam, intptr_t lParam) const;

  // Runs the handler; the owner thread's dispatch calls this.
  intptr_t Dispatch(uint32_t msg, uintptr_t wParam, intptr_t lParam) const { return handler_(msg, wParam, lParam); }

private:
  THandler handler_;
  intptr_t handle_ = 0;
};

// Sends a message synchronously to the window with this handle and returns its handler's
// result. From the owner thread the handler runs directly; from any other thread of this
// process the caller blocks until the owner thread has run it, and an exception the handler
// throws is re-raised here. A handle that names no window (any more) gives 0.
// Windows also delivers to windows of other processes; their handlers' exceptions cannot
// travel back and are dropped (the result is 0). POSIX delivers in this process only: the
// spawn service carries messages between processes over its own socket.
// A thread blocked in a send serves nothing meanwhile, so two threads must never send to
// each other's windows at the same time.
intptr_t SendMessageTo(intptr_t handle, uint32_t msg, uintptr_t wParam, intptr_t lParam);

// kWmCopyData with a TCopyData record {data, size of bytes, bytes}; same delivery as
// SendMessageTo (Windows copies the bytes into another process).
intptr_t SendCopyData(intptr_t handle, uintptr_t wParam, uintptr_t data, const void* bytes, uint32_t size);

// The message number registered for a name (names compare ignoring case). Windows:
// RegisterWindowMessageW, the same in every process of the session. POSIX: a number from
// 0xC000 up derived from the name, so other processes of ours agree on it too.
uint32_t RegisterMessage(const std::string& name);

inline constexpr int kWaitTimeout = -1;

// Waits until one of handles is signalled or timeoutMs has passed, while the calling thread
// keeps serving: messages sent to its windows, its watches, on the main thread the
// Synchronize requests, and on Windows its posted messages too. Returns the index of a
// signalled handle (the lowest), or kWaitTimeout. At most 60 handles.
int WaitForAny(std::span<const TWaitHandle> handles, int64_t timeoutMs = kInfinite);
// One handle: true when signalled, false on timeout.
bool WaitFor(TWaitHandle handle, int64_t timeoutMs = kInfinite);

// Serves whatever is pending for the calling thread now, without blocking.
void ProcessMessages();

// Serves the calling thread until QuitMessageLoop is called on it (by a handler, a watch or a
// Synchronize request). A quit while no loop runs ends the next loop at once. Waits inside
// the loop do not consume the quit.
void RunMessageLoop();
void QuitMessageLoop();

// A handle watched by the calling thread's dispatching waits and message loop: the callback
// runs on that thread whenever the handle is signalled (POSIX: readable). The callback must
// consume the signal (reset, read) or it runs again at once. Removed when destroyed; destroy
// it on the thread that created it.
class TDispatchWatch {
public:
  TDispatchWatch(TWaitHandle handle, std::function<void()> callback);
  ~TDispatchWatch();
  TDispatchWatch(const TDispatchWatch&) = delete;
  TDispatchWatch& operator=(const TDispatchWatch&) = delete;

private:
  uint64_t id_;
};

} // namespace KVL::Platform
