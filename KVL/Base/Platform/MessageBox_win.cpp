// Win32 message dialog: the system's message box, task-modal to the calling thread's windows.
#include "KVL/Base/Platform/MessageBox.h"

#include <windows.h>

#include "KVL/Base/Platform/MessageBoxDetail.h"
#include "KVL/Base/Platform/WinString.h"

namespace KVL::Platform::Detail {

int PlatformMessageDlg(const std::string& text, const std::string& caption, TMsgDlgType type, TMsgDlgButtons buttons,
                       int defaultResult) {
  const std::wstring t = Wide(text), c = Wide(caption);
  // The active window of this thread owns the box when there is one; otherwise the box
  // disables the thread's other windows while it is up.
  HWND owner = GetActiveWindow();
  UINT style = MessageBoxStyle(type, buttons, defaultResult) | (owner ? 0 : MB_TASKMODAL) | MB_SETFOREGROUND;
  // A program started with its standard error redirected (a deployment tool, a test) gets the
  // message there as well; a plain GUI start has no such handle.
  HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
  if (err != nullptr && err != INVALID_HANDLE_VALUE) {
    const std::string line = caption + ": " + text + "\r\n";
    DWORD written = 0;
    WriteFile(err, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
  }
  const int result = MessageBoxW(owner, t.c_str(), c.c_str(), style);
  if (result != 0) return result;
  // No box could be shown (no desktop): the most cautious answer.
  return UnattendedAnswer(buttons);
}

} // namespace KVL::Platform::Detail
