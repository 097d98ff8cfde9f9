// Shared helpers of the test program.
#include "TestUtil.h"

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "KVL/Base/Platform/File.h"
#include "KVL/Base/Platform/Messaging.h"
#include "KVL/Base/Platform/Process.h"

namespace TestUtil {

namespace fs = std::filesystem;

TTempDir::TTempDir() {
  static std::atomic<int> counter{0};
  auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
  fs::path p = fs::u8path(KVL::Platform::TempDirectory()) /
               ("ondu-test-" + std::to_string(stamp) + "-" + std::to_string(counter++));
  fs::create_directories(p);
  std::u8string u8 = p.u8string();
  path_.assign(u8.begin(), u8.end());
  path_ += KVL::Platform::kPathDelim;
}

TTempDir::~TTempDir() {
  std::error_code ec;
  fs::remove_all(fs::u8path(path_), ec);
}

std::string TTempDir::File(const std::string& name) const {
  std::string n = name;
  for (char& c : n)
    if (c == '/') c = KVL::Platform::kPathDelim;
  return path_ + n;
}

std::string ReadWholeFile(const std::string& path) {
  std::ifstream in(fs::u8path(path), std::ios::binary);
  std::ostringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

std::string ChildProgramPath() {
#ifdef _WIN32
  const char* suffix = ".exe";
#else
  const char* suffix = "";
#endif
  return KVL::Platform::ExtractFilePath(KVL::Platform::ExecutablePath()) + "ondu_test_child" + suffix;
}

void CopyChildProgram(const std::string& path) {
  fs::copy_file(fs::u8path(ChildProgramPath()), fs::u8path(path), fs::copy_options::overwrite_existing);
}

bool WaitForFile(const std::string& path, int timeoutMs) {
  for (int waited = 0; waited < timeoutMs; waited += 20) {
    if (KVL::Platform::FileExists(path)) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return KVL::Platform::FileExists(path);
}

bool WaitForExitServing(KVL::Platform::TProcess& process, int timeoutMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (!process.WaitForExit(0)) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    if (process.NativeWaitable() >= 0) KVL::Platform::WaitFor(process.NativeWaitable(), 50);
    else KVL::Platform::WaitForAny({}, 20);
  }
  return true;
}

void WriteWholeFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(fs::u8path(path), std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

} // namespace TestUtil
