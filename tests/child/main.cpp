// ondu_test_child: a helper program that the process and resource tests start.
// Options run in order: --marker PATH (write "ok" to PATH), --sleep MS, --resource NAME TEXT
// (exit 0 when the running executable's resource NAME holds TEXT, 3 when it differs, 4 when
// missing), --window CLASS (Windows: show a window of that class and exit 42 once it is
// closed; 91 when the system cannot create one), --exit N (exit with N). Without --exit
// the code is 0.
#include <chrono>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "KVL/Base/Platform/CommandLine.h"
#include "KVL/Base/Platform/Resources.h"
#include "KVL/Base/SysUtils.h"

#ifdef _WIN32
#include <windows.h>

namespace {

int RunWindow(const std::string& className) {
  std::u16string u = KVL::SysUtils::Utf8ToUtf16(className);
  std::wstring cls(u.begin(), u.end());
  WNDCLASSW wc = {};
  wc.lpfnWndProc = [](HWND w, UINT msg, WPARAM wp, LPARAM lp) -> LRESULT {
    if (msg == WM_DESTROY) PostQuitMessage(42);
    return DefWindowProcW(w, msg, wp, lp);
  };
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = cls.c_str();
  if (!RegisterClassW(&wc)) return 90;
  HWND w = CreateWindowExW(0, cls.c_str(), L"child", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr, nullptr,
                           wc.hInstance, nullptr);
  if (!w) return 91;
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return static_cast<int>(msg.wParam);
}

} // namespace
#endif

int main() {
  std::vector<std::string> args = KVL::Platform::ProcessArguments();
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
    } else if (opt == "--wait-for" && hasValue) {
      // --wait-for PATH: runs until the file exists (at most a minute), keeping the program's
      // file in use for as long as a test needs.
      const std::string path = args[++i];
      for (int waited = 0; waited < 60000 && !std::ifstream(path).good(); waited += 20)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    } else if (opt == "--resource" && i + 2 < args.size()) {
      const std::string name = args[++i], text = args[++i];
      try {
        KVL::Platform::TResourceModule self;
        std::unique_ptr<KVL::Platform::TResourceData> data = self.Load(name);
        if (std::string(reinterpret_cast<const char*>(data->Data()), data->Size()) != text) return 3;
      } catch (const KVL::SysUtils::EKVLResourceNotFound& e) {
        return std::string(e.what()) == "Resource " + name + " not found" ? 4 : 5;
      }
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
