// Platform service: a thread object created suspended whose end the dispatching waits can watch.
#pragma once

#include <atomic>
#include <exception>
#include <thread>

#include "KVL/Base/Platform/Event.h"

namespace KVL::Platform {

// Derive and override Execute. The thread is created suspended; Start runs Execute on a new
// thread. Execute polls IsTerminated to end early. An exception leaving Execute ends the
// thread and is kept in FatalException.
//
// Destroying a derived object while Execute still runs would destroy what Execute uses:
// derived classes call Terminate and WaitFor in their own destructor. The base destructor
// does the same as a last resort.
class TPlatformThread {
public:
  TPlatformThread();
  virtual ~TPlatformThread();
  TPlatformThread(const TPlatformThread&) = delete;
  TPlatformThread& operator=(const TPlatformThread&) = delete;

  // Once only: a second call raises EKVLInvalidOperation.
  void Start();
  // Asks Execute to end; the thread is not stopped by force.
  virtual void Terminate();
  bool IsTerminated() const { return terminated_.load(std::memory_order_acquire); }
  bool IsStarted() const { return thread_.joinable() || finished_.IsSet(); }

  // Blocks until the thread has ended, serving the calling thread's messages and, on the
  // main thread, Synchronize requests (see Messaging.h), so that the thread can send and
  // synchronise while it is waited for. Returns at once for a thread never started.
  // Called by the thread itself it raises EKVLInvalidOperation.
  void WaitFor();

  // Signalled when Execute has returned; for WaitForAny together with other handles.
  TWaitHandle Finished() const { return finished_.Handle(); }
  bool IsFinished() const { return finished_.IsSet(); }
  // What Execute threw, once the thread has been waited for; null when it returned.
  std::exception_ptr FatalException() const { return fatal_; }

protected:
  virtual void Execute() = 0;

private:
  void Body();

  std::thread thread_;
  std::atomic<bool> terminated_{false};
  TPlatformEvent finished_;
  std::exception_ptr fatal_;
};

} // namespace KVL::Platform
