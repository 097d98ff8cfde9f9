// The desktop's light/dark preference on POSIX: gsettings' color-scheme, asked for and monitored.
#include "KVL/UI/ColorScheme.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#ifdef __linux__
#include <sys/prctl.h>
#endif

#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "KVL/Base/Platform/File.h"
#include "KVL/Base/Platform/Messaging.h"
#include "KVL/Base/Platform/Process.h"
#include "KVL/Base/SysUtils.h"

namespace KVL::UI {

namespace {

constexpr char kSchema[] = "org.gnome.desktop.interface";
constexpr char kKey[] = "color-scheme";
// A desktop bus that does not answer must not hold up the start.
constexpr int64_t kAnswerTimeoutMs = 1500;

// The full path of a program on PATH, or "".
std::string FindOnPath(const std::string& name) {
  const char* env = std::getenv("PATH");
  const std::string path = env ? env : "";
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find(':', start);
    if (end == std::string::npos) end = path.size();
    std::string candidate = path.substr(start, end - start);
    if (!candidate.empty()) {
      candidate += '/';
      candidate += name;
      if (access(candidate.c_str(), X_OK) == 0) return candidate;
    }
    start = end + 1;
  }
  return std::string();
}

// "dark" for a value that prefers dark, else "light" (default, prefer-light).
std::string SchemeOf(const std::string& value) {
  return value.find("prefer-dark") != std::string::npos ? "dark" : "light";
}

std::optional<bool> Override() {
  const char* env = std::getenv("KVL_COLOR_SCHEME");
  if (env && *env) {
    if (SysUtils::SameTextAscii(env, "dark")) return true;
    if (SysUtils::SameTextAscii(env, "light")) return false;
  }
  return std::nullopt;
}

// One `gsettings get` on its way: started, answered later.
class TSchemeQuery {
public:
  // Nothing starts without gsettings on PATH; the answer is then "".
  TSchemeQuery() {
    if (FindOnPath("gsettings").empty()) return;
    try {
      file_ = Platform::CreateTempFile(Platform::TempDirectory(), "kvl");
      process_ = Platform::StartProcessCapturing("gsettings", {"get", kSchema, kKey}, file_);
      started_ = true;
    } catch (const std::exception&) {
      Cleanup();
    }
  }
  ~TSchemeQuery() { Cleanup(); }
  TSchemeQuery(const TSchemeQuery&) = delete;
  TSchemeQuery& operator=(const TSchemeQuery&) = delete;

  // "dark", "light" or "" when gsettings cannot tell (missing, failing, not answering).
  std::string Answer() {
    if (!started_) return std::string();
    started_ = false;
    std::string output;
    try {
      if (!process_.WaitForExit(kAnswerTimeoutMs)) {
        kill(static_cast<pid_t>(process_.Id()), SIGKILL);
        process_.WaitForExit(1000);
        Cleanup();
        return std::string();
      }
      {
        Platform::TPlatformFile f = Platform::TPlatformFile::Open(file_, Platform::TFileOpenMode::fomRead);
        char buf[256];
        output.assign(buf, f.Read(buf, sizeof buf));
      }
      const bool ok = process_.ExitCode() == 0;
      Cleanup();
      if (!ok) return std::string();
    } catch (const std::exception&) {
      Cleanup();
      return std::string();
    }
    return SchemeOf(output);
  }

private:
  void Cleanup() {
    if (!file_.empty()) {
      try {
        Platform::RemoveFile(file_);
      } catch (const std::exception&) {
      }
      file_.clear();
    }
  }

  Platform::TProcess process_;
  std::string file_;
  bool started_ = false;
};

std::unique_ptr<TSchemeQuery>& PendingQuery() {
  static std::unique_ptr<TSchemeQuery> query;
  return query;
}

// `gsettings monitor` printing a line per change into a pipe that the main thread watches.
class TSchemeMonitor : public TKVLColorSchemeFollower {
public:
  TSchemeMonitor(const std::string& gsettings, std::function<void(bool)> onChange) : onChange_(std::move(onChange)) {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) return;
    // Everything the child needs is made before fork: only async-signal-safe calls follow.
    std::vector<std::string> args = {gsettings, "monitor", kSchema, kKey};
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    const pid_t parent = getpid();
    const pid_t pid = fork();
    if (pid == 0) {
#ifdef __linux__
      // The monitor must not outlive us, however we end.
      prctl(PR_SET_PDEATHSIG, SIGTERM);
      if (getppid() != parent) _exit(0);
#endif
      const int null = open("/dev/null", O_RDWR);
      if (null < 0 || dup2(null, 0) < 0 || dup2(fds[1], 1) < 0 || dup2(null, 2) < 0) _exit(127);
      execv(argv[0], argv.data());
      _exit(127);
    }
    close(fds[1]);
    if (pid < 0) {
      close(fds[0]);
      return;
    }
    (void)parent;
    pid_ = pid;
    fd_ = fds[0];
    fcntl(fd_, F_SETFL, fcntl(fd_, F_GETFL) | O_NONBLOCK);
    watch_ = std::make_unique<Platform::TDispatchWatch>(fd_, [this] { Drain(); });
  }

  ~TSchemeMonitor() override {
    watch_.reset();
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      waitpid(pid_, nullptr, 0);
    }
    if (fd_ >= 0) close(fd_);
  }
  TSchemeMonitor(const TSchemeMonitor&) = delete;
  TSchemeMonitor& operator=(const TSchemeMonitor&) = delete;

private:
  // Reads what the monitor wrote; every whole line is one change ("color-scheme: 'prefer-dark'").
  void Drain() {
    char buf[512];
    for (;;) {
      const ssize_t n = read(fd_, buf, sizeof buf);
      if (n > 0) {
        pending_.append(buf, static_cast<size_t>(n));
        continue;
      }
      if (n == 0) {
        // The monitor has gone: nothing more will come, and a pipe at its end would wake
        // the loop for ever. (A watch may be removed from its own callback.)
        watch_.reset();
      }
      break;
    }
    size_t eol;
    while ((eol = pending_.find('\n')) != std::string::npos) {
      const std::string line = pending_.substr(0, eol);
      pending_.erase(0, eol + 1);
      if (line.find(kKey) != std::string::npos) onChange_(SchemeOf(line) == "dark");
    }
  }

  std::function<void(bool)> onChange_;
  pid_t pid_ = -1;
  int fd_ = -1;
  std::string pending_;
  std::unique_ptr<Platform::TDispatchWatch> watch_;
};

} // namespace

bool NativeDarkModePreferred() {
  if (std::optional<bool> forced = Override()) {
    PendingQuery().reset();
    return *forced;
  }
  std::unique_ptr<TSchemeQuery> query = std::move(PendingQuery());
  if (!query) query = std::make_unique<TSchemeQuery>();
  const std::string scheme = query->Answer();
  if (!scheme.empty()) return scheme == "dark";
  const char* theme = std::getenv("GTK_THEME");
  if (theme) {
    const std::string t = theme;
    return t.size() >= 5 && SysUtils::SameTextAscii(t.substr(t.size() - 5), ":dark");
  }
  return false;
}

void BeginColorSchemeQuery() {
  if (Override() || PendingQuery()) return;
  PendingQuery() = std::make_unique<TSchemeQuery>();
}

std::unique_ptr<TKVLColorSchemeFollower> FollowColorScheme(std::function<void(bool dark)> onChange) {
  if (Override()) return nullptr;
  const std::string gsettings = FindOnPath("gsettings");
  if (gsettings.empty()) return nullptr;
  return std::make_unique<TSchemeMonitor>(gsettings, std::move(onChange));
}

} // namespace KVL::UI
