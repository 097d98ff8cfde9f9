// Appends one line per start of a stand-in program to its record file.
#include "StartLog.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <exception>

#include "KVL/Base/Platform/CommandLine.h"
#include "KVL/Base/Platform/File.h"
#include "KVL/Base/Platform/Process.h"

namespace OnduSample {

using KVL::Platform::TFileOpenMode;
using KVL::Platform::TPlatformFile;

std::string StartLogFolder() {
  const char* env = std::getenv("ONDU_STANDIN_LOG_DIR");
  if (env && *env) {
    std::string folder = env;
    if (folder.back() != '/' && folder.back() != KVL::Platform::kPathDelim) folder += KVL::Platform::kPathDelim;
    return folder;
  }
  return KVL::Platform::ExtractFilePath(KVL::Platform::ExecutablePath());
}

std::string FormatStartLine(const std::string& exePath, const std::vector<std::string>& args) {
  std::vector<std::string> rest;
  if (args.size() > 1) rest.assign(args.begin() + 1, args.end());
  return UtcTimeStamp() + '\t' + exePath + '\t' + KVL::Platform::JoinArguments(rest) + "\r\n";
}

std::string UtcTimeStamp() {
  const std::time_t now = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
  std::tm utc{};
#ifdef _WIN32
  gmtime_s(&utc, &now);
#else
  gmtime_r(&now, &utc);
#endif
  char stamp[32];
  std::strftime(stamp, sizeof stamp, "%Y-%m-%dT%H:%M:%SZ", &utc);
  return stamp;
}

int AppendRecordLine(const std::string& logName, const std::string& line) {
  const std::string path = StartLogFolder() + logName;
  try {
    TPlatformFile file;
    if (!file.TryOpen(path, TFileOpenMode::fomReadWrite)) file = TPlatformFile::Open(path, TFileOpenMode::fomCreate);
    file.Seek(0, 2);
    if (file.Write(line.data(), line.size()) != line.size()) {
      std::fprintf(stderr, "%s: write failed: %s\n", path.c_str(), KVL::Platform::LastSystemErrorText().c_str());
      return 1;
    }
    return 0;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s: %s\n", path.c_str(), e.what());
    return 1;
  }
}

int RecordStart(const std::string& logName) {
  std::string line;
  try {
    line = FormatStartLine(KVL::Platform::ExecutablePath(), KVL::Platform::ProcessArguments());
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s: %s\n", (StartLogFolder() + logName).c_str(), e.what());
    return 1;
  }
  return AppendRecordLine(logName, line);
}

} // namespace OnduSample
