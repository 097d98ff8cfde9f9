// The actions that connect a fresh installation to the desktop shell: registration, shortcuts, shell refresh.
#pragma once

#include <string>

#include "KVL/Base/StringList.h"
#include "setup/core/Action.h"

namespace Setup::Product::ONDU::Actions {

// The switches for the companion program, each with a blank in front, in this order:
// " /REG=L1 /REG=D1 /REG=R1" to integrate, " /REG=M1" for the context menu, " /REG=R2" to
// associate with files, and " /REG_UI" when associating on Windows 8 or later in an
// interactive run (the system's own default-apps page). Empty when every option is off.
std::string IntegrationSwitches(bool integrate, bool contextMenu, bool associate, bool windows8OrLater,
                                bool unattended);

// Registers the player with the system by running the destination's Elevator.exe with the
// chosen switches; not started when every option is off or the program is not there.
class TSetupActionIntegrate : public Setup::Core::TSetupAction {
public:
  void Execute() override;
  void BuildSummary(Setup::Core::TSetupSummaryBuilder& builder) override;
  // The program path, quoted when it holds blanks, followed by IntegrationSwitches of the
  // options as they stand; empty when no switch applies.
  std::string CommandLine();
};

// Creates the script's shortcuts below the roots the user chose ($DESKTOP, $STARTMENU).
class TSetupActionShortcuts : public Setup::Core::TSetupAction {
public:
  void Execute() override;
  void BuildSummary(Setup::Core::TSetupSummaryBuilder& builder) override;
  // The script variables whose shortcuts are wanted, filled by Execute.
  const KVL::Classes::TKVLStringList& Roots() const { return roots_; }

private:
  void ProcessEntry(const std::string& name, const std::string& target);
  KVL::Classes::TKVLStringList roots_;
};

// Tells the shell that file associations changed, then gives it a second to catch up.
class TSetupActionUpdateShellCache : public Setup::Core::TSetupAction {
public:
  void Execute() override;
};

} // namespace Setup::Product::ONDU::Actions
