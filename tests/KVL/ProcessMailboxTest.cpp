// The process mailbox: delivery from threads and other processes, stale handles, bad peers.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "KVL/Base/Platform/Event.h"
#include "KVL/Base/Platform/Messaging.h"
#include "KVL/Base/Platform/Process.h"
#include "KVL/Base/Platform/ProcessMailbox.h"
#include "KVL/Base/SysUtils.h"
#include "TestUtil.h"

#ifndef _WIN32
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#endif

using namespace KVL::Platform;

namespace {

struct TDelivery {
  std::thread::id Thread;
  uintptr_t Data;
  std::string Bytes;
};

} // namespace

TEST(ProcessMailbox, WorkerSendsAreHandledOnTheMainThreadWhileItWaits) {
  ASSERT_TRUE(IsMainThread());
  std::vector<TDelivery> got;
  TProcessMailbox box("TMailboxTest", [&](uintptr_t data, const std::string& bytes) {
    if (data == 99) throw KVL::SysUtils::EKVLError("refused");
    got.push_back({std::this_thread::get_id(), data, bytes});
  });
  const std::string binary("a\0b\xFF\xE2\x9C\x93", 7);
  const std::string big(300000, 'x');
  struct TCase {
    uintptr_t Data;
    std::string Bytes;
    bool Delivered;
  };
  const std::vector<TCase> cases = {
      {0xC123, binary, true},
      {0, "", true},
      {99, "a handler that throws", false},  // not delivered, and the mailbox goes on
      {static_cast<uintptr_t>(-1), big, true},
  };
  std::vector<bool> results;
  TPlatformEvent done;
  std::thread worker([&] {
    for (const TCase& c : cases) results.push_back(SendToMailbox(box.Handle(), c.Data, c.Bytes));
    done.Set();
  });
  const bool finished = WaitFor(done.Handle(), 20000);
  worker.join();
  ASSERT_TRUE(finished);
  ASSERT_EQ(results.size(), cases.size());
  size_t next = 0;
  for (size_t i = 0; i < cases.size(); ++i) {
    EXPECT_EQ(results[i], cases[i].Delivered) << i;
    if (!cases[i].Delivered) continue;
    ASSERT_LT(next, got.size());
    EXPECT_EQ(got[next].Thread, std::this_thread::get_id());
    EXPECT_EQ(got[next].Data, cases[i].Data);
    EXPECT_EQ(got[next].Bytes, cases[i].Bytes);
    ++next;
  }
  EXPECT_EQ(got.size(), next);
}

TEST(ProcessMailbox, AnotherProcessDelivers) {
  std::vector<TDelivery> got;
  TProcessMailbox box("TMailboxTest", [&](uintptr_t data, const std::string& bytes) {
    got.push_back({std::this_thread::get_id(), data, bytes});
  });
  const std::string text = "C:\\Program Files\\ONDU\\ONDU.exe \xC3\xA9t\xC3\xA9";
  TProcess child =
      StartProcess(TestUtil::ChildProgramPath(), {"--mailbox-send", std::to_string(box.Handle()), "49153", text});
  ASSERT_TRUE(TestUtil::WaitForExitServing(child, 20000));
  EXPECT_EQ(child.ExitCode(), 0u);
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].Thread, std::this_thread::get_id());
  EXPECT_EQ(got[0].Data, 49153u);
  EXPECT_EQ(got[0].Bytes, text);
}

TEST(ProcessMailbox, StaleHandleTakesNothing) {
  intptr_t stale;
  int calls = 0;
  {
    TProcessMailbox box("TMailboxTest", [&](uintptr_t, const std::string&) { ++calls; });
    stale = box.Handle();
    EXPECT_NE(stale, 0);
    EXPECT_TRUE(SendToMailbox(stale, 1, "x"));  // from its own thread: at once
#ifndef _WIN32
    EXPECT_THROW(TProcessMailbox("TMailboxTest", [](uintptr_t, const std::string&) {}),
                 KVL::SysUtils::EKVLError);  // one per process
#endif
  }
  EXPECT_FALSE(SendToMailbox(stale, 1, "x"));
  EXPECT_FALSE(SendToMailbox(0, 1, "x"));
  TProcess child = StartProcess(TestUtil::ChildProgramPath(), {"--mailbox-send", std::to_string(stale), "1", "x"});
  ASSERT_TRUE(TestUtil::WaitForExitServing(child, 20000));
  EXPECT_EQ(child.ExitCode(), 1u);
  EXPECT_EQ(calls, 1);
}

#ifndef _WIN32

namespace {

// A raw connection to a mailbox, as a misbehaving peer would make it.
int ConnectRaw(intptr_t handle) {
  int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  const std::string name = "kvl-mailbox-" + std::to_string(handle);
  std::memcpy(addr.sun_path + 1, name.data(), name.size());
  if (connect(fd, reinterpret_cast<sockaddr*>(&addr),
              static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + name.size())) != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

} // namespace

TEST(ProcessMailbox, BadPeersAreDroppedAndServingGoesOn) {
  std::vector<std::string> got;
  TProcessMailbox box("TMailboxTest", [&](uintptr_t, const std::string& bytes) { got.push_back(bytes); });
  // A frame one byte over the limit (sent whole), one that stops halfway and then stalls,
  // then a good one; the receiver serves them in this order.
  const uint32_t over = (1u << 20) + 1;
  std::string oversized = {1, 0, 0, 0, 0, 0, 0, 0};
  for (int i = 0; i < 4; ++i) oversized += static_cast<char>((over >> (8 * i)) & 0xFF);
  oversized += std::string(over, 'o');
  const char half[6] = {1, 0, 0, 0, 0, 0};
  int oversizedFd = -1, stallFd = -1;
  bool delivered = false;
  TPlatformEvent done;
  std::thread worker([&] {
    oversizedFd = ConnectRaw(box.Handle());
    // Fails part-way once the receiver has dropped the connection.
    send(oversizedFd, oversized.data(), oversized.size(), MSG_NOSIGNAL);
    stallFd = ConnectRaw(box.Handle());
    send(stallFd, half, sizeof half, MSG_NOSIGNAL);
    delivered = SendToMailbox(box.Handle(), 7, "after");
    done.Set();
  });
  const bool finished = WaitFor(done.Handle(), 20000);
  worker.join();
  ASSERT_TRUE(finished);
  EXPECT_TRUE(delivered);
  ASSERT_EQ(got.size(), 1u);  // nothing of the oversized frame
  EXPECT_EQ(got[0], "after");
  // The stalled connection was closed without an answer.
  ASSERT_GE(stallFd, 0);
  char ack;
  EXPECT_EQ(recv(stallFd, &ack, 1, 0), 0);
  close(oversizedFd);
  close(stallFd);
}

#endif
