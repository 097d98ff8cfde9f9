// The file service's platform-independent part: ownership and the raising open.
#include "KVL/Base/Platform/File.h"

#include "KVL/Base/SysUtils.h"

namespace KVL::Platform {

TPlatformFile::~TPlatformFile() { Close(); }

TPlatformFile::TPlatformFile(TPlatformFile&& other) noexcept : handle_(other.handle_) {
  other.handle_ = kInvalid;
}

TPlatformFile& TPlatformFile::operator=(TPlatformFile&& other) noexcept {
  if (this != &other) {
    Close();
    handle_ = other.handle_;
    other.handle_ = kInvalid;
  }
  return *this;
}

TPlatformFile TPlatformFile::Open(const std::string& path, TFileOpenMode mode) {
  TPlatformFile f;
  if (!f.TryOpen(path, mode)) {
    const bool create = mode == TFileOpenMode::fomCreate || mode == TFileOpenMode::fomCreateShared;
    const char* verb = create ? "create" : "open";
    throw SysUtils::EKVLFileOpenError(
        SysUtils::Format("Cannot %s file \"%s\". %s", verb, path.c_str(), LastSystemErrorText().c_str()));
  }
  return f;
}

EKVLOSError::EKVLOSError(int code, const std::string& additional)
    : SysUtils::EKVLError(SysUtils::Format("System Error.  Code: %d.\r\n%s%s", code, SystemErrorText(code).c_str(),
                                           additional.c_str())),
      code_(code) {}

void RaiseLastOSError(const std::string& additional) { throw EKVLOSError(LastSystemErrorCode(), additional); }

std::string LastSystemErrorText() { return SystemErrorText(LastSystemErrorCode()); }

} // namespace KVL::Platform
