// Win32 process mailbox: a message-only window that takes WM_COPYDATA from any process.
#include "KVL/Base/Platform/ProcessMailbox.h"

#include <windows.h>

#include "KVL/Base/Platform/Messaging.h"

namespace KVL::Platform {

class TProcessMailbox::TImpl {
public:
  TImpl(const std::string& className, THandler handler)
      : handler_(std::move(handler)), window_(className, [this](uint32_t msg, uintptr_t, intptr_t lParam) {
          return msg == kWmCopyData ? Deliver(reinterpret_cast<const TCopyData*>(lParam)) : 0;
        }) {}

  intptr_t Handle() const { return window_.Handle(); }

private:
  // 1 tells the sender that the handler ran; 0 (also the default procedure's answer) that
  // nothing was delivered.
  intptr_t Deliver(const TCopyData* record) {
    if (!record) return 0;
    std::string bytes;
    if (record->Size > 0 && record->Bytes) bytes.assign(static_cast<const char*>(record->Bytes), record->Size);
    try {
      handler_(record->Data, bytes);
    } catch (...) {
      // Another process cannot receive the exception; a sender here learns of it as "not delivered".
      return 0;
    }
    return 1;
  }

  THandler handler_;
  TMessageWindow window_;
};

TProcessMailbox::TProcessMailbox(const std::string& className, THandler handler)
    : impl_(std::make_unique<TImpl>(className, std::move(handler))) {}

TProcessMailbox::~TProcessMailbox() = default;

intptr_t TProcessMailbox::Handle() const { return impl_->Handle(); }

bool SendToMailbox(intptr_t handle, uintptr_t data, const std::string& bytes) {
  if (handle == 0 || !IsWindow(reinterpret_cast<HWND>(handle))) return false;
  if (bytes.size() > 0x7FFFFFFF) return false;
  return SendCopyData(handle, 0, data, bytes.data(), static_cast<uint32_t>(bytes.size())) != 0;
}

} // namespace KVL::Platform
