// The platform thread class, on std::thread and a manual-reset completion event.
#include "KVL/Base/Platform/Thread.h"

#include "KVL/Base/Platform/Messaging.h"
#include "KVL/Base/SysUtils.h"

namespace KVL::Platform {

TPlatformThread::TPlatformThread() = default;

TPlatformThread::~TPlatformThread() {
  if (thread_.joinable()) {
    terminated_.store(true, std::memory_order_release);
    WaitFor();
  }
}

void TPlatformThread::Start() {
  if (IsStarted()) throw SysUtils::EKVLInvalidOperation("Thread already started");
  thread_ = std::thread(&TPlatformThread::Body, this);
}

void TPlatformThread::Terminate() { terminated_.store(true, std::memory_order_release); }

void TPlatformThread::Body() {
  try {
    Execute();
  } catch (...) {
    fatal_ = std::current_exception();
  }
  finished_.Set();
}

void TPlatformThread::WaitFor() {
  if (!thread_.joinable()) return;
  if (thread_.get_id() == std::this_thread::get_id())
    throw SysUtils::EKVLInvalidOperation("Thread cannot wait for itself");
  Platform::WaitFor(finished_.Handle());
  thread_.join();  // at most the last instructions after finished_ was set
}

} // namespace KVL::Platform
