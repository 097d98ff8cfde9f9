// POSIX resources: a directory appended to the executable file (layout in docs/platform.md).
#include "KVL/Base/Platform/Resources.h"

#include <cstring>

#include "KVL/Base/Platform/File.h"
#include "KVL/Base/Platform/Process.h"
#include "KVL/Base/SysUtils.h"

namespace KVL::Platform {

namespace {

constexpr char kMagic[8] = {'K', 'V', 'L', 'R', 'S', 'R', 'C', '1'};
constexpr size_t kTrailerSize = 32;

struct TEntry {
  std::string Name;  // upper-case ASCII
  uint64_t Offset;
  uint64_t Size;
};

uint64_t GetLE(const uint8_t* p, int bytes) {
  uint64_t v = 0;
  for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | p[i];
  return v;
}

void PutLE(std::string& out, uint64_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) out += static_cast<char>((v >> (8 * i)) & 0xFF);
}

std::string UpperAscii(std::string s) {
  for (char& c : s)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
  return s;
}

void ReadAt(TPlatformFile& file, uint64_t offset, void* buffer, size_t count) {
  file.Seek(static_cast<int64_t>(offset), 0);
  if (file.Read(buffer, count) != count) throw SysUtils::EKVLReadError();
}

class TBlob : public TResourceData {
public:
  explicit TBlob(size_t size) : data_(std::make_unique_for_overwrite<uint8_t[]>(size ? size : 1)), size_(size) {}
  const uint8_t* Data() const override { return data_.get(); }
  size_t Size() const override { return size_; }
  uint8_t* Buffer() { return data_.get(); }

private:
  std::unique_ptr<uint8_t[]> data_;
  size_t size_;
};

} // namespace

class TResourceModule::TImpl {
public:
  explicit TImpl(const std::string& path) : path(path) {
    TPlatformFile file = TPlatformFile::Open(path, TFileOpenMode::fomRead);
    areaStart = static_cast<uint64_t>(file.Size());
    ReadDirectory(file);
  }

  // A file without a well-formed directory simply has no resources.
  void ReadDirectory(TPlatformFile& file) {
    const uint64_t size = areaStart;
    if (size < kTrailerSize) return;
    uint8_t t[kTrailerSize];
    ReadAt(file, size - kTrailerSize, t, kTrailerSize);
    if (std::memcmp(t + 24, kMagic, sizeof kMagic) != 0) return;
    const uint64_t start = GetLE(t, 8), dirOffset = GetLE(t + 8, 8);
    const uint32_t count = static_cast<uint32_t>(GetLE(t + 16, 4)), dirSize = static_cast<uint32_t>(GetLE(t + 20, 4));
    if (start > dirOffset || dirOffset > size - kTrailerSize || dirOffset + dirSize != size - kTrailerSize) return;
    std::string dir(dirSize, '\0');
    ReadAt(file, dirOffset, dir.data(), dirSize);
    const uint8_t* p = reinterpret_cast<const uint8_t*>(dir.data());
    size_t pos = 0;
    std::vector<TEntry> found;
    for (uint32_t i = 0; i < count; ++i) {
      if (dirSize - pos < 2) return;
      const size_t nameLen = static_cast<size_t>(GetLE(p + pos, 2));
      if (dirSize - pos - 2 < nameLen + 16) return;
      TEntry e{dir.substr(pos + 2, nameLen), GetLE(p + pos + 2 + nameLen, 8), GetLE(p + pos + 10 + nameLen, 8)};
      pos += 2 + nameLen + 16;
      if (e.Offset < start || e.Offset > dirOffset || e.Size > dirOffset - e.Offset) return;
      found.push_back(std::move(e));
    }
    entries = std::move(found);
    areaStart = start;
  }

  const TEntry* Find(const std::string& name) const {
    const std::string upper = UpperAscii(name);
    for (const TEntry& e : entries)
      if (e.Name == upper) return &e;
    return nullptr;
  }

  std::unique_ptr<TBlob> Read(const TEntry& e) const {
    TPlatformFile file = TPlatformFile::Open(path, TFileOpenMode::fomRead);
    auto blob = std::make_unique<TBlob>(static_cast<size_t>(e.Size));
    if (e.Size) ReadAt(file, e.Offset, blob->Buffer(), static_cast<size_t>(e.Size));
    return blob;
  }

  std::string path;
  uint64_t areaStart = 0;  // where the executable proper ends
  std::vector<TEntry> entries;
};

TResourceModule::TResourceModule() : impl_(std::make_unique<TImpl>(ExecutablePath())) {}

TResourceModule::TResourceModule(const std::string& path) : impl_(std::make_unique<TImpl>(path)) {}

TResourceModule::~TResourceModule() = default;

bool TResourceModule::Exists(const std::string& name) const { return impl_->Find(name) != nullptr; }

std::unique_ptr<TResourceData> TResourceModule::Load(const std::string& name) const {
  const TEntry* e = impl_->Find(name);
  if (!e) throw SysUtils::EKVLResourceNotFound(name);
  return impl_->Read(*e);
}

void UpdateResources(const std::string& path, const std::vector<TResourceItem>& items) {
  TResourceModule::TImpl module(path);
  // The kept resources are read before the file is cut back to the executable proper.
  std::vector<std::pair<std::string, std::string>> all;
  for (const TEntry& e : module.entries) {
    bool replaced = false;
    for (const TResourceItem& item : items) replaced = replaced || UpperAscii(item.Name) == e.Name;
    if (replaced) continue;
    std::unique_ptr<TBlob> blob = module.Read(e);
    all.emplace_back(e.Name, std::string(reinterpret_cast<const char*>(blob->Data()), blob->Size()));
  }
  for (const TResourceItem& item : items) {
    const std::string name = UpperAscii(item.Name);
    if (name.empty() || name.size() > 0xFFFF) throw SysUtils::EKVLInvalidOperation("Invalid resource name");
    bool dup = false;
    for (auto& kept : all)
      if (kept.first == name) {
        kept.second = item.Bytes;  // the later of two equal names wins, as on Windows
        dup = true;
      }
    if (!dup) all.emplace_back(name, item.Bytes);
  }

  TPlatformFile file = TPlatformFile::Open(path, TFileOpenMode::fomReadWrite);
  file.SetSize(static_cast<int64_t>(module.areaStart));
  file.Seek(0, 2);
  std::string dir;
  uint64_t offset = module.areaStart;
  for (const auto& [name, bytes] : all) {
    if (file.Write(bytes.data(), bytes.size()) != bytes.size()) throw SysUtils::EKVLWriteError();
    PutLE(dir, name.size(), 2);
    dir += name;
    PutLE(dir, offset, 8);
    PutLE(dir, bytes.size(), 8);
    offset += bytes.size();
  }
  std::string trailer;
  PutLE(trailer, module.areaStart, 8);
  PutLE(trailer, offset, 8);
  PutLE(trailer, all.size(), 4);
  PutLE(trailer, dir.size(), 4);
  trailer.append(kMagic, sizeof kMagic);
  dir += trailer;
  if (file.Write(dir.data(), dir.size()) != dir.size()) throw SysUtils::EKVLWriteError();
}

} // namespace KVL::Platform
