// Message windows, Synchronize, dispatching waits and the platform thread class.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "KVL/Base/Platform/Event.h"
#include "KVL/Base/Platform/Messaging.h"
#include "KVL/Base/Platform/Thread.h"
#include "KVL/Base/Platform/Process.h"
#include "KVL/Base/SysUtils.h"
#include "TestUtil.h"

using namespace KVL::Platform;
using KVL::SysUtils::EKVLInvalidOperation;

namespace {

class TLambdaThread : public TPlatformThread {
public:
  explicit TLambdaThread(std::function<void(TLambdaThread&)> body) : body_(std::move(body)) {}
  ~TLambdaThread() override {
    Terminate();
    WaitFor();
  }

protected:
  void Execute() override { body_(*this); }

private:
  std::function<void(TLambdaThread&)> body_;
};

struct TReceived {
  std::thread::id Thread;
  uint32_t Msg;
  uintptr_t WParam;
  intptr_t LParam;
};

// Text that a handler copies out of a kWmCopyData record.
std::string CopyDataText(intptr_t lParam) {
  const auto* record = reinterpret_cast<const TCopyData*>(lParam);
  return std::string(static_cast<const char*>(record->Bytes), record->Size);
}

} // namespace

TEST(MessagingWindow, WorkerSendsRunOnOwnerThreadInOrderWhileItWaits) {
  ASSERT_TRUE(IsMainThread());
  std::vector<TReceived> got;
  std::string copied;
  uintptr_t copiedData = 0;
  TMessageWindow window("TMessagingTest", [&](uint32_t msg, uintptr_t wParam, intptr_t lParam) -> intptr_t {
    got.push_back({std::this_thread::get_id(), msg, wParam, lParam});
    if (msg == kWmCopyData) {
      copied = CopyDataText(lParam);
      copiedData = reinterpret_cast<const TCopyData*>(lParam)->Data;
      return 7;
    }
    return static_cast<intptr_t>(wParam) * 2 + 1;
  });

  constexpr int kCount = 200;
  const intptr_t handle = window.Handle();
  std::vector<intptr_t> results;
  intptr_t copyResult = 0;
  TLambdaThread worker([&](TLambdaThread&) {
    EXPECT_FALSE(IsMainThread());
    for (int i = 0; i < kCount; ++i) results.push_back(SendMessageTo(handle, kWmUser, i, -i));
    const std::string text = "status \xE2\x9C\x93";
    copyResult = SendCopyData(handle, handle, 4, text.data(), static_cast<uint32_t>(text.size()));
  });
  worker.Start();
  worker.WaitFor();

  ASSERT_EQ(got.size(), static_cast<size_t>(kCount + 1));
  ASSERT_EQ(results.size(), static_cast<size_t>(kCount));
  for (int i = 0; i < kCount; ++i) {
    EXPECT_EQ(got[i].Thread, std::this_thread::get_id());
    EXPECT_EQ(got[i].Msg, kWmUser);
    EXPECT_EQ(got[i].WParam, static_cast<uintptr_t>(i));
    EXPECT_EQ(got[i].LParam, -i);  // sign survives
    EXPECT_EQ(results[i], 2 * i + 1);
  }
  EXPECT_EQ(got[kCount].Thread, std::this_thread::get_id());
  EXPECT_EQ(got[kCount].Msg, kWmCopyData);
  EXPECT_EQ(got[kCount].WParam, static_cast<uintptr_t>(handle));
  EXPECT_EQ(copied, "status \xE2\x9C\x93");
  EXPECT_EQ(copiedData, 4u);
  EXPECT_EQ(copyResult, 7);
  EXPECT_EQ(worker.FatalException(), nullptr);
}

TEST(MessagingWindow, SendOnOwnerThreadRunsHandlerDirectly) {
  int depth = 0;
  int seenDepth = -1;
  TMessageWindow window("TMessagingTest", [&](uint32_t msg, uintptr_t, intptr_t) -> intptr_t {
    seenDepth = depth;
    if (msg == kWmUser + 1) throw EKVLInvalidOperation("direct");
    return 42;
  });
  depth = 1;  // no wait or message pump runs in between: the call is a plain call
  EXPECT_EQ(window.Send(kWmUser, 0, 0), 42);
  EXPECT_EQ(seenDepth, 1);
  EXPECT_THROW(window.Send(kWmUser + 1, 0, 0), EKVLInvalidOperation);
}

TEST(MessagingWindow, HandlerExceptionIsRaisedInSendingThread) {
  TMessageWindow window("TMessagingTest", [](uint32_t, uintptr_t wParam, intptr_t) -> intptr_t {
    if (wParam == 1) throw EKVLInvalidOperation("handler failed");
    return 5;
  });
  std::string caught;
  intptr_t after = 0;
  TLambdaThread worker([&](TLambdaThread&) {
    try {
      window.Send(kWmUser, 1, 0);
    } catch (const EKVLInvalidOperation& e) {
      caught = e.what();
    }
    after = window.Send(kWmUser, 0, 0);  // the window keeps working
  });
  worker.Start();
  worker.WaitFor();
  EXPECT_EQ(caught, "handler failed");
  EXPECT_EQ(after, 5);
  EXPECT_EQ(worker.FatalException(), nullptr);
}

TEST(MessagingWindow, StaleHandlesAndSystemMessagesDoNotReachHandler) {
  int calls = 0;
  intptr_t stale;
  {
    TMessageWindow window("TMessagingTest", [&](uint32_t, uintptr_t, intptr_t) -> intptr_t { return ++calls; });
    stale = window.Handle();
    EXPECT_NE(stale, 0);
    EXPECT_EQ(SendMessageTo(stale, kWmUser + 5, 0, 0), 1);
    SendMessageTo(stale, 0, 0, 0);  // WM_NULL: the system's, default-processed
    EXPECT_EQ(calls, 1);
  }
  EXPECT_EQ(SendMessageTo(stale, kWmUser, 0, 0), 0);
  intptr_t fromWorker = -1;
  TLambdaThread worker([&](TLambdaThread&) { fromWorker = SendCopyData(stale, 0, 1, "x", 1); });
  worker.Start();
  worker.WaitFor();
  EXPECT_EQ(fromWorker, 0);
  EXPECT_EQ(calls, 1);
}

TEST(MessagingWindow, WindowOwnedByWorkerIsServedByItsLoop) {
  TPlatformEvent ready;
  intptr_t handle = 0;
  std::thread::id workerId;
  std::thread::id ranOn;
  TLambdaThread worker([&](TLambdaThread&) {
    workerId = std::this_thread::get_id();
    TMessageWindow window("TMessagingTest", [&](uint32_t msg, uintptr_t wParam, intptr_t) -> intptr_t {
      ranOn = std::this_thread::get_id();
      if (msg == kWmUser + 1) QuitMessageLoop();
      return static_cast<intptr_t>(wParam) + 100;
    });
    handle = window.Handle();
    ready.Set();
    RunMessageLoop();
  });
  worker.Start();
  ASSERT_TRUE(ready.Wait(10000));
  EXPECT_EQ(SendMessageTo(handle, kWmUser, 1, 0), 101);
  EXPECT_EQ(ranOn, workerId);
  EXPECT_EQ(SendMessageTo(handle, kWmUser + 1, 2, 0), 102);
  worker.WaitFor();
  EXPECT_EQ(SendMessageTo(handle, kWmUser, 1, 0), 0);  // gone with its thread
}

TEST(MessagingWindow, RegisteredMessagesAreStablePerName) {
  const uint32_t token = RegisterMessage("SpawnToken");
  EXPECT_GE(token, 0xC000u);
  EXPECT_LE(token, 0xFFFFu);
  EXPECT_EQ(RegisterMessage("SpawnToken"), token);
  EXPECT_EQ(RegisterMessage("SPAWNTOKEN"), token);
  EXPECT_NE(RegisterMessage("KVL.MessagingTest.Other"), token);
  EXPECT_THROW(RegisterMessage(""), EKVLInvalidOperation);
}

TEST(MessagingWindow, RegisteredMessageNumbersAgreeAcrossProcesses) {
  // Another instance compares the token it registered with the one it receives.
  TestUtil::TTempDir dir;
  for (const std::string name : {"SpawnToken", "KVL.MessagingTest.Shared"}) {
    const std::string file = dir.File(name + ".txt");
    TProcess child = StartProcess(TestUtil::ChildProgramPath(), {"--message-number", name, file});
    ASSERT_TRUE(child.WaitForExit(20000));
    ASSERT_EQ(child.ExitCode(), 0u);
    EXPECT_EQ(TestUtil::ReadWholeFile(file), std::to_string(RegisterMessage(KVL::SysUtils::UpperCase(name)))) << name;
  }
}

TEST(MessagingSynchronize, RunsOnMainThreadAndReraisesInCaller) {
  bool direct = false;
  Synchronize([&] { direct = true; });  // on the main thread: at once
  EXPECT_TRUE(direct);

  std::thread::id ranOn;
  std::string caught;
  TLambdaThread worker([&](TLambdaThread&) {
    Synchronize([&] { ranOn = std::this_thread::get_id(); });
    try {
      Synchronize([] { throw EKVLInvalidOperation("Abort"); });
    } catch (const EKVLInvalidOperation& e) {
      caught = e.what();
    }
  });
  worker.Start();
  worker.WaitFor();
  EXPECT_EQ(ranOn, std::this_thread::get_id());
  EXPECT_EQ(caught, "Abort");
}

TEST(MessagingWait, TimeoutAndSignalledHandles) {
  TPlatformEvent a, b;
  const TWaitHandle both[] = {a.Handle(), b.Handle()};
  auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(WaitForAny(both, 40), kWaitTimeout);
  EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(35));
  EXPECT_EQ(WaitForAny({}, 0), kWaitTimeout);

  b.Set();
  EXPECT_EQ(WaitForAny(both, 0), 1);
  a.Set();
  EXPECT_EQ(WaitForAny(both, kInfinite), 0);  // the lowest signalled one
  EXPECT_TRUE(WaitFor(b.Handle(), 0));        // manual reset: still set
  a.Reset();
  b.Reset();
  EXPECT_FALSE(a.IsSet());
  EXPECT_FALSE(WaitFor(b.Handle(), 0));
  TPlatformEvent preset(true);
  EXPECT_TRUE(preset.IsSet());
  EXPECT_TRUE(preset.Wait(0));
}

TEST(MessagingWait, ServesRequestsUntilHandleIsSignalled) {
  TPlatformEvent never, done;
  int served = 0;
  TMessageWindow window("TMessagingTest", [&](uint32_t, uintptr_t, intptr_t) -> intptr_t { return ++served; });
  TLambdaThread worker([&](TLambdaThread&) {
    window.Send(kWmUser, 0, 0);
    Synchronize([&] { ++served; });
    done.Set();
  });
  worker.Start();
  const TWaitHandle handles[] = {never.Handle(), done.Handle(), worker.Finished()};
  const int index = WaitForAny(handles, 10000);
  EXPECT_TRUE(index == 1 || index == 2);
  worker.WaitFor();
  EXPECT_EQ(served, 2);
}

TEST(MessagingWait, ProcessMessagesServesWhatIsPending) {
  std::atomic<bool> handled{false};
  TMessageWindow window("TMessagingTest", [&](uint32_t, uintptr_t, intptr_t) -> intptr_t {
    handled = true;
    return 1;
  });
  TLambdaThread worker([&](TLambdaThread&) { window.Send(kWmUser, 0, 0); });
  worker.Start();
  const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!handled && std::chrono::steady_clock::now() < limit) {
    ProcessMessages();
    std::this_thread::yield();
  }
  EXPECT_TRUE(handled);
  worker.WaitFor();
}

TEST(MessagingLoop, QuitFromHandlerEndsLoopEvenAfterNestedWait) {
  int calls = 0;
  TMessageWindow window("TMessagingTest", [&](uint32_t, uintptr_t, intptr_t) -> intptr_t {
    ++calls;
    QuitMessageLoop();
    // A wait inside the handler must leave the quit for the loop.
    EXPECT_EQ(WaitForAny({}, 5), kWaitTimeout);
    return 0;
  });
  TLambdaThread worker([&](TLambdaThread&) { window.Send(kWmUser, 0, 0); });
  worker.Start();
  RunMessageLoop();
  EXPECT_EQ(calls, 1);
  worker.WaitFor();
}

TEST(MessagingLoop, WatchCallbackRunsOnOwnerThread) {
  TPlatformEvent signal;
  int calls = 0;
  std::thread::id ranOn;
  {
    TDispatchWatch watch(signal.Handle(), [&] {
      ++calls;
      ranOn = std::this_thread::get_id();
      signal.Reset();
      QuitMessageLoop();
    });
    TLambdaThread worker([&](TLambdaThread&) { signal.Set(); });
    worker.Start();
    RunMessageLoop();
    worker.WaitFor();
  }
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(ranOn, std::this_thread::get_id());
  signal.Set();  // watch removed: nothing runs any more
  ProcessMessages();
  EXPECT_EQ(WaitForAny({}, 0), kWaitTimeout);
  EXPECT_EQ(calls, 1);
}

TEST(MessagingThread, LifecycleTerminationAndFailure) {
  TLambdaThread idle([](TLambdaThread&) {});
  EXPECT_FALSE(idle.IsStarted());
  idle.WaitFor();  // never started: nothing to wait for
  EXPECT_FALSE(idle.IsFinished());

  TPlatformEvent running;
  bool sawTerminate = false;
  std::string selfWait;
  TLambdaThread loop([&](TLambdaThread& self) {
    running.Set();
    while (!self.IsTerminated()) WaitForAny({}, 1);
    sawTerminate = true;
    try {
      self.WaitFor();
    } catch (const EKVLInvalidOperation& e) {
      selfWait = e.what();
    }
  });
  loop.Start();
  EXPECT_THROW(loop.Start(), EKVLInvalidOperation);
  ASSERT_TRUE(running.Wait(10000));
  loop.Terminate();
  loop.WaitFor();
  EXPECT_TRUE(loop.IsFinished());
  EXPECT_TRUE(sawTerminate);
  EXPECT_EQ(selfWait, "Thread cannot wait for itself");

  TLambdaThread failing([](TLambdaThread&) { throw EKVLInvalidOperation("worker failed"); });
  failing.Start();
  failing.WaitFor();
  ASSERT_NE(failing.FatalException(), nullptr);
  EXPECT_THROW(std::rethrow_exception(failing.FatalException()), EKVLInvalidOperation);
}
