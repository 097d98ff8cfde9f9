// POSIX process mailbox: an abstract Unix socket per process, served by the main thread's waits.
#include "KVL/Base/Platform/ProcessMailbox.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <climits>
#include <cstring>
#include <mutex>
#include <thread>

#include "KVL/Base/Platform/File.h"
#include "KVL/Base/Platform/Messaging.h"
#include "KVL/Base/SysUtils.h"

namespace KVL::Platform {

namespace {

using Clock = std::chrono::steady_clock;

// A frame: data (u64 LE), size (u32 LE), then size bytes; the receiver answers one byte
// once its handler has run.
constexpr size_t kHeaderSize = 12;
constexpr uint32_t kMaxFrameBytes = 1u << 20;
// How long the receiving main thread gives a sender to deliver its whole frame.
constexpr int kFrameTimeoutMs = 2000;
constexpr char kAck = 1;

// RAII for a descriptor.
class TFd {
public:
  explicit TFd(int fd = -1) : fd_(fd) {}
  ~TFd() {
    if (fd_ >= 0) ::close(fd_);
  }
  TFd(const TFd&) = delete;
  TFd& operator=(const TFd&) = delete;
  int Get() const { return fd_; }

private:
  int fd_;
};

// The abstract address of a process's mailbox (Linux: no file, gone with the socket).
socklen_t MailboxAddress(intptr_t pid, sockaddr_un& addr) {
  std::memset(&addr, 0, sizeof addr);
  addr.sun_family = AF_UNIX;
  const std::string name = "kvl-mailbox-" + std::to_string(pid);
  std::memcpy(addr.sun_path + 1, name.data(), name.size());  // sun_path[0] == 0: abstract
  return static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + name.size());
}

// Reads exactly count bytes from a non-blocking socket before deadline.
bool ReadExact(int fd, char* p, size_t count, Clock::time_point deadline) {
  while (count > 0) {
    ssize_t n = ::recv(fd, p, count, 0);
    if (n > 0) {
      p += n;
      count -= static_cast<size_t>(n);
      continue;
    }
    if (n == 0) return false;  // the peer closed early
    if (errno == EINTR) continue;
    if (errno != EAGAIN && errno != EWOULDBLOCK) return false;
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) return false;
    pollfd pfd = {fd, POLLIN, 0};
    if (::poll(&pfd, 1, static_cast<int>(left)) < 0 && errno != EINTR) return false;
  }
  return true;
}

bool WriteAll(int fd, const char* p, size_t count) {
  while (count > 0) {
    ssize_t n = ::send(fd, p, count, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    p += n;
    count -= static_cast<size_t>(n);
  }
  return true;
}

void PutLE(char* p, uint64_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) p[i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

uint64_t GetLE(const char* p, int bytes) {
  uint64_t value = 0;
  for (int i = 0; i < bytes; ++i) value |= static_cast<uint64_t>(static_cast<unsigned char>(p[i])) << (8 * i);
  return value;
}

// Only the user we run as, or root (the elevated instance), may deliver.
bool PeerAllowed(int fd) {
  ucred cred{};
  socklen_t len = sizeof cred;
  if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &cred, &len) != 0 || len != sizeof cred) return false;
  return cred.uid == 0 || cred.uid == ::geteuid();
}

// Runs the handler, reporting whether it finished without an exception (which has no way back
// to another process, so it is treated as "not delivered" in every case).
bool RunHandler(const TProcessMailbox::THandler& handler, uintptr_t data, const std::string& bytes) {
  try {
    handler(data, bytes);
    return true;
  } catch (...) {
    return false;
  }
}

} // namespace

class TProcessMailbox::TImpl {
public:
  explicit TImpl(THandler handler) : handler_(std::move(handler)) {
    int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) throw SysUtils::EKVLError("Cannot create the process mailbox: " + LastSystemErrorText());
    listen_ = std::make_unique<TFd>(fd);
    sockaddr_un addr;
    const socklen_t len = MailboxAddress(::getpid(), addr);
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&addr), len) != 0 || ::listen(fd, 16) != 0)
      throw SysUtils::EKVLError("Cannot create the process mailbox: " + LastSystemErrorText());
    watch_ = std::make_unique<TDispatchWatch>(fd, [this] { Accept(); });
  }

  intptr_t Handle() const { return static_cast<intptr_t>(::getpid()); }

  // A send from the owner thread to its own mailbox runs the handler directly: the thread
  // cannot wait for itself to accept.
  bool DeliverDirect(uintptr_t data, const std::string& bytes) const { return RunHandler(handler_, data, bytes); }

private:
  void Accept() {
    int fd;
    do fd = ::accept4(listen_->Get(), nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
    while (fd < 0 && errno == EINTR);
    if (fd < 0) return;  // a connection that went away again, or no resources: nothing to serve
    TFd conn(fd);
    if (!PeerAllowed(fd)) return;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(kFrameTimeoutMs);
    char header[kHeaderSize];
    if (!ReadExact(fd, header, sizeof header, deadline)) return;
    const uint64_t data = GetLE(header, 8);
    const uint32_t size = static_cast<uint32_t>(GetLE(header + 8, 4));
    if (size > kMaxFrameBytes) return;
    std::string bytes(size, '\0');
    if (!ReadExact(fd, bytes.data(), size, deadline)) return;
    if (!RunHandler(handler_, static_cast<uintptr_t>(data), bytes)) return;
    WriteAll(fd, &kAck, 1);
  }

  THandler handler_;
  std::unique_ptr<TFd> listen_;
  std::unique_ptr<TDispatchWatch> watch_;
};

namespace {
std::mutex gMailboxLock;
TProcessMailbox::TImpl* gMailbox = nullptr;  // this process's mailbox, borrowed
std::thread::id gMailboxOwner;
} // namespace

TProcessMailbox::TProcessMailbox(const std::string& /*className*/, THandler handler)
    : impl_(std::make_unique<TImpl>(std::move(handler))) {
  std::lock_guard<std::mutex> guard(gMailboxLock);
  gMailbox = impl_.get();
  gMailboxOwner = std::this_thread::get_id();
}

TProcessMailbox::~TProcessMailbox() {
  std::lock_guard<std::mutex> guard(gMailboxLock);
  if (gMailbox == impl_.get()) gMailbox = nullptr;
}

intptr_t TProcessMailbox::Handle() const { return impl_->Handle(); }

bool SendToMailbox(intptr_t handle, uintptr_t data, const std::string& bytes) {
  if (handle <= 0 || handle > INT_MAX || bytes.size() > kMaxFrameBytes) return false;
  if (handle == static_cast<intptr_t>(::getpid())) {
    TProcessMailbox::TImpl* own;
    std::thread::id owner;
    {
      std::lock_guard<std::mutex> guard(gMailboxLock);
      own = gMailbox;
      owner = gMailboxOwner;
    }
    if (!own) return false;
    // Only the owner thread destroys the mailbox, so for that thread it stays valid here.
    if (owner == std::this_thread::get_id()) return own->DeliverDirect(data, bytes);
  }
  TFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
  if (fd.Get() < 0) return false;
  sockaddr_un addr;
  const socklen_t len = MailboxAddress(handle, addr);
  int r;
  do r = ::connect(fd.Get(), reinterpret_cast<const sockaddr*>(&addr), len);
  while (r != 0 && errno == EINTR);
  if (r != 0) return false;
  std::string frame(kHeaderSize, '\0');
  PutLE(frame.data(), static_cast<uint64_t>(data), 8);
  PutLE(frame.data() + 8, bytes.size(), 4);
  frame += bytes;
  if (!WriteAll(fd.Get(), frame.data(), frame.size())) return false;
  // Like a synchronous window message: wait as long as the receiver takes to run its handler.
  char ack = 0;
  ssize_t n;
  do n = ::recv(fd.Get(), &ack, 1, 0);
  while (n < 0 && errno == EINTR);
  return n == 1 && ack == kAck;
}

} // namespace KVL::Platform
