// POSIX processes: fork/exec with exec failures reported back, pidfd waits, pkexec, xdg-open and X11 windows.
#include "KVL/Base/Platform/Process.h"

#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <poll.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <vector>

// After the system's headers: Xlib defines macros with common names.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace KVL::Platform {

namespace {

std::string ReadLink(const std::string& path) {
  std::vector<char> buf(PATH_MAX);
  for (;;) {
    ssize_t n = readlink(path.c_str(), buf.data(), buf.size());
    if (n < 0) return std::string();
    if (static_cast<size_t>(n) < buf.size()) return std::string(buf.data(), static_cast<size_t>(n));
    buf.resize(buf.size() * 2);
  }
}

bool IsExecutableFile(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(path.c_str(), X_OK) == 0;
}

// A program name as execvp would find it, resolved before fork so that the child only execs.
std::string FindProgram(const std::string& name) {
  if (name.find('/') != std::string::npos) return name;
  const char* env = getenv("PATH");
  std::string path = env ? env : "/usr/bin:/bin";
  size_t start = 0;
  for (;;) {
    size_t end = path.find(':', start);
    std::string dir = path.substr(start, end == std::string::npos ? std::string::npos : end - start);
    // Built piece by piece: GCC 12 at -O3 misreads dir = "." and dir + "/" + name as
    // overlapping copies.
    if (dir.empty()) dir.push_back('.');
    std::string candidate = dir;
    candidate += '/';
    candidate += name;
    if (IsExecutableFile(candidate)) return candidate;
    if (end == std::string::npos) return std::string();
    start = end + 1;
  }
}

[[noreturn]] void ChildFail(int pipeFd) {
  int err = errno;
  ssize_t ignored = write(pipeFd, &err, sizeof err);
  (void)ignored;
  _exit(127);
}

// Starts path with argv; returns the child's pid, or -1 with errno set when it could not be
// executed. A detached program runs in its own session as a grandchild (nobody has to reap
// it), with its standard streams on /dev/null.
pid_t Spawn(const std::string& path, const std::vector<std::string>& args, const std::string& workDir, bool detached,
            const std::string& outputFile = std::string()) {
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) return -1;
  pid_t pid = fork();
  if (pid < 0) {
    int err = errno;
    close(fds[0]);
    close(fds[1]);
    errno = err;
    return -1;
  }
  if (pid == 0) {
    // Only async-signal-safe calls from here on: the parent may have other threads.
    close(fds[0]);
    if (detached) {
      setsid();
      int nul = open("/dev/null", O_RDWR);
      if (nul >= 0) {
        dup2(nul, 0);
        dup2(nul, 1);
        dup2(nul, 2);
        if (nul > 2) close(nul);
      }
      pid_t grandchild = fork();
      if (grandchild < 0) ChildFail(fds[1]);
      if (grandchild > 0) _exit(0);
    }
    if (!outputFile.empty()) {
      int out = open(outputFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      if (out < 0) ChildFail(fds[1]);
      dup2(out, 1);
      dup2(out, 2);
      if (out > 2) close(out);
    }
    if (!workDir.empty() && chdir(workDir.c_str()) != 0) ChildFail(fds[1]);
    execv(path.c_str(), argv.data());
    ChildFail(fds[1]);
  }
  close(fds[1]);
  // The pipe closes on a successful exec and carries errno otherwise.
  int childErr = 0;
  ssize_t n;
  do n = read(fds[0], &childErr, sizeof childErr);
  while (n < 0 && errno == EINTR);
  close(fds[0]);
  if (detached || n == sizeof childErr) {
    int status;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
  }
  if (n == sizeof childErr) {
    errno = childErr;
    return -1;
  }
  return pid;
}

std::string ErrorText(int err) {
  char buf[256];
  return strerror_r(err, buf, sizeof buf);
}

TProcess Start(const std::string& program, std::vector<std::string> argv, const std::string& workDir,
               const std::string& outputFile = std::string()) {
  const std::string path = FindProgram(program);
  if (path.empty()) throw EKVLProcessError(ENOENT, "Cannot start " + program + ": " + ErrorText(ENOENT));
  argv.insert(argv.begin(), program);
  pid_t pid = Spawn(path, argv, workDir, false, outputFile);
  if (pid < 0) {
    int err = errno;
    throw EKVLProcessError(static_cast<uint32_t>(err), "Cannot start " + program + ": " + ErrorText(err));
  }
  intptr_t waitable = -1;
#ifdef SYS_pidfd_open
  // Older kernels answer ENOSYS; WaitForExit then polls waitpid instead.
  waitable = static_cast<intptr_t>(syscall(SYS_pidfd_open, pid, 0));
  if (waitable < 0) waitable = -1;
#endif
  return TProcess(static_cast<uint32_t>(pid), waitable);
}

uint32_t DecodeStatus(int status) {
  if (WIFEXITED(status)) return static_cast<uint32_t>(WEXITSTATUS(status));
  if (WIFSIGNALED(status)) return 128u + static_cast<uint32_t>(WTERMSIG(status));
  return 255;
}

} // namespace

std::string ExecutablePath() { return ReadLink("/proc/self/exe"); }

uint32_t CurrentProcessId() { return static_cast<uint32_t>(getpid()); }

void HardenLibrarySearch() {}

void TProcess::Release() {
  if (waitable_ >= 0) close(static_cast<int>(waitable_));
  if (id_ != 0 && !exited_) {
    // Reap it if it has already ended; a running child is left to run.
    int status;
    waitpid(static_cast<pid_t>(id_), &status, WNOHANG);
  }
  id_ = 0;
  waitable_ = -1;
}

bool TProcess::WaitForExit(int timeoutMs) {
  if (exited_ || id_ == 0) return exited_;
  const pid_t pid = static_cast<pid_t>(id_);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs);
  for (;;) {
    int status = 0;
    pid_t r = waitpid(pid, &status, timeoutMs < 0 ? 0 : WNOHANG);
    if (r == pid) {
      exited_ = true;
      exitCode_ = DecodeStatus(status);
      return true;
    }
    if (r < 0 && errno == ECHILD) {
      // Reaped elsewhere (a handler for SIGCHLD, say): ended, code unknown.
      exited_ = true;
      exitCode_ = 255;
      return true;
    }
    if (r < 0 && errno == EINTR) continue;
    if (r < 0) return false;
    if (timeoutMs < 0) continue;
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return false;
    if (waitable_ >= 0) {
      pollfd p = {static_cast<int>(waitable_), POLLIN, 0};
      poll(&p, 1, static_cast<int>(left.count()));
    } else {
      timespec ts = {0, 10 * 1000 * 1000};  // without a pidfd, look again every 10 ms
      nanosleep(&ts, nullptr);
    }
  }
}

bool TProcess::WaitForInputIdle(int) { return true; }

TProcess StartProcess(const std::string& program, const std::vector<std::string>& args, const std::string& workDir) {
  return Start(program, args, workDir);
}

TProcess StartProcessCapturing(const std::string& program, const std::vector<std::string>& args,
                               const std::string& outputFile, const std::string& workDir) {
  return Start(program, args, workDir, outputFile);
}

TProcess StartProcessCapturing(const std::string& commandLine, const std::string& outputFile) {
  std::vector<std::string> argv = SplitCommandLine(commandLine);
  if (argv.empty()) throw EKVLProcessError(ENOENT, "Cannot start an empty command line");
  std::string program = argv.front();
  argv.erase(argv.begin());
  return Start(program, argv, std::string(), outputFile);
}

TProcess StartProcess(const std::string& commandLine) { return StartProcessCapturing(commandLine, std::string()); }

std::optional<TProcess> ShellExecuteRunAs(const std::string& file, const std::string& parameters,
                                          const std::string& workDir) {
  if (FindProgram("pkexec").empty()) throw EKVLProcessError(ENOSYS, "elevation is not available");
  // pkexec starts the program with a clean environment in the root's home; a refused
  // prompt shows as exit code 126 of the returned process.
  std::vector<std::string> args = {file};
  for (std::string& a : SplitArguments(parameters)) args.push_back(std::move(a));
  return Start("pkexec", args, workDir);
}

bool ShellOpen(const std::string& file, const std::string& parameters, const std::string& workDir) {
  std::string program = FindProgram(file);
  std::vector<std::string> argv;
  if (!program.empty() && IsExecutableFile(program)) {
    argv.push_back(file);
    for (std::string& a : SplitArguments(parameters)) argv.push_back(std::move(a));
  } else {
    program = FindProgram("xdg-open");
    if (program.empty()) return false;
    argv = {"xdg-open", file};
  }
  return Spawn(program, argv, workDir, true) >= 0;
}

namespace {

// Xlib's default handler ends the program on any protocol error; windows of other programs
// may go away at any moment, so errors here only mean "not there".
int IgnoreXError(Display*, XErrorEvent*) { return 0; }

struct TDisplayCloser {
  void operator()(Display* dpy) const { XCloseDisplay(dpy); }
};
using TDisplay = std::unique_ptr<Display, TDisplayCloser>;

// A connection per thread, kept while the thread lives: these run on any thread (the
// installer's worker asks seven classes every pass), and the window hosts' connection belongs
// to the main thread. Null while no display opens.
Display* ThreadDisplay() {
  static std::once_flag once;
  std::call_once(once, [] {
    XInitThreads();
    XSetErrorHandler(IgnoreXError);
  });
  thread_local TDisplay display;
  if (!display) display.reset(XOpenDisplay(nullptr));
  return display.get();
}

bool HasClass(Display* dpy, Window w, const std::string& className) {
  XClassHint hint{};
  if (!XGetClassHint(dpy, w, &hint)) return false;
  const bool match = (hint.res_name && className == hint.res_name) || (hint.res_class && className == hint.res_class);
  if (hint.res_name) XFree(hint.res_name);
  if (hint.res_class) XFree(hint.res_class);
  return match;
}

bool HasProperty(Display* dpy, Window w, Atom property) {
  Atom type = 0;
  int format;
  unsigned long count, after;
  unsigned char* data = nullptr;
  if (XGetWindowProperty(dpy, w, property, 0, 0, False, AnyPropertyType, &type, &format, &count, &after, &data) !=
      Success)
    return false;
  if (data) XFree(data);
  return type != 0;
}

std::vector<Window> Children(Display* dpy, Window w) {
  Window root, parent;
  Window* children = nullptr;
  unsigned int count = 0;
  if (!XQueryTree(dpy, w, &root, &parent, &children, &count)) return {};
  std::vector<Window> list(children, children + count);
  if (children) XFree(children);
  return list;
}

// The application's own window inside a window manager's frame: the one carrying WM_STATE.
Window ClientWindow(Display* dpy, Window frame, Atom wmState, int depth) {
  if (HasProperty(dpy, frame, wmState)) return frame;
  if (depth == 0) return 0;
  for (Window child : Children(dpy, frame))
    if (Window client = ClientWindow(dpy, child, wmState, depth - 1)) return client;
  return 0;
}

bool WindowExists(Display* dpy, Window w) {
  XWindowAttributes attrs;
  return XGetWindowAttributes(dpy, w, &attrs) != 0;
}

void SendDeleteWindow(Display* dpy, Window w) {
  XEvent e{};
  e.xclient.type = ClientMessage;
  e.xclient.window = w;
  e.xclient.message_type = XInternAtom(dpy, "WM_PROTOCOLS", False);
  e.xclient.format = 32;
  e.xclient.data.l[0] = static_cast<long>(XInternAtom(dpy, "WM_DELETE_WINDOW", False));
  e.xclient.data.l[1] = CurrentTime;
  XSendEvent(dpy, w, False, NoEventMask, &e);
}

bool SupportsProtocol(Display* dpy, Window w, Atom protocol) {
  Atom* protocols = nullptr;
  int count = 0;
  if (!XGetWMProtocols(dpy, w, &protocols, &count)) return false;
  const bool found = std::find(protocols, protocols + count, protocol) != protocols + count;
  XFree(protocols);
  return found;
}

} // namespace

std::vector<intptr_t> FindTopLevelWindows(const std::string& className) {
  Display* dpy = ThreadDisplay();
  if (!dpy) return {};
  const Atom wmState = XInternAtom(dpy, "WM_STATE", False);
  std::vector<intptr_t> found;
  // XQueryTree lists bottom to top; the topmost comes first, as Windows enumerates.
  std::vector<Window> top = Children(dpy, DefaultRootWindow(dpy));
  for (auto it = top.rbegin(); it != top.rend(); ++it) {
    Window w = *it;
    if (!HasClass(dpy, w, className)) {
      // A reparenting window manager puts the program's window inside its frame.
      w = ClientWindow(dpy, w, wmState, 3);
      if (!w || w == *it || !HasClass(dpy, w, className)) continue;
    }
    found.push_back(static_cast<intptr_t>(w));
  }
  return found;
}

uint32_t WindowProcessId(intptr_t window) {
  Display* dpy = ThreadDisplay();
  if (!dpy || !window) return 0;
  Atom type = 0;
  int format = 0;
  unsigned long count = 0, after;
  unsigned char* data = nullptr;
  if (XGetWindowProperty(dpy, static_cast<Window>(window), XInternAtom(dpy, "_NET_WM_PID", False), 0, 1,
                         False, XA_CARDINAL, &type, &format, &count, &after, &data) != Success)
    return 0;
  uint32_t pid = 0;
  if (data && format == 32 && count == 1) pid = static_cast<uint32_t>(*reinterpret_cast<unsigned long*>(data));
  if (data) XFree(data);
  return pid;
}

std::string ProcessExecutablePath(uint32_t processId) {
  return ReadLink("/proc/" + std::to_string(processId) + "/exe");
}

void PostCloseRequest(intptr_t window) {
  Display* dpy = ThreadDisplay();
  if (!dpy || !window) return;
  SendDeleteWindow(dpy, static_cast<Window>(window));
  XFlush(dpy);
}

void SendCloseRequest(intptr_t window) {
  Display* d = ThreadDisplay();
  if (!d || !window) return;
  const Window w = static_cast<Window>(window);
  const Window root = DefaultRootWindow(d);
  const Atom wmProtocols = XInternAtom(d, "WM_PROTOCOLS", False);
  const Atom ping = XInternAtom(d, "_NET_WM_PING", False);
  // Told when the window goes, and (on the root) when the program answers the ping; the
  // thread's connection hears nothing of either once this returns.
  struct TDeselect {
    Display* d;
    Window w, root;
    ~TDeselect() {
      XSelectInput(d, w, NoEventMask);
      XSelectInput(d, root, NoEventMask);
      XSync(d, True);
    }
  } deselect{d, w, root};
  XSelectInput(d, w, StructureNotifyMask);
  XSelectInput(d, root, SubstructureNotifyMask);
  XSync(d, True);
  if (!WindowExists(d, w)) return;
  const bool pings = SupportsProtocol(d, w, ping);
  SendDeleteWindow(d, w);
  // A program handles its events in order, so its answer to a ping sent right after the
  // close request says that the request has been handled (closed or refused).
  static std::atomic<long> serial{1};
  const long stamp = serial++;
  if (pings) {
    XEvent e{};
    e.xclient.type = ClientMessage;
    e.xclient.window = w;
    e.xclient.message_type = wmProtocols;
    e.xclient.format = 32;
    e.xclient.data.l[0] = static_cast<long>(ping);
    e.xclient.data.l[1] = stamp;
    e.xclient.data.l[2] = static_cast<long>(w);
    XSendEvent(d, w, False, NoEventMask, &e);
  }
  XFlush(d);
  // Bounded: a program that answers nothing must not hold up the caller for ever.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (std::chrono::steady_clock::now() < deadline) {
    while (XPending(d) > 0) {
      XEvent e;
      XNextEvent(d, &e);
      if (e.type == DestroyNotify && e.xdestroywindow.window == w) return;
      if (e.type == ClientMessage && e.xclient.message_type == wmProtocols &&
          static_cast<Atom>(e.xclient.data.l[0]) == ping && e.xclient.data.l[1] == stamp &&
          static_cast<Window>(e.xclient.data.l[2]) == w)
        return;
    }
    if (!WindowExists(d, w)) return;
    pollfd p{ConnectionNumber(d), POLLIN, 0};
    poll(&p, 1, 50);
  }
}

} // namespace KVL::Platform
