// POSIX messaging: per-thread request queues woken through an eventfd, waits built on poll().
#include "KVL/Base/Platform/Messaging.h"

#include <errno.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <chrono>
#include <deque>
#include <future>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <unordered_map>
#include <vector>

#include "KVL/Base/Platform/File.h"
#include "KVL/Base/Platform/MessagingDetail.h"
#include "KVL/Base/SysUtils.h"

namespace KVL::Platform {

namespace {

using SysUtils::EKVLError;
using SysUtils::EKVLInvalidOperation;

constexpr int kWaitQuit = -2;
constexpr size_t kMaxWaitHandles = 60;

// What a thread serves: the messages sent to its windows by other threads.
class TDispatcher {
public:
  explicit TDispatcher(std::thread::id owner) : owner_(owner) {
    wakeFd_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (wakeFd_ < 0) throw EKVLError("Cannot create message queue: " + LastSystemErrorText());
  }
  ~TDispatcher() { close(wakeFd_); }

  std::thread::id Owner() const { return owner_; }
  int WakeFd() const { return wakeFd_; }
  bool Quit = false;  // owner thread only

  // False when the owner thread has ended: nobody would ever run the request.
  bool Post(std::function<void()>* request) {
    {
      std::lock_guard<std::mutex> guard(lock_);
      if (!alive_) return false;
      requests_.push_back(request);
    }
    Wake();
    return true;
  }

  void Wake() {
    uint64_t one = 1;
    while (write(wakeFd_, &one, sizeof one) < 0 && errno == EINTR) {
    }
  }

  // Owner thread: runs the pending requests, oldest first, one at a time (a request may
  // wait and so serve the queue again).
  void Serve() {
    uint64_t count;
    while (read(wakeFd_, &count, sizeof count) < 0 && errno == EINTR) {
    }
    for (;;) {
      std::function<void()>* request;
      {
        std::lock_guard<std::mutex> guard(lock_);
        if (requests_.empty()) return;
        request = requests_.front();
        requests_.pop_front();
      }
      (*request)();
    }
  }

  // The owner thread ends: refuse new requests and answer the pending ones (their windows
  // are gone, so they give 0).
  void Close() {
    {
      std::lock_guard<std::mutex> guard(lock_);
      alive_ = false;
    }
    Serve();
  }

private:
  std::thread::id owner_;
  int wakeFd_;
  std::mutex lock_;
  std::deque<std::function<void()>*> requests_;
  bool alive_ = true;
};

std::shared_ptr<TDispatcher> MainDispatcher() {
  // May be created by a worker's Synchronize before the main thread ever waited.
  static const std::shared_ptr<TDispatcher> main = std::make_shared<TDispatcher>(Detail::MainThreadId());
  return main;
}

struct TThreadDispatcher {
  std::shared_ptr<TDispatcher> Dispatcher;
  ~TThreadDispatcher() {
    if (Dispatcher) Dispatcher->Close();
  }
};

std::shared_ptr<TDispatcher> CurrentDispatcher() {
  if (IsMainThread()) return MainDispatcher();
  thread_local TThreadDispatcher current;
  if (!current.Dispatcher) current.Dispatcher = std::make_shared<TDispatcher>(std::this_thread::get_id());
  return current.Dispatcher;
}

struct TWindowEntry {
  const TMessageWindow* Window;
  std::shared_ptr<TDispatcher> Owner;
};

std::mutex gWindowsLock;
std::unordered_map<intptr_t, TWindowEntry> gWindows;
intptr_t gNextHandle = 1;

bool FindWindow(intptr_t handle, TWindowEntry& entry) {
  std::lock_guard<std::mutex> guard(gWindowsLock);
  auto it = gWindows.find(handle);
  if (it == gWindows.end()) return false;
  entry = it->second;
  return true;
}

// Runs what is pending for the calling thread.
void ServeCurrent(TDispatcher& d) {
  d.Serve();
  if (IsMainThread()) Detail::ServeSynchronizeQueue();
}

int DispatchWait(std::span<const TWaitHandle> handles, int64_t timeoutMs, bool untilQuit) {
  if (handles.size() > kMaxWaitHandles) throw EKVLInvalidOperation("Too many wait handles");
  using Clock = std::chrono::steady_clock;
  const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs);
  std::shared_ptr<TDispatcher> d = CurrentDispatcher();
  std::vector<pollfd> fds;
  std::vector<uint64_t> watchIds;
  for (;;) {
    ServeCurrent(*d);
    if (untilQuit && d->Quit) {
      d->Quit = false;
      return kWaitQuit;
    }

    fds.clear();
    watchIds.clear();
    fds.push_back({d->WakeFd(), POLLIN, 0});
    for (TWaitHandle h : handles) fds.push_back({static_cast<int>(h), POLLIN, 0});
    for (const Detail::TWatchEntry& w : Detail::ThreadWatches()) {
      fds.push_back({static_cast<int>(w.Handle), POLLIN, 0});
      watchIds.push_back(w.Id);
    }
    int wait = -1;
    if (timeoutMs >= 0) {
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
      wait = left > 0 ? static_cast<int>(left) : 0;
    }
    int n = poll(fds.data(), fds.size(), wait);
    if (n < 0) {
      if (errno == EINTR) continue;
      throw EKVLError("Wait failed: " + LastSystemErrorText());
    }

    // Requests that arrived together with the signal are served before the wait returns.
    if (fds[0].revents) ServeCurrent(*d);
    for (size_t i = 0; i < handles.size(); ++i) {
      short r = fds[1 + i].revents;
      if (r & POLLNVAL) throw EKVLInvalidOperation("Invalid wait handle");
      if (r) {
        Detail::AnnotateWaitSeen(handles[i]);
        return static_cast<int>(i);
      }
    }
    for (size_t i = 0; i < watchIds.size(); ++i) {
      if (fds[1 + handles.size() + i].revents) {
        Detail::AnnotateWaitSeen(fds[1 + handles.size() + i].fd);
        Detail::RunWatch(watchIds[i]);
      }
    }
    if (untilQuit && d->Quit) {
      d->Quit = false;
      return kWaitQuit;
    }
    if (timeoutMs >= 0 && Clock::now() >= deadline) return kWaitTimeout;
  }
}

} // namespace

namespace Detail {
void WakeMainThread() { MainDispatcher()->Wake(); }
} // namespace Detail

TMessageWindow::TMessageWindow(const std::string& /*className*/, THandler handler) : handler_(std::move(handler)) {
  std::shared_ptr<TDispatcher> owner = CurrentDispatcher();
  std::lock_guard<std::mutex> guard(gWindowsLock);
  handle_ = gNextHandle++;
  gWindows[handle_] = TWindowEntry{this, std::move(owner)};
}

TMessageWindow::~TMessageWindow() {
  std::lock_guard<std::mutex> guard(gWindowsLock);
  gWindows.erase(handle_);
}

intptr_t SendMessageTo(intptr_t handle, uint32_t msg, uintptr_t wParam, intptr_t lParam) {
  // There are no system messages to default-process here.
  if (msg < kWmUser && msg != kWmCopyData) return 0;
  TWindowEntry entry;
  if (!FindWindow(handle, entry)) return 0;
  // Only the owner thread destroys the window, so the pointer stays valid while it runs.
  if (entry.Owner->Owner() == std::this_thread::get_id()) return entry.Window->Dispatch(msg, wParam, lParam);

  std::packaged_task<intptr_t()> task([=] {
    TWindowEntry now;
    return FindWindow(handle, now) ? now.Window->Dispatch(msg, wParam, lParam) : 0;
  });
  std::future<intptr_t> result = task.get_future();
  std::function<void()> request = [&task] { task(); };
  if (!entry.Owner->Post(&request)) return 0;
  return result.get();  // re-raises what the handler threw
}

intptr_t SendCopyData(intptr_t handle, uintptr_t wParam, uintptr_t data, const void* bytes, uint32_t size) {
  TCopyData record{data, size, bytes};
  return SendMessageTo(handle, kWmCopyData, wParam, reinterpret_cast<intptr_t>(&record));
}

uint32_t RegisterMessage(const std::string& name) {
  if (name.empty()) throw EKVLInvalidOperation("Empty message name");
  // Another process must arrive at the same number without asking us (the spawn service's
  // token is compared across processes), so the number comes from the name: FNV-1a of its
  // upper-cased UTF-8 bytes, in 0xC000..0xFFFE. Two names of one process that meet take the
  // next free number; only that rare second name then depends on the order of registration.
  constexpr uint32_t kFirst = 0xC000, kRange = 0x3FFF;
  static std::mutex lock;
  static std::map<std::string, uint32_t> numbers;
  static std::map<uint32_t, std::string> names;
  const std::string key = SysUtils::UpperCase(name);
  std::lock_guard<std::mutex> guard(lock);
  auto found = numbers.find(key);
  if (found != numbers.end()) return found->second;
  if (numbers.size() >= kRange) throw EKVLInvalidOperation("Too many registered messages");
  uint32_t hash = 2166136261u;
  for (unsigned char c : key) hash = (hash ^ c) * 16777619u;
  uint32_t slot = hash % kRange;
  while (names.count(kFirst + slot)) slot = (slot + 1) % kRange;
  numbers[key] = kFirst + slot;
  names[kFirst + slot] = key;
  return kFirst + slot;
}

int WaitForAny(std::span<const TWaitHandle> handles, int64_t timeoutMs) {
  return DispatchWait(handles, timeoutMs, false);
}

void ProcessMessages() { DispatchWait({}, 0, false); }

void RunMessageLoop() { DispatchWait({}, kInfinite, true); }

void QuitMessageLoop() { CurrentDispatcher()->Quit = true; }

} // namespace KVL::Platform
