// POSIX file service.
#include "KVL/Base/Platform/File.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "KVL/Base/SysUtils.h"

namespace KVL::Platform {

bool TPlatformFile::TryOpen(const std::string& path, TFileOpenMode mode) {
  Close();
  int flags = O_CLOEXEC;
  switch (mode) {
    case TFileOpenMode::fomRead: flags |= O_RDONLY; break;
    case TFileOpenMode::fomReadWrite: flags |= O_RDWR; break;
    case TFileOpenMode::fomCreate: flags |= O_RDWR | O_CREAT | O_TRUNC; break;
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

std::string LastSystemErrorText() { return std::strerror(errno); }

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

} // namespace KVL::Platform
