// Win32 messaging: HWND_MESSAGE windows, SendMessageW, and waits on MsgWaitForMultipleObjectsEx.
#include "KVL/Base/Platform/Messaging.h"

#include <windows.h>

#include "KVL/Base/Platform/WinString.h"
#include <bcrypt.h>

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <exception>
#include <vector>

#include "KVL/Base/Platform/File.h"
#include "KVL/Base/Platform/MessagingDetail.h"
#include "KVL/Base/SysUtils.h"

namespace KVL::Platform {

namespace {

using SysUtils::EKVLError;
using SysUtils::EKVLInvalidOperation;

static_assert(sizeof(TCopyData) == sizeof(COPYDATASTRUCT));
static_assert(offsetof(TCopyData, Data) == offsetof(COPYDATASTRUCT, dwData));
static_assert(offsetof(TCopyData, Size) == offsetof(COPYDATASTRUCT, cbData));
static_assert(offsetof(TCopyData, Bytes) == offsetof(COPYDATASTRUCT, lpData));

constexpr int kWaitQuit = -2;
constexpr size_t kMaxWaitHandles = 60;

HANDLE SyncEvent() {
  // Auto-reset: one wake-up per batch of Synchronize requests is enough.
  static const HANDLE event = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  return event;
}

// A send between two threads of this process travels as this message with a pointer to the
// real message and room for its result or exception.
struct TEnvelope {
  uint32_t Msg;
  uintptr_t WParam;
  intptr_t LParam;
  intptr_t Result = 0;
  std::exception_ptr Error;
};

UINT InvokeMessage() {
  static const UINT msg = RegisterWindowMessageW(L"KVL.Platform.MessageWindow.Invoke");
  return msg;
}

// Travels in wParam of the envelope message: another process cannot guess it, so it cannot
// make this one follow a pointer of its choosing.
uintptr_t Cookie() {
  static const uintptr_t cookie = [] {
    uintptr_t value = 0;
    BCryptGenRandom(nullptr, reinterpret_cast<PUCHAR>(&value), sizeof value, BCRYPT_USE_SYSTEM_PREFERRED_RNG);
    return value | 1;
  }();
  return cookie;
}

bool IsHandlerMessage(UINT msg) { return msg == WM_COPYDATA || msg >= WM_USER; }

LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  auto* window = reinterpret_cast<const TMessageWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (window) {
    if (msg == InvokeMessage() && wParam == Cookie()) {
      auto* env = reinterpret_cast<TEnvelope*>(lParam);
      try {
        env->Result = window->Dispatch(env->Msg, env->WParam, env->LParam);
      } catch (...) {
        env->Error = std::current_exception();  // re-raised in the sending thread
      }
      return 0;
    }
    if (IsHandlerMessage(msg)) {
      try {
        return window->Dispatch(msg, wParam, lParam);
      } catch (...) {
        // Sent from another process: an exception must not unwind through the system's
        // frames and has no way back to its sender.
        return 0;
      }
    }
  }
  return DefWindowProcW(hwnd, msg, wParam, lParam);
}

// Our window object behind hwnd when it is one of this process's message windows.
const TMessageWindow* OwnWindow(HWND hwnd) {
  if (GetWindowLongPtrW(hwnd, GWLP_WNDPROC) != reinterpret_cast<LONG_PTR>(&WindowProc)) return nullptr;
  return reinterpret_cast<const TMessageWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
}

DWORD Milliseconds(int64_t ms) {
  if (ms < 0) return INFINITE;
  return ms >= static_cast<int64_t>(INFINITE) ? INFINITE - 1 : static_cast<DWORD>(ms);
}

// Dispatches the thread's queued messages (sent messages are delivered inside PeekMessage).
// A WM_QUIT ends a message loop (true); inside a wait it is remembered for re-posting.
bool PumpMessages(bool untilQuit, bool& quitSeen, WPARAM& quitCode) {
  MSG m;
  while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
    if (m.message == WM_QUIT) {
      if (untilQuit) return true;
      quitSeen = true;
      quitCode = m.wParam;
      continue;
    }
    TranslateMessage(&m);
    DispatchMessageW(&m);
  }
  return false;
}

int DispatchWait(std::span<const TWaitHandle> handles, int64_t timeoutMs, bool untilQuit) {
  if (handles.size() > kMaxWaitHandles) throw EKVLInvalidOperation("Too many wait handles");
  using Clock = std::chrono::steady_clock;
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs);
  const bool main = IsMainThread();
  bool quitSeen = false;
  WPARAM quitCode = 0;
  int result = kWaitTimeout;
  std::vector<HANDLE> all;
  std::vector<uint64_t> watchIds;
  for (;;) {
    // Rebuilt every round: watch callbacks may add or remove watches.
    all.clear();
    watchIds.clear();
    for (TWaitHandle h : handles) all.push_back(reinterpret_cast<HANDLE>(h));
    const size_t syncIndex = all.size();
    if (main) all.push_back(SyncEvent());
    const size_t firstWatch = all.size();
    for (const Detail::TWatchEntry& w : Detail::ThreadWatches()) {
      all.push_back(reinterpret_cast<HANDLE>(w.Handle));
      watchIds.push_back(w.Id);
    }
    if (all.size() >= MAXIMUM_WAIT_OBJECTS) throw EKVLInvalidOperation("Too many wait handles");

    int64_t left = kInfinite;
    if (timeoutMs >= 0) left = std::max<int64_t>(0, std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count());
    const DWORD n = static_cast<DWORD>(all.size());
    DWORD r = MsgWaitForMultipleObjectsEx(n, all.data(), Milliseconds(left), QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    if (r == WAIT_FAILED) throw EKVLError("Wait failed: " + LastSystemErrorText());
    if (r == WAIT_TIMEOUT) break;
    size_t i = r >= WAIT_ABANDONED_0 && r < WAIT_ABANDONED_0 + n ? r - WAIT_ABANDONED_0 : r - WAIT_OBJECT_0;
    if (i < handles.size()) {
      result = static_cast<int>(i);
      break;
    }
    if (main && i == syncIndex) {
      Detail::ServeSynchronizeQueue();
    } else if (i < n) {
      Detail::RunWatch(watchIds[i - firstWatch]);
    } else if (PumpMessages(untilQuit, quitSeen, quitCode)) {
      return kWaitQuit;
    }
    if (timeoutMs >= 0 && Clock::now() >= deadline) break;
  }
  // The quit belongs to the message loop around this wait.
  if (quitSeen) PostQuitMessage(static_cast<int>(quitCode));
  return result;
}

} // namespace

namespace Detail {
void WakeMainThread() { SetEvent(SyncEvent()); }
} // namespace Detail

TMessageWindow::TMessageWindow(const std::string& className, THandler handler) : handler_(std::move(handler)) {
  std::wstring cls = Wide(className);
  HINSTANCE instance = GetModuleHandleW(nullptr);
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = &WindowProc;
  wc.hInstance = instance;
  wc.lpszClassName = cls.c_str();
  if (!RegisterClassExW(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
    throw EKVLError("Cannot register window class " + className + ": " + LastSystemErrorText());
  HWND hwnd = CreateWindowExW(0, cls.c_str(), L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, instance, nullptr);
  if (!hwnd) throw EKVLError("Cannot create window " + className + ": " + LastSystemErrorText());
  SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  handle_ = reinterpret_cast<intptr_t>(hwnd);
}

TMessageWindow::~TMessageWindow() {
  HWND hwnd = reinterpret_cast<HWND>(handle_);
  SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
  DestroyWindow(hwnd);
}

intptr_t SendMessageTo(intptr_t handle, uint32_t msg, uintptr_t wParam, intptr_t lParam) {
  HWND hwnd = reinterpret_cast<HWND>(handle);
  DWORD pid = 0;
  DWORD tid = GetWindowThreadProcessId(hwnd, &pid);
  if (tid == 0) return 0;  // no such window
  const TMessageWindow* own = pid == GetCurrentProcessId() && IsHandlerMessage(msg) ? OwnWindow(hwnd) : nullptr;
  if (!own) return SendMessageW(hwnd, msg, wParam, lParam);
  if (tid == GetCurrentThreadId()) return own->Dispatch(msg, wParam, lParam);
  TEnvelope env{msg, wParam, lParam, 0, nullptr};
  SendMessageW(hwnd, InvokeMessage(), Cookie(), reinterpret_cast<LPARAM>(&env));
  if (env.Error) std::rethrow_exception(env.Error);
  return env.Result;
}

intptr_t SendCopyData(intptr_t handle, uintptr_t wParam, uintptr_t data, const void* bytes, uint32_t size) {
  TCopyData record{data, size, bytes};
  return SendMessageTo(handle, kWmCopyData, wParam, reinterpret_cast<intptr_t>(&record));
}

uint32_t RegisterMessage(const std::string& name) {
  if (name.empty()) throw EKVLInvalidOperation("Empty message name");
  UINT msg = RegisterWindowMessageW(Wide(name).c_str());
  if (msg == 0) throw EKVLError("Cannot register message " + name + ": " + LastSystemErrorText());
  return msg;
}

int WaitForAny(std::span<const TWaitHandle> handles, int64_t timeoutMs) {
  return DispatchWait(handles, timeoutMs, false);
}

void ProcessMessages() {
  bool quitSeen = false;
  WPARAM quitCode = 0;
  PumpMessages(false, quitSeen, quitCode);
  if (IsMainThread()) Detail::ServeSynchronizeQueue();
  std::vector<uint64_t> ready;
  for (const Detail::TWatchEntry& w : Detail::ThreadWatches()) {
    if (WaitForSingleObject(reinterpret_cast<HANDLE>(w.Handle), 0) == WAIT_OBJECT_0) ready.push_back(w.Id);
  }
  for (uint64_t id : ready) Detail::RunWatch(id);
  if (quitSeen) PostQuitMessage(static_cast<int>(quitCode));
}

void RunMessageLoop() { DispatchWait({}, kInfinite, true); }

void QuitMessageLoop() { PostQuitMessage(0); }

} // namespace KVL::Platform
