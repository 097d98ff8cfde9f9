// POSIX file service.
#include "KVL/Base/Platform/File.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>

#include "KVL/Base/Platform/Process.h"
#include "KVL/Base/Platform/Shell.h"
#include "KVL/Base/SysUtils.h"

namespace KVL::Platform {

bool TPlatformFile::TryOpen(const std::string& path, TFileOpenMode mode) {
  Close();
  int flags = O_CLOEXEC;
  switch (mode) {
    case TFileOpenMode::fomRead: flags |= O_RDONLY; break;
    case TFileOpenMode::fomReadWrite: flags |= O_RDWR; break;
    case TFileOpenMode::fomCreate:
    case TFileOpenMode::fomCreateShared: flags |= O_RDWR | O_CREAT | O_TRUNC; break;
  }
  int fd;
  do fd = ::open(path.c_str(), flags, 0644);
  while (fd < 0 && errno == EINTR);
  if (fd < 0) return false;
  struct stat st;
  if (fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
    ::close(fd);
    errno = EISDIR;
    return false;
  }
  handle_ = fd;
  return true;
}

size_t TPlatformFile::Read(void* buffer, size_t count) {
  auto* p = static_cast<uint8_t*>(buffer);
  size_t done = 0;
  while (done < count) {
    ssize_t n = ::read(static_cast<int>(handle_), p + done, count - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  return done;
}

size_t TPlatformFile::Write(const void* buffer, size_t count) {
  auto* p = static_cast<const uint8_t*>(buffer);
  size_t done = 0;
  while (done < count) {
    ssize_t n = ::write(static_cast<int>(handle_), p + done, count - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  return done;
}

int64_t TPlatformFile::Seek(int64_t offset, int whence) {
  int w = whence == 0 ? SEEK_SET : whence == 1 ? SEEK_CUR : SEEK_END;
  off_t r = ::lseek(static_cast<int>(handle_), static_cast<off_t>(offset), w);
  return r < 0 ? -1 : static_cast<int64_t>(r);
}

int64_t TPlatformFile::Size() {
  struct stat st;
  if (fstat(static_cast<int>(handle_), &st) != 0) return 0;
  return static_cast<int64_t>(st.st_size);
}

void TPlatformFile::SetSize(int64_t size) {
  if (ftruncate(static_cast<int>(handle_), static_cast<off_t>(size)) != 0)
    throw SysUtils::EKVLWriteError();
}

void TPlatformFile::Close() {
  if (handle_ != kInvalid) {
    ::close(static_cast<int>(handle_));
    handle_ = kInvalid;
  }
}

int LastSystemErrorCode() { return errno; }

std::string SystemErrorText(int code) { return std::strerror(code); }

bool FileExists(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool DirectoryExists(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

void ClearFileAttributes(const std::string& path) {
  // The nearest thing to a read-only attribute is a missing owner write bit.
  struct stat st;
  if (::stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode) && !(st.st_mode & S_IWUSR))
    ::chmod(path.c_str(), st.st_mode | S_IWUSR);
}

bool RemoveFile(const std::string& path) { return ::unlink(path.c_str()) == 0; }

bool ForceDirectories(const std::string& path) {
  if (path.empty()) return false;
  std::string p = path;
  while (p.size() > 1 && p.back() == '/') p.pop_back();
  if (DirectoryExists(p)) return true;
  size_t slash = p.find_last_of('/');
  if (slash != std::string::npos && slash > 0 && !ForceDirectories(p.substr(0, slash))) return false;
  return ::mkdir(p.c_str(), 0755) == 0 || DirectoryExists(p);
}

std::string TempDirectory() {
  const char* t = std::getenv("TMPDIR");
  std::string dir = (t && *t) ? t : "/tmp";
  if (dir.back() != '/') dir += '/';
  return dir;
}

namespace {

// Closes a descriptor without disturbing errno, which callers report.
void CloseKeepingErrno(int fd) {
  int saved = errno;
  ::close(fd);
  errno = saved;
}

bool WriteAll(int fd, const char* p, size_t count) {
  while (count > 0) {
    ssize_t n = ::write(fd, p, count);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    p += n;
    count -= static_cast<size_t>(n);
  }
  return true;
}

constexpr int64_t kTicksPerSecond = 10000000;
constexpr int64_t kEpochDeltaSeconds = 11644473600;  // 1601-01-01 to 1970-01-01

std::string PendingDeletionsFile() { return SystemRoot() + "var/lib/kvl/pending-deletions"; }

} // namespace

bool CopyFileReplacing(const std::string& source, const std::string& target) {
  int in;
  do in = ::open(source.c_str(), O_RDONLY | O_CLOEXEC);
  while (in < 0 && errno == EINTR);
  if (in < 0) return false;
  struct stat ss;
  if (fstat(in, &ss) != 0) {
    CloseKeepingErrno(in);
    return false;
  }
  if (S_ISDIR(ss.st_mode)) {
    ::close(in);
    errno = EISDIR;
    return false;
  }
  struct stat ts;
  if (::stat(target.c_str(), &ts) == 0) {
    // Truncating the target would destroy a source that is the same file.
    int refuse = (ts.st_dev == ss.st_dev && ts.st_ino == ss.st_ino) ? EINVAL
                 : S_ISDIR(ts.st_mode)                              ? EISDIR
                 : !(ts.st_mode & S_IWUSR)                          ? EACCES  // read-only, even for root
                                                                    : 0;
    if (refuse) {
      ::close(in);
      errno = refuse;
      return false;
    }
  }
  int out;
  do out = ::open(target.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  while (out < 0 && errno == EINTR);
  if (out < 0) {
    CloseKeepingErrno(in);
    return false;
  }
  bool ok = true;
  char buf[65536];
  for (;;) {
    ssize_t n = ::read(in, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) ok = false;
    if (n <= 0) break;
    if (!WriteAll(out, buf, static_cast<size_t>(n))) {
      ok = false;
      break;
    }
  }
  if (ok) {
    struct timespec times[2] = {ss.st_atim, ss.st_mtim};
    futimens(out, times);
    ok = fchmod(out, ss.st_mode & 0777) == 0;
  }
  int saved = errno;
  if (::close(out) != 0 && ok) {
    ok = false;
    saved = errno;
  }
  ::close(in);
  errno = saved;
  return ok;
}

bool RenameFile(const std::string& oldName, const std::string& newName) {
  if (renameat2(AT_FDCWD, oldName.c_str(), AT_FDCWD, newName.c_str(), RENAME_NOREPLACE) == 0) return true;
  if (errno == EINVAL || errno == ENOSYS || errno == ENOTSUP) {
    // A file system without no-replace renames: check first (not atomic, but rare).
    struct stat st;
    if (::lstat(newName.c_str(), &st) == 0) {
      errno = EEXIST;
      return false;
    }
    if (::rename(oldName.c_str(), newName.c_str()) == 0) return true;
  }
  if (errno != EXDEV || !FileExists(oldName)) return false;
  // Another volume: a file moves by copying, as MoveFileEx with MOVEFILE_COPY_ALLOWED does.
  if (FileExists(newName) || DirectoryExists(newName)) {
    errno = EEXIST;
    return false;
  }
  if (!CopyFileReplacing(oldName, newName)) return false;
  if (::unlink(oldName.c_str()) != 0) {
    int saved = errno;
    ::unlink(newName.c_str());
    errno = saved;
    return false;
  }
  return true;
}

bool RemoveEmptyDirectory(const std::string& path) { return ::rmdir(path.c_str()) == 0; }

std::optional<TFileInfo> QueryFileInfo(const std::string& path) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return std::nullopt;
  TFileInfo info;
  if (S_ISDIR(st.st_mode)) info.Attributes |= faDirectory;
  else info.Size = static_cast<int64_t>(st.st_size);
  if (!(st.st_mode & S_IWUSR)) info.Attributes |= faReadOnly;
  info.LastWriteTime = (static_cast<int64_t>(st.st_mtim.tv_sec) + kEpochDeltaSeconds) * kTicksPerSecond +
                       st.st_mtim.tv_nsec / 100;
  return info;
}

bool SetFileAttr(const std::string& path, uint32_t attributes) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return false;
  mode_t mode = st.st_mode & 07777;
  mode = (attributes & faReadOnly) ? mode & ~static_cast<mode_t>(0222) : mode | S_IWUSR;
  return ::chmod(path.c_str(), mode) == 0;
}

bool SetFileExecutable(const std::string& path) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  const mode_t mode = st.st_mode & 07777;
  return ::chmod(path.c_str(), mode | ((mode & 0444) >> 2)) == 0;
}

bool SetLastWriteTime(const std::string& path, int64_t time) {
  int64_t unixTicks = time - kEpochDeltaSeconds * kTicksPerSecond;
  int64_t sec = unixTicks / kTicksPerSecond, rest = unixTicks % kTicksPerSecond;
  if (rest < 0) {
    rest += kTicksPerSecond;
    --sec;
  }
  struct timespec times[2];
  times[0].tv_sec = 0;
  times[0].tv_nsec = UTIME_OMIT;
  times[1].tv_sec = static_cast<time_t>(sec);
  times[1].tv_nsec = static_cast<long>(rest * 100);
  return utimensat(AT_FDCWD, path.c_str(), times, 0) == 0;
}

std::string ExpandFileName(const std::string& path) {
  if (path.empty()) return std::string();
  std::string p = path[0] == '/' ? path : GetCurrentDir() + path;
  bool trailing = p.back() == '/';
  std::vector<std::string> parts;
  size_t i = 0;
  while (i <= p.size()) {
    size_t j = p.find('/', i);
    if (j == std::string::npos) j = p.size();
    std::string part = p.substr(i, j - i);
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!part.empty() && part != ".") {
      parts.push_back(part);
    }
    i = j + 1;
  }
  std::string out;
  for (const std::string& part : parts) out += '/' + part;
  if (out.empty() || trailing) out += '/';
  return out;
}

std::string GetLongPath(const std::string& path) { return path; }

std::string CreateTempFile(const std::string& folder, const std::string& prefix) {
  std::string dir = folder;
  if (!dir.empty() && dir.back() != '/') dir += '/';
  std::string pre = SysUtils::Utf16ToUtf8(SysUtils::Utf8ToUtf16(prefix).substr(0, 3));
  static std::atomic<unsigned> counter{0};
  unsigned start = static_cast<unsigned>(std::time(nullptr)) ^ static_cast<unsigned>(getpid() << 4) ^ counter++;
  for (unsigned i = 0; i < 0x10000; ++i) {
    unsigned unique = (start + i) & 0xFFFF;
    if (unique == 0) continue;
    std::string name = dir + pre + SysUtils::Format("%04X", unique) + ".tmp";
    int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd >= 0) {
      ::close(fd);
      return name;
    }
    if (errno != EEXIST) return std::string();
  }
  errno = EEXIST;
  return std::string();
}

std::string CreatePrivateDirectory(const std::string& folder, const std::string& prefix) {
  std::string dir = folder;
  if (!dir.empty() && dir.back() != '/') dir += '/';
  for (int attempt = 0; attempt < 100; ++attempt) {
    uint64_t random = 0;
    if (getrandom(&random, sizeof random, 0) != sizeof random) return std::string();
    std::string path = dir + prefix + SysUtils::Format("%016llX", static_cast<unsigned long long>(random));
    // Created with no access for others; chmod makes it exactly 0700 whatever the umask took.
    if (::mkdir(path.c_str(), 0700) == 0) {
      if (::chmod(path.c_str(), 0700) != 0) {
        int saved = errno;
        ::rmdir(path.c_str());
        errno = saved;
        return std::string();
      }
      return path + '/';
    }
    if (errno != EEXIST) return std::string();
  }
  errno = EEXIST;
  return std::string();
}

bool ScheduleDeleteAtRestart(const std::string& path) {
  // One path per line: a name with a line break cannot be recorded faithfully.
  if (path.empty() || path.find_first_of("\r\n") != std::string::npos) {
    errno = EINVAL;
    return false;
  }
  std::string line = ExpandFileName(path) + "\n";
  std::string list = PendingDeletionsFile();
  if (!ForceDirectories(ExtractFilePath(list))) return false;
  int fd;
  do fd = ::open(list.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
  while (fd < 0 && errno == EINTR);
  if (fd < 0) return false;
  // The lock keeps lines of concurrent writers whole, however long they are.
  int r;
  do r = flock(fd, LOCK_EX);
  while (r != 0 && errno == EINTR);
  bool ok = r == 0 && WriteAll(fd, line.data(), line.size());
  CloseKeepingErrno(fd);  // closing releases the lock
  return ok;
}

std::vector<std::string> PendingDeletions() {
  std::vector<std::string> paths;
  int fd = ::open(PendingDeletionsFile().c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return paths;
  int r;
  do r = flock(fd, LOCK_SH);
  while (r != 0 && errno == EINTR);
  std::string text;
  char buf[4096];
  for (;;) {
    ssize_t n = ::read(fd, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    text.append(buf, static_cast<size_t>(n));
  }
  ::close(fd);
  size_t i = 0;
  while (i < text.size()) {
    size_t j = text.find('\n', i);
    if (j == std::string::npos) j = text.size();
    if (j > i) paths.push_back(text.substr(i, j - i));
    i = j + 1;
  }
  return paths;
}

std::string GetCurrentDir() {
  std::vector<char> buf(4096);
  while (!::getcwd(buf.data(), buf.size())) {
    if (errno != ERANGE) return std::string();
    buf.resize(buf.size() * 2);
  }
  std::string dir = buf.data();
  if (dir.back() != '/') dir += '/';
  return dir;
}

bool SetCurrentDir(const std::string& path) { return ::chdir(path.c_str()) == 0; }

} // namespace KVL::Platform
