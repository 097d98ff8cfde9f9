// The setup object: mode, flags, destination and choices of the run; errors; the worker; notifications.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "KVL/Base/FileFormats/INI.h"
#include "KVL/Base/StringList.h"
#include "setup/core/SetupTypes.h"

namespace KVL::Platform {
class TMessageWindow;
}

namespace Setup::Core {

class TSetupExtractHelper;
class TSetupProductInfo;
class TSetupResources;
class TSetupThread;

class TSetup {
public:
  // Opens the resources of the running executable (and Uninstall.dat for the uninstaller),
  // creates the product information from SetupProductInfoClass and decides mode, flags and
  // destination from the command-line parameters. Main thread only.
  explicit TSetup(const std::string& params);
  // The same with resources built elsewhere (tests, tools).
  TSetup(const std::string& params, std::unique_ptr<TSetupResources> resources);
  ~TSetup();
  TSetup(const TSetup&) = delete;
  TSetup& operator=(const TSetup&) = delete;

  KVL::FileFormats::INI::TKVLIniFile& Settings() { return *settings_; }
  const std::string& DestPath() const { return destPath_; }
  KVL::Classes::TKVLStringList& Errors() { return *errors_; }
  TSetupExtractHelper& ExtractHelper() { return *extractHelper_; }
  intptr_t Handle() const;
  TSetupMode Mode() const { return mode_; }
  TSetupFlags Flags() const { return flags_; }
  TSetupProductInfo& ProductInfo() { return *productInfo_; }
  TSetupResources& Resources() { return *resources_; }
  TSetupState State() const { return state_; }
  TSetupThread* Thread() { return thread_.get(); }

  bool HasFlag(TSetupFlag flag) const { return flags_.Has(flag); }
  void SetFlag(TSetupFlag flag, bool on) { SetFlags(flags_.With(flag, on)); }
  // Raises EInstallerMysteryError "Invalid Arguments" when sfAuto or sfSilent would change.
  void SetFlags(TSetupFlags flags);
  void ValidateFlags();
  // Normalises the folder (full path, long names, trailing separator), reloads what is
  // installed there and re-decides sfUpdate and sfPortable.
  void SetDestPath(const std::string& folder);
  bool IsInProgramFiles() const;

  bool HasErrors() const { return !errors_->IsEmpty(); }
  // Called from the worker as well; the main thread reads Errors only after snFinished.
  void AddError(const std::string& message) { errors_->Add(message); }

  // Starts the worker once; with wait, blocks until it has ended while serving its
  // notifications and questions. Raises "DestPath is empty" without a destination.
  void Run(bool wait);
  // Starts the script's chosen programs through the spawn service (install mode, no errors).
  void LaunchActions();

  // Synchronous: return after the main thread has broadcast them. Any thread.
  void SendNotify(int32_t code, int32_t value);
  void SendNotifyText(int32_t code, const std::string& text);
  void AddListener(IInstallerNotify* listener);
  void RemoveListener(IInstallerNotify* listener);
  // Main thread: snFinished updates the state (and adds "E4" when cancelled), then every
  // listener hears the code, the last registered first.
  void Broadcast(int32_t code, intptr_t param);

private:
  void Construct(const std::string& params, std::unique_ptr<TSetupResources> resources);
  void ParseCommandLine(const std::string& params);
  intptr_t WindowProc(uint32_t msg, uintptr_t wParam, intptr_t lParam);

  std::unique_ptr<KVL::FileFormats::INI::TKVLIniFile> settings_;
  std::string destPath_;
  std::unique_ptr<KVL::Classes::TKVLStringList> errors_;
  std::unique_ptr<TSetupExtractHelper> extractHelper_;
  std::unique_ptr<KVL::Platform::TMessageWindow> window_;
  std::vector<IInstallerNotify*> listeners_;
  std::recursive_mutex listenersLock_;
  TSetupMode mode_ = smInstall;
  TSetupFlags flags_;
  std::unique_ptr<TSetupProductInfo> productInfo_;
  std::unique_ptr<TSetupResources> resources_;
  TSetupState state_ = ssIdle;
  std::unique_ptr<TSetupThread> thread_;
};

// The one setup object: set by its constructor, cleared by its destructor.
extern TSetup* Setup;

} // namespace Setup::Core
