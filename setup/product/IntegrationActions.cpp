// Registering the player with the shell, creating its shortcuts and refreshing the shell's associations.
#include "setup/product/IntegrationActions.h"

#include <chrono>
#include <thread>

#include "KVL/Base/FileFormats/INI.h"
#include "KVL/Base/Platform/File.h"
#include "KVL/Base/Platform/Process.h"
#include "KVL/Base/Platform/Shell.h"
#include "KVL/Base/Platform/ShellLink.h"
#include "KVL/Base/SysUtils.h"
#include "setup/core/Resources.h"
#include "setup/core/Script.h"
#include "setup/core/Setup.h"
#include "setup/core/SetupTypes.h"
#include "setup/core/SpawnService.h"
#include "setup/core/SummaryBuilder.h"
#include "setup/product/UninstallActions.h"

namespace Setup::Product::ONDU::Actions {

using Setup::Core::sfAuto;
using Setup::Core::sfPortable;

namespace {

constexpr const char* kSection = "Integration";
constexpr const char* kPage = "PageIntegration";

bool Option(const char* key, bool def) { return Setup::Core::Setup->Settings().ReadBool(kSection, key, def); }

bool IntegrateToWindows() { return Option("IntegrateToWindows", true); }
bool RegisterContextMenu() { return Option("RegisterContextMenu", true); }
bool AssociateWithFiles() { return Option("AssociateWithFiles", true); }
// A portable copy leaves the desktop and the menu alone unless asked.
bool ShortcutDesktop() { return Option("ShortcutDesktop", !Setup::Core::Setup->HasFlag(sfPortable)); }
bool ShortcutStartMenu() { return Option("ShortcutStartMenu", !Setup::Core::Setup->HasFlag(sfPortable)); }

bool HasExeExtension(const std::string& path) {
  constexpr std::string_view ext = ".exe";
  return path.size() >= ext.size() &&
         KVL::SysUtils::SameText(std::string_view(path).substr(path.size() - ext.size()), ext);
}

} // namespace

std::string IntegrationSwitches(bool integrate, bool contextMenu, bool associate, bool windows8OrLater,
                                bool unattended) {
  std::string text;
  if (integrate) text += " /REG=L1 /REG=D1 /REG=R1";
  if (contextMenu) text += " /REG=M1";
  if (associate) text += " /REG=R2";
  if (associate && windows8OrLater && !unattended) text += " /REG_UI";
  return text;
}

std::string TSetupActionIntegrate::CommandLine() {
  const std::string switches =
      IntegrationSwitches(IntegrateToWindows(), RegisterContextMenu(), AssociateWithFiles(),
                          KVL::Platform::IsWindows8OrLater(), Setup::Core::Setup->HasFlag(sfAuto));
  if (switches.empty()) return std::string();
  // Quoted when it holds blanks: unquoted, "C:\Program Files\..." would start C:\Program.exe
  // when such a file exists, and the POSIX splitting would not find the program at all.
  return KVL::Platform::QuoteCommandLine(Setup::Core::Setup->DestPath() + "Elevator.exe", {}) + switches;
}

void TSetupActionIntegrate::Execute() {
  if (!KVL::Platform::FileExists(Setup::Core::Setup->DestPath() + "Elevator.exe")) return;
  const std::string command = CommandLine();
  // The program's success is its own affair: a start failure or a slow start is passed over.
  if (!command.empty()) Setup::Core::ExecuteAndWait(command);
}

void TSetupActionIntegrate::BuildSummary(Setup::Core::TSetupSummaryBuilder& builder) {
  builder.BeginGroup(kPage, "LB2");
  if (IntegrateToWindows()) builder.AddLine(kPage, "CB4");
  if (RegisterContextMenu()) builder.AddLine(kPage, "CB5");
  if (AssociateWithFiles()) builder.AddLine(kPage, "CB3");
}

void TSetupActionShortcuts::Execute() {
  Status(GetCommonString("A2"));
  if (ShortcutDesktop()) roots_.Add("$DESKTOP");
  if (ShortcutStartMenu()) roots_.Add("$STARTMENU");
  const Setup::Core::TSetupScriptGroup& shortcuts = Script().Shortcuts();
  const int count = shortcuts.Count();
  for (int i = 0; i < count; ++i) {
    const Setup::Core::TSetupScriptFile& entry = shortcuts.Files(i);
    ProcessEntry(entry.Name, entry.GetSourceName());
    SetProgress(StepProgress(i + 1, count));
  }
}

void TSetupActionShortcuts::ProcessEntry(const std::string& name, const std::string& target) {
  const std::string upper = KVL::SysUtils::UpperCase(name);
  bool wanted = false;
  for (int i = 0; i < roots_.Count() && !wanted; ++i) wanted = upper.find(roots_.Strings(i)) != std::string::npos;
  if (!wanted) return;
  // The Start screen of Windows 8 and later lists shortcuts to programs only.
  if (KVL::Platform::IsWindows8OrLater() && !HasExeExtension(target)) return;
  const std::string link = Resources().ExpandPath(name);
  const std::string folder = KVL::Platform::ExtractFilePath(link);
  if (folder.empty() || !KVL::Platform::ForceDirectories(folder)) return;
  const std::string targetPath = Resources().ExpandPath(target);
  // The same shortcut is left as it is: its time stamps and the user's pins stay.
  if (KVL::Platform::ReadShellLinkTarget(link) == targetPath) return;
  if (KVL::Platform::FileExists(targetPath)) KVL::Platform::CreateShellLink(link, targetPath);
}

void TSetupActionShortcuts::BuildSummary(Setup::Core::TSetupSummaryBuilder& builder) {
  builder.BeginGroup(kPage, "LB1");
  if (ShortcutDesktop()) builder.AddLine(kPage, "CB1");
  if (ShortcutStartMenu()) builder.AddLine(kPage, "CB2");
}

void TSetupActionUpdateShellCache::Execute() {
  KVL::Platform::NotifyAssociationsChanged();
  std::this_thread::sleep_for(std::chrono::milliseconds(1000));
}

} // namespace Setup::Product::ONDU::Actions
