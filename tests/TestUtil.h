// Shared helpers of the test program: a scratch folder and whole-file I/O.
#pragma once

#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include "KVL/Base/Platform/Process.h"

namespace TestUtil {

// A fresh folder below the temporary folder, removed with everything in it on destruction.
class TTempDir {
public:
  TTempDir();
  ~TTempDir();
  TTempDir(const TTempDir&) = delete;
  TTempDir& operator=(const TTempDir&) = delete;
  // The folder, with a trailing separator.
  const std::string& Path() const { return path_; }
  // Path() + name, with '/' in name turned into the platform's separator.
  std::string File(const std::string& name) const;

private:
  std::string path_;
};

std::string ReadWholeFile(const std::string& path);

// What a command-line tool's entry function answered: exit code and both outputs.
struct TToolRun {
  int code;
  std::string out, err;
};

// Runs a tool's entry function (args, out, err) -> exit code with captured outputs.
template <typename TEntry>
TToolRun RunToolCapturing(TEntry entry, const std::vector<std::string>& args) {
  std::ostringstream out, err;
  int code = entry(args, out, err);
  return {code, out.str(), err.str()};
}
// The helper program ondu_test_child beside the test program, and a copy of it at path
// (the copy can take resources; the original may be running).
std::string ChildProgramPath();
void CopyChildProgram(const std::string& path);
void WriteWholeFile(const std::string& path, const std::string& bytes);

// Waits up to timeoutMs for a file to appear (a detached program's mark).
bool WaitForFile(const std::string& path, int timeoutMs);

// Waits up to timeoutMs for a child to end while the calling thread keeps serving its
// messages, watches and mailbox; true once it has ended.
bool WaitForExitServing(KVL::Platform::TProcess& process, int timeoutMs);

} // namespace TestUtil
