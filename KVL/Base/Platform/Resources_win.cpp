// Win32 resources: FindResourceW on a loaded module, BeginUpdateResourceW to write them.
#include "KVL/Base/Platform/Resources.h"

#include <windows.h>

#include "KVL/Base/Platform/WinString.h"

#include "KVL/Base/Platform/File.h"
#include "KVL/Base/SysUtils.h"

namespace KVL::Platform {

namespace {

// Resource compilers store names upper-case and lookups upper-case the name asked for.
std::wstring ResourceName(const std::string& name) {
  std::string upper = name;
  for (char& c : upper)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
  return Wide(upper);
}

class TMappedResource : public TResourceData {
public:
  TMappedResource(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  const uint8_t* Data() const override { return data_; }
  size_t Size() const override { return size_; }

private:
  const uint8_t* data_;
  size_t size_;
};

} // namespace

class TResourceModule::TImpl {
public:
  HMODULE module = nullptr;
  bool owned = false;
};

TResourceModule::TResourceModule() : impl_(std::make_unique<TImpl>()) { impl_->module = GetModuleHandleW(nullptr); }

TResourceModule::TResourceModule(const std::string& path) : impl_(std::make_unique<TImpl>()) {
  // As data only: nothing of the file runs, and its imports are not resolved.
  impl_->module =
      LoadLibraryExW(Wide(path).c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  if (!impl_->module) throw SysUtils::EKVLFileOpenError("Cannot open file \"" + path + "\". " + LastSystemErrorText());
  impl_->owned = true;
}

TResourceModule::~TResourceModule() {
  if (impl_->owned) FreeLibrary(impl_->module);
}

bool TResourceModule::Exists(const std::string& name) const {
  return FindResourceW(impl_->module, ResourceName(name).c_str(), MAKEINTRESOURCEW(10)) != nullptr;
}

std::unique_ptr<TResourceData> TResourceModule::Load(const std::string& name) const {
  HRSRC info = FindResourceW(impl_->module, ResourceName(name).c_str(), MAKEINTRESOURCEW(10));  // RT_RCDATA
  HGLOBAL handle = info ? LoadResource(impl_->module, info) : nullptr;
  const void* data = handle ? LockResource(handle) : nullptr;
  if (!data) throw SysUtils::EKVLResourceNotFound(name);
  // Resource memory belongs to the loaded module; nothing to free per resource.
  return std::make_unique<TMappedResource>(static_cast<const uint8_t*>(data), SizeofResource(impl_->module, info));
}

void UpdateResources(const std::string& path, const std::vector<TResourceItem>& items) {
  HANDLE update = BeginUpdateResourceW(Wide(path).c_str(), FALSE);
  if (!update) throw SysUtils::EKVLFileOpenError("Cannot open file \"" + path + "\". " + LastSystemErrorText());
  for (const TResourceItem& item : items) {
    std::wstring name = ResourceName(item.Name);
    if (!UpdateResourceW(update, MAKEINTRESOURCEW(10), name.c_str(), MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL),
                         const_cast<char*>(item.Bytes.data()), static_cast<DWORD>(item.Bytes.size()))) {
      std::string reason = LastSystemErrorText();
      EndUpdateResourceW(update, TRUE);
      throw SysUtils::EKVLError("Cannot write resource " + item.Name + " to \"" + path + "\". " + reason);
    }
  }
  if (!EndUpdateResourceW(update, FALSE))
    throw SysUtils::EKVLError("Cannot write resources to \"" + path + "\". " + LastSystemErrorText());
}

} // namespace KVL::Platform
