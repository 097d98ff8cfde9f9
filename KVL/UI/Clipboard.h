// The clipboard's text: the system's one with native windows, a process-local one otherwise.
#pragma once

#include <string>

namespace KVL::UI {

// Text in UTF-8. With headless hosts (tests) or without a display the text stays in this
// process. Main thread: on X11 a paste waits for the selection's owner (at most a second,
// then the paste is empty) while the main thread keeps dispatching.
void SetClipboardText(const std::string& utf8);
// Empty when the clipboard holds no text.
std::string ClipboardText();

// Native backends (Win32: CF_UNICODETEXT; X11: the CLIPBOARD selection).
void NativeSetClipboardText(const std::string& utf8);
std::string NativeClipboardText();

} // namespace KVL::UI
