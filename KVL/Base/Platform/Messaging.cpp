// The system-independent part of the messaging service: the main thread, Synchronize, watches.
#include "KVL/Base/Platform/Messaging.h"

#include <atomic>
#include <deque>
#include <future>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

#include "KVL/Base/Platform/MessagingDetail.h"

namespace KVL::Platform {

namespace {
// Static initialisation runs on the thread that starts the program.
const std::thread::id gMainThreadId = std::this_thread::get_id();

std::mutex gSyncLock;
// Requests live on their callers' stacks; each caller blocks until its request has run.
std::deque<std::packaged_task<void()>*> gSyncQueue;

std::atomic<uint64_t> gNextWatchId{1};

struct TWatch {
  uint64_t Id;
  TWaitHandle Handle;
  std::function<void()> Callback;
};
using TWatchTable = std::map<std::thread::id, std::vector<TWatch>>;

// Watches by thread. Not thread_local: MinGW frees a thread's thread_local storage before it
// runs their destructors, so such an object with a destructor crashes the thread's end.
// Never destroyed, so that a watch that outlives static destruction can still remove itself.
struct TWatches {
  std::mutex Lock;
  TWatchTable Table;
};
TWatches& Watches() {
  union TImmortal {
    TWatches Value;
    TImmortal() : Value() {}
    ~TImmortal() {}
  };
  static TImmortal holder;
  return holder.Value;
}
} // namespace

bool IsMainThread() { return std::this_thread::get_id() == gMainThreadId; }

void Synchronize(const std::function<void()>& fn) {
  if (IsMainThread()) {
    fn();
    return;
  }
  std::packaged_task<void()> task(fn);
  std::future<void> done = task.get_future();
  {
    std::lock_guard<std::mutex> guard(gSyncLock);
    gSyncQueue.push_back(&task);
  }
  Detail::WakeMainThread();
  done.get();  // re-raises what fn threw
}

intptr_t TMessageWindow::Send(uint32_t msg, uintptr_t wParam, intptr_t lParam) const {
  return SendMessageTo(handle_, msg, wParam, lParam);
}

bool WaitFor(TWaitHandle handle, int64_t timeoutMs) {
  return WaitForAny(std::span<const TWaitHandle>(&handle, 1), timeoutMs) == 0;
}

TDispatchWatch::TDispatchWatch(TWaitHandle handle, std::function<void()> callback) : id_(gNextWatchId++) {
  std::lock_guard<std::mutex> guard(Watches().Lock);
  Watches().Table[std::this_thread::get_id()].push_back({id_, handle, std::move(callback)});
}

TDispatchWatch::~TDispatchWatch() {
  std::lock_guard<std::mutex> guard(Watches().Lock);
  TWatchTable& table = Watches().Table;
  for (auto t = table.begin(); t != table.end(); ++t) {
    std::vector<TWatch>& watches = t->second;
    for (auto it = watches.begin(); it != watches.end(); ++it) {
      if (it->Id != id_) continue;
      watches.erase(it);
      if (watches.empty()) table.erase(t);
      return;
    }
  }
}

namespace Detail {

std::thread::id MainThreadId() { return gMainThreadId; }

#ifdef KVL_TSAN
char* SignalSyncObject(TWaitHandle handle) {
  // One address per descriptor number; sharing one between two numbers only adds order.
  static char objects[4096];
  return &objects[static_cast<uintptr_t>(handle) % sizeof objects];
}
#endif

void ServeSynchronizeQueue() {
  // One at a time: a request may itself wait and so serve the queue again.
  for (;;) {
    std::packaged_task<void()>* task;
    {
      std::lock_guard<std::mutex> guard(gSyncLock);
      if (gSyncQueue.empty()) return;
      task = gSyncQueue.front();
      gSyncQueue.pop_front();
    }
    (*task)();  // stores an exception for the caller instead of throwing
  }
}

std::vector<TWatchEntry> ThreadWatches() {
  std::vector<TWatchEntry> entries;
  std::lock_guard<std::mutex> guard(Watches().Lock);
  TWatchTable& table = Watches().Table;
  auto t = table.find(std::this_thread::get_id());
  if (t != table.end())
    for (const TWatch& w : t->second) entries.push_back({w.Id, w.Handle});
  return entries;
}

void RunWatch(uint64_t id) {
  std::function<void()> callback;  // a copy: the callback may destroy its own watch
  {
    std::lock_guard<std::mutex> guard(Watches().Lock);
    TWatchTable& table = Watches().Table;
    auto t = table.find(std::this_thread::get_id());
    if (t == table.end()) return;
    for (const TWatch& w : t->second)
      if (w.Id == id) callback = w.Callback;
  }
  if (callback) callback();
}

} // namespace Detail

} // namespace KVL::Platform
