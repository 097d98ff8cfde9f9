// The start-up sequence of the installer and uninstaller.
#include "app/Startup.h"

#include <charconv>
#include <exception>
#include <optional>

#include "KVL/Base/Platform/File.h"
#include "KVL/Base/Platform/MessageBox.h"
#include "KVL/Base/Platform/Security.h"
#include "KVL/Base/Platform/Shell.h"
#include "KVL/Base/SysUtils.h"
#include "KVL/Base/Utils/CommandLine.h"
#include "KVL/UI/Application.h"
#include "KVL/UI/ColorScheme.h"
#include "KVL/UI/Dialogs/MessageDialog.h"
#include "KVL/UI/WindowHost.h"
#include "setup/core/Errors.h"
#include "setup/core/ProductInfo.h"
#include "setup/core/Resources.h"
#include "setup/core/Setup.h"
#include "setup/core/SpawnService.h"
#include "setup/core/Uninstaller.h"
#include "setup/ui/LanguageDialog.h"
#include "setup/ui/Main.h"
#include "setup/ui/Pages.h"

namespace App {

using namespace Setup::Core;
using KVL::Utils::CommandLine::GetSwitchValue;
using KVL::Utils::CommandLine::HasSwitch;

namespace {

// Drops the spawn service however the sequence ends.
struct TSpawnServiceScope {
  ~TSpawnServiceScope() { TSetupSpawnService::Finalize(); }
};

int RunSequence(const std::string& params) {
  if (!SetupProductInfoClass) throw EInstallerGeneralError("Setup is malformed");

  // Systems with elevation (Windows Vista and later; POSIX with pkexec): the user's instance
  // re-launches itself elevated and serves as the spawn service while it waits.
  if (KVL::Platform::CanElevate()) {
    std::string skipUac;
    if (GetSwitchValue(params, "SKIPUAC", skipUac)) {
      // A value that is not a number counts as 0: this instance is its own service.
      int64_t handle = 0;
      const std::string value = KVL::SysUtils::Trim(skipUac);
      auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), handle);
      if (ec != std::errc() || end != value.data() + value.size()) handle = 0;
      TSetupSpawnService::Initialize(static_cast<intptr_t>(handle));
    } else if (!KVL::Platform::IsUserAnAdmin()) {
      std::optional<uint32_t> code = RelaunchElevated(params);
      return code ? static_cast<int>(*code) : kExitCancelled;
    }
  }
  if (!KVL::Platform::IsUserAnAdmin()) throw EInstallerNoAdminRightsError();

  // Whether the desktop prefers dark is asked of another process: it answers while the
  // packages decode.
  if (!HasSwitch(params, "SILENT")) KVL::UI::BeginColorSchemeQuery();
  TSetup setup(params);
  if (setup.Mode() == smUninstall) {
    std::string path;
    if (GetSwitchValue(params, "PATH", path) && !path.empty() && KVL::Platform::DirectoryExists(path)) {
      setup.SetDestPath(path);
    } else if (IsRunningFromTemp()) {
      // The copy has no usable installation folder; copying it again would loop.
      throw EInstallerMysteryError("Cannot start the Uninstaller");
    } else {
      RelaunchFromTemp(params);
      return kExitSuccess;
    }
  }

  // Without a display nobody could answer the wizard: an unattended run goes on without
  // windows, an interactive one says why it cannot start instead of waiting for ever.
  const bool wizard = !setup.HasFlag(sfSilent) && KVL::UI::NativeHostAvailable();
  if (!setup.HasFlag(sfSilent) && !wizard && !setup.HasFlag(sfAuto)) {
    throw EInstallerGeneralError("Setup has no display to show its wizard on; start it with /AUTO or /SILENT.");
  }
  if (wizard) {
    // The language dialog is already a toolkit window, in the wizard's colours.
    KVL::UI::TKVLApplication::Initialize();
    Setup::UI::Pages::UpdateColors();
    InstallLanguageDialog();
    KVL::UI::Dialogs::UseToolkitMessageDialog();
  }

  setup.Resources().InitializeLanguages();

  if (wizard) {
    // Missing artwork raises here, before any window is shown.
    Setup::UI::Dialogs::Main::TWizardForm form;
    KVL::UI::TKVLApplication::Run(form);
    return form.Cancelled() ? kExitCancelled : kExitSuccess;
  }
  setup.Run(true);
  if (setup.HasErrors()) {
    std::string text;
    for (int i = 0; i < setup.Errors().Count(); ++i) text += setup.Errors().Strings(i) + "\r\n";
    throw EInstallerInstallError(text);
  }
  setup.LaunchActions();
  return kExitSuccess;
}

} // namespace

int RunSetup(const std::string& params) {
  TSpawnServiceScope spawnScope;
  try {
    return RunSequence(params);
  } catch (const std::exception& e) {
    KVL::Platform::MessageDlg(e.what(), "Setup", KVL::Platform::TMsgDlgType::mtError,
                              KVL::Platform::TMsgDlgButtons::mbOK, KVL::Platform::mrOk);
    return kExitError;
  }
}

} // namespace App
