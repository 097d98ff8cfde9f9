// Platform service: loading a shared library by its full path and finding its exports.
#pragma once

#include <cstdint>
#include <string>

namespace KVL::Platform {

// A loaded library, unloaded by the destructor. Moves, never copies.
class TDynamicLibrary {
public:
  // Any exported function, to be cast to its real type by the caller.
  using TProcedure = void (*)();

  TDynamicLibrary() = default;
  ~TDynamicLibrary();
  TDynamicLibrary(TDynamicLibrary&& other) noexcept;
  TDynamicLibrary& operator=(TDynamicLibrary&& other) noexcept;
  TDynamicLibrary(const TDynamicLibrary&) = delete;
  TDynamicLibrary& operator=(const TDynamicLibrary&) = delete;

  // Loads the library at path (made absolute first), unloading any library held before.
  // Libraries it depends on are looked for in its own folder first, then in the system's
  // places; the process's current folder is neither used nor changed. Windows: no error box
  // is shown for a missing or broken file. False when it does not load (missing, not a
  // library, wrong architecture, a dependency missing).
  bool Load(const std::string& path);
  bool Loaded() const { return handle_ != nullptr; }
  // The export of that name; null when not loaded or not exported.
  TProcedure Procedure(const std::string& name) const;
  void Unload();

private:
  void* handle_ = nullptr;
};

} // namespace KVL::Platform
