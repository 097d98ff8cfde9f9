// The setup object: construction, command line, flags, destination, the run and its notifications.
#include "setup/core/Setup.h"

#include <algorithm>

#include "KVL/Base/Platform/File.h"
#include "KVL/Base/Platform/Messaging.h"
#include "KVL/Base/SysUtils.h"
#include "KVL/Base/Utils/CommandLine.h"
#include "setup/core/Errors.h"
#include "setup/core/Extract.h"
#include "setup/core/ProductInfo.h"
#include "setup/core/Resources.h"
#include "setup/core/SetupThread.h"
#include "setup/core/SpawnService.h"

namespace Setup::Core {

using KVL::SysUtils::EKVLError;
using KVL::Utils::CommandLine::GetSwitchValue;
using KVL::Utils::CommandLine::HasSwitch;
namespace Platform = KVL::Platform;

TSetup* Setup = nullptr;

namespace {

bool EndsWithDelimiter(const std::string& path) {
  return !path.empty() && (path.back() == '\\' || path.back() == '/');
}

bool IsAbsolutePath(const std::string& path) {
#ifdef _WIN32
  return (path.size() >= 3 && path[1] == ':' && (path[2] == '\\' || path[2] == '/')) ||
         path.starts_with("\\\\") || path.starts_with("//");
#else
  return path.starts_with("/");
#endif
}

} // namespace

TSetup::TSetup(const std::string& params) { Construct(params, nullptr); }

TSetup::TSetup(const std::string& params, std::unique_ptr<TSetupResources> resources) {
  Construct(params, std::move(resources));
}

void TSetup::Construct(const std::string& params, std::unique_ptr<TSetupResources> resources) {
  Setup = this;
  try {
    settings_ = std::make_unique<KVL::FileFormats::INI::TKVLIniFile>();
    errors_ = std::make_unique<KVL::Classes::TKVLStringList>();
    if (!SetupProductInfoClass) throw EInstallerGeneralError("Setup is malformed");
    productInfo_ = SetupProductInfoClass();
    resources_ = resources ? std::move(resources) : std::make_unique<TSetupResources>();
    extractHelper_ = std::make_unique<TSetupExtractHelper>();
    if (!Platform::IsMainThread()) throw EKVLError("Cannot create window in non-main thread");
    window_ = std::make_unique<Platform::TMessageWindow>(
        "TSetup", [this](uint32_t msg, uintptr_t wParam, intptr_t lParam) { return WindowProc(msg, wParam, lParam); });
    ParseCommandLine(params);
  } catch (...) {
    // The members built so far go with the half-made object; nothing may reach it any more.
    Setup = nullptr;
    throw;
  }
}

TSetup::~TSetup() {
  // The worker may still send to the window while it is waited for, so it goes first.
  thread_.reset();
  window_.reset();
  settings_.reset();
  errors_.reset();
  listeners_.clear();
  productInfo_.reset();
  extractHelper_.reset();
  resources_.reset();
  if (Setup == this) Setup = nullptr;
}

intptr_t TSetup::Handle() const { return window_ ? window_->Handle() : 0; }

void TSetup::ParseCommandLine(const std::string& params) {
  if (resources_->ProductPackage().Exists("Uninstall.ini")) {
    mode_ = smUninstall;
    flags_ = {};
    if (HasSwitch(params, "AUTO")) {
      flags_ = flags_.With(sfAuto, true);
      if (HasSwitch(params, "SILENT")) flags_ = flags_.With(sfSilent, true);
    }
    return;
  }
  mode_ = smInstall;
  std::string dest;
  if (!GetSwitchValue(params, "AUTO", dest)) {
    flags_ = {sfUpdate};
    SetDestPath(productInfo_->GetDefaultPath());
    return;
  }
  flags_ = {sfAuto};
  if (dest.empty()) dest = productInfo_->GetDefaultPath();
  SetDestPath(dest);
  if (HasSwitch(params, "NOBACKUP")) flags_ = flags_.With(sfNoBackup, true);
  if (HasSwitch(params, "RUN")) flags_ = flags_.With(sfRun, true);
  if (HasSwitch(params, "UPDATE")) {
    if (!productInfo_->CanUpdate())
      throw EInstallerUpdateError("Cannot install update on v" + productInfo_->GetInstalledVersionText());
    return;
  }
  if (HasSwitch(params, "PORTABLE")) flags_ = flags_.With(sfPortable, true);
  if (HasSwitch(params, "SILENT")) flags_ = flags_.With(sfSilent, true);
}

void TSetup::SetFlags(TSetupFlags flags) {
  if (flags == flags_) return;
  constexpr uint8_t kFixed = (1u << sfAuto) | (1u << sfSilent);
  if ((flags.Bits() ^ flags_.Bits()) & kFixed) throw EInstallerMysteryError("Invalid Arguments");
  flags_ = flags;
  ValidateFlags();
}

void TSetup::ValidateFlags() {
  if (!productInfo_->CanUpdate()) flags_ = flags_.With(sfUpdate, false);
  if (IsInProgramFiles()) flags_ = flags_.With(sfPortable, false);
}

void TSetup::SetDestPath(const std::string& folder) {
  if (folder == destPath_) return;
  std::string path = folder;
  // A relative destination would depend on the current folder, which the uninstaller's
  // relaunch changes; it is made absolute like one with a "." segment.
  if (!path.empty() && (path.find(".\\") != std::string::npos || path.find("./") != std::string::npos ||
                        !IsAbsolutePath(path)))
    path = Platform::ExpandFileName(path);
  if (path.find('~') != std::string::npos) path = Platform::GetLongPath(path);
  if (!path.empty() && !EndsWithDelimiter(path)) path += Platform::kPathDelim;
  destPath_ = path;
  productInfo_->LoadInstallation();
  flags_ = flags_.With(sfUpdate, productInfo_->CanUpdate());
  if (flags_.Has(sfUpdate) && productInfo_->IsPortable()) flags_ = flags_.With(sfPortable, true);
  ValidateFlags();
}

bool TSetup::IsInProgramFiles() const {
  return KVL::SysUtils::StartsText(destPath_, resources_->ProgramFilesFolder()) ||
         KVL::SysUtils::StartsText(destPath_, resources_->ProgramFilesX86Folder());
}

void TSetup::Run(bool wait) {
  if (state_ != ssIdle) return;
  if (destPath_.empty()) throw EInstallerInstallError("DestPath is empty");
  ValidateFlags();
  state_ = ssRunning;
  thread_ = std::make_unique<TSetupThread>();
  thread_->Start();
  if (wait) thread_->WaitFor();
}

void TSetup::LaunchActions() {
  if (HasErrors() || mode_ != smInstall) return;
  constexpr uint8_t kAutoUpdateRun = (1u << sfAuto) | (1u << sfUpdate) | (1u << sfRun);
  const bool def = (flags_.Bits() & kAutoUpdateRun) == kAutoUpdateRun;
  const TSetupScriptGroup& actions = resources_->Script().Actions();
  for (int i = 0; i < actions.Count(); ++i) {
    const std::string& name = actions.Files(i).Name;
    if (settings_->ReadBool("Actions", name, def)) TSetupSpawnService::Execute(resources_->ExpandPath(name));
  }
}

void TSetup::SendNotify(int32_t code, int32_t value) {
  Platform::SendMessageTo(Handle(), Platform::kWmUser, static_cast<uintptr_t>(static_cast<uint32_t>(code)),
                          static_cast<intptr_t>(value));
}

void TSetup::SendNotifyText(int32_t code, const std::string& text) {
  const std::string bytes = KVL::SysUtils::Utf16ToLEBytes(KVL::SysUtils::Utf8ToUtf16(text));
  Platform::SendCopyData(Handle(), static_cast<uintptr_t>(Handle()), static_cast<uintptr_t>(static_cast<uint32_t>(code)),
                         bytes.data(), static_cast<uint32_t>(bytes.size()));
}

void TSetup::AddListener(IInstallerNotify* listener) {
  std::lock_guard<std::recursive_mutex> guard(listenersLock_);
  listeners_.push_back(listener);
}

void TSetup::RemoveListener(IInstallerNotify* listener) {
  std::lock_guard<std::recursive_mutex> guard(listenersLock_);
  std::erase(listeners_, listener);
}

void TSetup::Broadcast(int32_t code, intptr_t param) {
  std::lock_guard<std::recursive_mutex> guard(listenersLock_);
  if (code == snFinished) {
    state_ = ssFinished;
    if (param != 0) AddError(resources_->GetText("Common", "E4"));
  }
  // A listener may remove itself (or another) while it is notified.
  const std::vector<IInstallerNotify*> listeners = listeners_;
  for (auto it = listeners.rbegin(); it != listeners.rend(); ++it) {
    if (std::find(listeners_.begin(), listeners_.end(), *it) != listeners_.end()) (*it)->Notify(code, param);
  }
}

intptr_t TSetup::WindowProc(uint32_t msg, uintptr_t wParam, intptr_t lParam) {
  if (msg == Platform::kWmUser) {
    Broadcast(static_cast<int32_t>(static_cast<uint32_t>(wParam)), lParam);
  } else if (msg == Platform::kWmCopyData) {
    const auto* record = reinterpret_cast<const Platform::TCopyData*>(lParam);
    // Only our own SendNotifyText: another process's copy-data message is ignored.
    if (record != nullptr && static_cast<intptr_t>(wParam) == Handle()) {
      try {
        std::string text;
        if (record->Bytes != nullptr && record->Size >= 2)
          text = KVL::SysUtils::Utf16ToUtf8(KVL::SysUtils::Utf16FromLEBytes(
              std::string_view(static_cast<const char*>(record->Bytes), record->Size / 2 * 2)));
        Broadcast(static_cast<int32_t>(record->Data), reinterpret_cast<intptr_t>(&text));
      } catch (const std::exception&) {
        // A failing status listener must not take the worker's send down with it.
      }
    }
  }
  return 0;
}

} // namespace Setup::Core
