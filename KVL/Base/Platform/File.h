// Platform service: opening, reading and writing files by UTF-8 path.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace KVL::Platform {

enum class TFileOpenMode {
  fomRead,       // existing file, read only; others may read and write meanwhile
  fomReadWrite,  // existing file, read and write; shared like fomRead
  fomCreate,     // create or truncate, read and write
};

// An open file; closed by the destructor. Moves, never copies.
class TPlatformFile {
public:
  TPlatformFile() = default;
  ~TPlatformFile();
  TPlatformFile(TPlatformFile&& other) noexcept;
  TPlatformFile& operator=(TPlatformFile&& other) noexcept;
  TPlatformFile(const TPlatformFile&) = delete;
  TPlatformFile& operator=(const TPlatformFile&) = delete;

  // Raises EKVLFileOpenError naming the file and the system's reason.
  static TPlatformFile Open(const std::string& path, TFileOpenMode mode);
  // Like Open but reports failure as false (and leaves the object closed).
  bool TryOpen(const std::string& path, TFileOpenMode mode);

  bool IsOpen() const { return handle_ != kInvalid; }
  size_t Read(void* buffer, size_t count);   // fewer bytes only at end of file or on error
  size_t Write(const void* buffer, size_t count);
  // whence: 0 begin, 1 current, 2 end; returns the new position.
  int64_t Seek(int64_t offset, int whence);
  int64_t Size();
  void SetSize(int64_t size);
  void Close();

private:
  static constexpr intptr_t kInvalid = -1;
  intptr_t handle_ = kInvalid;
};

// The system's text for the last error of the calling thread (errno or GetLastError).
std::string LastSystemErrorText();

bool FileExists(const std::string& path);
bool DirectoryExists(const std::string& path);
// Clears read-only, hidden and system attributes so that the file can be replaced.
void ClearFileAttributes(const std::string& path);
bool RemoveFile(const std::string& path);
// Creates the folder and any missing parents; true when it exists afterwards.
bool ForceDirectories(const std::string& path);
// The folder for temporary files, with a trailing separator.
std::string TempDirectory();

inline constexpr char kPathDelim =
#ifdef _WIN32
    '\\';
#else
    '/';
#endif

} // namespace KVL::Platform
