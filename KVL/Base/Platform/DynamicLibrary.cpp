// Ownership of a loaded library, shared by both backends.
#include "KVL/Base/Platform/DynamicLibrary.h"

#include <utility>

namespace KVL::Platform {

TDynamicLibrary::~TDynamicLibrary() { Unload(); }

TDynamicLibrary::TDynamicLibrary(TDynamicLibrary&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}

TDynamicLibrary& TDynamicLibrary::operator=(TDynamicLibrary&& other) noexcept {
  if (this != &other) {
    Unload();
    handle_ = std::exchange(other.handle_, nullptr);
  }
  return *this;
}

} // namespace KVL::Platform
