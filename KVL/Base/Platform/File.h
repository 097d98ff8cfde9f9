// Platform service: opening, reading and writing files by UTF-8 path.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "KVL/Base/SysUtils.h"

namespace KVL::Platform {

enum class TFileOpenMode {
  fomRead,       // existing file, read only; others may read and write meanwhile
  fomReadWrite,  // existing file, read and write; shared like fomRead
  fomCreate,     // create or truncate, read and write
  // Like fomCreate, but others may go on reading and writing the file meanwhile (a target
  // that another program holds open with full sharing can still be replaced).
  fomCreateShared,
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
// The last error code of the calling thread (errno or GetLastError), and the text for a code.
int LastSystemErrorCode();
std::string SystemErrorText(int code);

// An operating-system call failed: "System Error.  Code: %d.\r\n%s%s" with the code, the
// system's text and the caller's additional text.
class EKVLOSError : public SysUtils::EKVLError {
public:
  EKVLOSError(int code, const std::string& additional);
  int Code() const { return code_; }

private:
  int code_;
};

// Raises EKVLOSError for the calling thread's last error.
[[noreturn]] void RaiseLastOSError(const std::string& additional = std::string());

bool FileExists(const std::string& path);
bool DirectoryExists(const std::string& path);
// Clears read-only, hidden and system attributes so that the file can be replaced.
void ClearFileAttributes(const std::string& path);
bool RemoveFile(const std::string& path);
// Creates the folder and any missing parents; true when it exists afterwards.
bool ForceDirectories(const std::string& path);
// The folder for temporary files, with a trailing separator.
std::string TempDirectory();

// Copies a file, replacing the target, and keeps its last-write time and read-only state.
// Like Windows, a read-only target is not replaced and a file is never copied onto itself.
// False on failure, with the system's last error set.
bool CopyFileReplacing(const std::string& source, const std::string& target);
// Moves or renames a file or folder. An existing target is never replaced; a file moves to
// another volume by copying. False on failure, with the system's last error set.
bool RenameFile(const std::string& oldName, const std::string& newName);
// Removes a folder only when it is empty.
bool RemoveEmptyDirectory(const std::string& path);

// File attributes, with the values Windows gives them. POSIX knows only read-only (no owner
// write permission) and folder; hidden, system and archive are neither reported nor set.
inline constexpr uint32_t faReadOnly = 0x01;
inline constexpr uint32_t faHidden = 0x02;
inline constexpr uint32_t faSystem = 0x04;
inline constexpr uint32_t faDirectory = 0x10;
inline constexpr uint32_t faArchive = 0x20;

struct TFileInfo {
  uint32_t Attributes = 0;
  int64_t Size = 0;           // bytes; 0 for folders
  int64_t LastWriteTime = 0;  // 100-nanosecond ticks since 1601-01-01 UTC, as Windows counts
};

// Facts about a file or folder; nothing when it does not exist or cannot be examined.
std::optional<TFileInfo> QueryFileInfo(const std::string& path);
// Sets the attributes that the platform can represent (faDirectory is ignored).
bool SetFileAttr(const std::string& path, uint32_t attributes);
bool SetLastWriteTime(const std::string& path, int64_t time);
// Lets whoever may read a file also run it (POSIX: an execute bit for each read bit), for
// programs written out of a package, which keeps no permission bits. Windows runs any
// file by its extension: true when the file exists.
bool SetFileExecutable(const std::string& path);

// The absolute form of a path: relative to the current folder, with "." and ".." resolved
// and a trailing separator kept.
std::string ExpandFileName(const std::string& path);
// The long form of a path whose components may be 8.3 short names (Windows); an unchanged
// path when it cannot be resolved or on POSIX, which has no short names.
std::string GetLongPath(const std::string& path);

// Creates a new empty file with a unique name in folder and returns its path: the first
// three characters of prefix, four hexadecimal digits and ".tmp" (as GetTempFileName does).
// "" on failure, with the system's last error set.
std::string CreateTempFile(const std::string& folder, const std::string& prefix);
// Creates a new folder with a unique name in folder that only its owner can use (POSIX mode
// 0700; Windows: access for the administrators and the system only) and returns its path
// with a trailing separator. "" on failure, with the system's last error set.
std::string CreatePrivateDirectory(const std::string& folder, const std::string& prefix);

// Asks for a file or empty folder to be deleted at the next restart. Windows records it in
// the session manager's pending renames (administrator rights needed); POSIX appends it to
// the pending-deletions list below KVL_SYSTEM_ROOT (see docs/platform.md).
bool ScheduleDeleteAtRestart(const std::string& path);
// The paths waiting for deletion at the next restart, in the order they were scheduled.
std::vector<std::string> PendingDeletions();

std::string GetCurrentDir();  // with a trailing separator
bool SetCurrentDir(const std::string& path);

inline constexpr char kPathDelim =
#ifdef _WIN32
    '\\';
#else
    '/';
#endif
// Either separator: paths written for Windows ('\\') are accepted on every system.
inline constexpr bool IsPathDelimiter(char c) { return c == '\\' || c == '/'; }

} // namespace KVL::Platform
