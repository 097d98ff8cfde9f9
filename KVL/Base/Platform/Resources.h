// Platform service: named RCDATA resources of an executable, read and written.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace KVL::Platform {

// The bytes of one resource; valid while both this object and its module live.
class TResourceData {
public:
  virtual ~TResourceData() = default;
  virtual const uint8_t* Data() const = 0;
  virtual size_t Size() const = 0;
};

// A module whose resources can be read: the running executable, or an executable file
// opened as data. Names compare ignoring ASCII case, as Windows resource names do.
class TResourceModule {
public:
  // The running executable.
  TResourceModule();
  // An executable file; raises EKVLFileOpenError when it cannot be opened.
  explicit TResourceModule(const std::string& path);
  ~TResourceModule();
  TResourceModule(const TResourceModule&) = delete;
  TResourceModule& operator=(const TResourceModule&) = delete;

  bool Exists(const std::string& name) const;
  // Raises EKVLResourceNotFound ("Resource %s not found") when there is none of that name.
  std::unique_ptr<TResourceData> Load(const std::string& name) const;

  class TImpl;

private:
  std::unique_ptr<TImpl> impl_;
};

struct TResourceItem {
  std::string Name;
  std::string Bytes;
};

// Adds the resources to an executable file, replacing any of the same name (language
// neutral RCDATA on Windows). The file must not be running. Raises EKVLWriteError or
// EKVLFileOpenError on failure.
void UpdateResources(const std::string& path, const std::vector<TResourceItem>& items);

} // namespace KVL::Platform
