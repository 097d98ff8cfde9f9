// Picks the clipboard's backend: the system's with native windows, else a process-local store.
#include "KVL/UI/Clipboard.h"

#include "KVL/UI/Application.h"
#include "KVL/UI/WindowHost.h"

namespace KVL::UI {

namespace {

std::string& LocalText() {
  static std::string text;
  return text;
}

bool UseNative() { return !TKVLApplication::UsesHeadlessHosts() && NativeHostAvailable(); }

} // namespace

void SetClipboardText(const std::string& utf8) {
  if (UseNative())
    NativeSetClipboardText(utf8);
  else
    LocalText() = utf8;
}

std::string ClipboardText() { return UseNative() ? NativeClipboardText() : LocalText(); }

} // namespace KVL::UI
