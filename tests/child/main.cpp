// ondu_test_child: a helper program that the process and resource tests start.
// Options run in order: --marker PATH (write "ok" to PATH), --sleep MS, --resource NAME TEXT
// (exit 0 when the running executable's resource NAME holds TEXT, 3 when it differs, 4 when
// missing), --window CLASS (Windows: show a window of that class and exit 42 once it is
// closed; 91 when the system cannot create one), --stubborn-window CLASS MS (Windows: the
// same, but the window ignores close requests and ends by itself after MS milliseconds),
// --exit N (exit with N). Without --exit the code is 0.
// Named Elevator.exe it stands in for the player's companion program instead: it appends its
// arguments, blank-separated, as one line to Elevator.log beside itself and exits 0.
#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "KVL/Base/Platform/CommandLine.h"
#include "KVL/Base/Platform/Process.h"
#include "KVL/Base/Platform/Resources.h"
#include "KVL/Base/SysUtils.h"

#ifdef _WIN32
#include <windows.h>

namespace {

LRESULT CALLBACK ClosableProc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_DESTROY) PostQuitMessage(42);
  return DefWindowProcW(w, msg, wp, lp);
}

// Ignores close requests; its timer ends it.
LRESULT CALLBACK StubbornProc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_CLOSE) return 0;
  if (msg == WM_TIMER) DestroyWindow(w);
  return ClosableProc(w, msg, wp, lp);
}

// lifetimeMs > 0: the window ignores close requests and destroys itself after that time.
int RunWindow(const std::string& className, int lifetimeMs = 0) {
  std::u16string u = KVL::SysUtils::Utf8ToUtf16(className);
  std::wstring cls(u.begin(), u.end());
  WNDCLASSW wc = {};
  wc.lpfnWndProc = lifetimeMs > 0 ? StubbornProc : ClosableProc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = cls.c_str();
  if (!RegisterClassW(&wc)) return 90;
  HWND w = CreateWindowExW(0, cls.c_str(), L"child", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr, nullptr,
                           wc.hInstance, nullptr);
  if (!w) return 91;
  if (lifetimeMs > 0) SetTimer(w, 1, static_cast<UINT>(lifetimeMs), nullptr);
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return static_cast<int>(msg.wParam);
}

} // namespace
#endif

// The companion-program stand-in: records how it was called.
static int RunAsElevator(const std::string& exe, const std::vector<std::string>& args) {
  std::string line;
  for (size_t i = 1; i < args.size(); ++i) line += (i > 1 ? " " : "") + args[i];
  std::ofstream(std::filesystem::u8path(KVL::Platform::ExtractFilePath(exe) + "Elevator.log"),
                std::ios::binary | std::ios::app)
      << line << "\n";
  return 0;
}

int main() {
  std::vector<std::string> args = KVL::Platform::ProcessArguments();
  const std::string exe = KVL::Platform::ExecutablePath();
  if (KVL::SysUtils::SameTextAscii(exe.substr(KVL::Platform::ExtractFilePath(exe).size()), "Elevator.exe"))
    return RunAsElevator(exe, args);
  int code = 0;
  for (size_t i = 1; i < args.size(); ++i) {
    const std::string& opt = args[i];
    const bool hasValue = i + 1 < args.size();
    if (opt == "--exit" && hasValue) {
      code = std::stoi(args[++i]);
    } else if (opt == "--marker" && hasValue) {
      std::ofstream(args[++i], std::ios::binary) << "ok";
    } else if (opt == "--sleep" && hasValue) {
      std::this_thread::sleep_for(std::chrono::milliseconds(std::stoi(args[++i])));
    } else if (opt == "--resource" && i + 2 < args.size()) {
      const std::string name = args[++i], text = args[++i];
      try {
        KVL::Platform::TResourceModule self;
        std::unique_ptr<KVL::Platform::TResourceData> data = self.Load(name);
        if (std::string(reinterpret_cast<const char*>(data->Data()), data->Size()) != text) return 3;
      } catch (const KVL::SysUtils::EKVLResourceNotFound& e) {
        return std::string(e.what()) == "Resource " + name + " not found" ? 4 : 5;
      }
    } else if (opt == "--stubborn-window" && i + 2 < args.size()) {
#ifdef _WIN32
      const std::string cls = args[++i];
      return RunWindow(cls, std::stoi(args[++i]));
#else
      return 99;
#endif
    } else if (opt == "--window" && hasValue) {
#ifdef _WIN32
      return RunWindow(args[++i]);
#else
      return 99;
#endif
    } else {
      return 98;
    }
  }
  return code;
}
