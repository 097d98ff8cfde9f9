// Platform service: a mailbox that other processes of the machine send copy-data messages to.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace KVL::Platform {

// Created on the main thread; its handler runs there, inside the main thread's dispatching
// waits, ProcessMessages and message loop, while the sender waits.
// Windows: a message-only window of the class name; senders use WM_COPYDATA with wParam 0,
// and the handle is the HWND. POSIX: an abstract Unix socket named from the process id,
// which is the handle; it accepts senders of the same user or of root only. One mailbox
// per process on POSIX.
class TProcessMailbox {
public:
  using THandler = std::function<void(uintptr_t data, const std::string& bytes)>;

  TProcessMailbox(const std::string& className, THandler handler);
  ~TProcessMailbox();
  TProcessMailbox(const TProcessMailbox&) = delete;
  TProcessMailbox& operator=(const TProcessMailbox&) = delete;

  intptr_t Handle() const;

  class TImpl;

private:
  std::unique_ptr<TImpl> impl_;
};

// Delivers {data, bytes} to the mailbox of that handle and returns after its handler has
// run. False when no mailbox answers there (a stale handle): nothing is delivered.
bool SendToMailbox(intptr_t handle, uintptr_t data, const std::string& bytes);

} // namespace KVL::Platform
