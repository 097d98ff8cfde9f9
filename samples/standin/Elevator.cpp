// The player's shell-integration companion: records its start, then registers or unregisters the player.
#include <cstdio>
#include <exception>
#include <optional>
#include <string>
#include <vector>

#include "ElevatorRegistration.h"
#include "ElevatorShell.h"
#include "KVL/Base/Platform/CommandLine.h"
#include "KVL/Base/Platform/Environment.h"
#include "KVL/Base/Platform/Process.h"
#include "KVL/Base/Platform/Registry.h"
#include "KVL/Base/Platform/ShellLink.h"
#include "KVL/Base/SysUtils.h"
#include "StartLog.h"

namespace {

using OnduSample::TElevatorRegistration;

enum class TSwitch { swApplication, swClient, swProgIds, swContextMenu, swAssociate, swDefaultAppsPage, swUnregister };

struct TSwitchName {
  const char* Name;
  TSwitch Switch;
};

constexpr TSwitchName kSwitches[] = {
    {"REG=L1", TSwitch::swApplication}, {"REG=D1", TSwitch::swClient},         {"REG=R1", TSwitch::swProgIds},
    {"REG=M1", TSwitch::swContextMenu}, {"REG=R2", TSwitch::swAssociate},      {"REG_UI", TSwitch::swDefaultAppsPage},
    {"REG=U", TSwitch::swUnregister},
};

// Tests set this so that a run never opens a settings window.
constexpr const char* kNoUiVariable = "ONDU_ELEVATOR_NO_UI";

bool ParseSwitch(const std::string& arg, TSwitch& result) {
  if (arg.size() < 2 || (arg[0] != '/' && arg[0] != '-')) return false;
  for (const TSwitchName& s : kSwitches)
    if (KVL::SysUtils::SameTextAscii(arg.substr(1), s.Name)) {
      result = s.Switch;
      return true;
    }
  return false;
}

// Opens the default-apps page, or only records it when the environment forbids windows.
// The record, elevator-ui.log beside elevator.log, lets tests see that the page was asked for.
int ShowDefaultAppsPage() {
  const OnduSample::TDefaultAppsPage page = OnduSample::DefaultAppsPage();
  if (page.File.empty()) return 0;  // nothing to show on this system
  std::string outcome = "suppressed";
  const std::optional<std::string> noUi = KVL::Platform::GetEnv(kNoUiVariable);
  if (!noUi || noUi->empty())
    outcome = KVL::Platform::ShellOpen(page.File, page.Parameters) ? "opened" : "failed";
  std::string target = page.File;
  if (!page.Parameters.empty()) target += " " + page.Parameters;
  return OnduSample::AppendRecordLine("elevator-ui.log", OnduSample::UtcTimeStamp() + '\t' + target + '\t' + outcome + "\r\n");
}

int Run(const std::vector<std::string>& args) {
  std::vector<TSwitch> switches;
  for (size_t i = 1; i < args.size(); ++i) {
    TSwitch s;
    // Nothing is changed unless every switch is understood.
    if (!ParseSwitch(args[i], s)) {
      std::fprintf(stderr, "Elevator: unknown switch \"%s\"\n", args[i].c_str());
      return 1;
    }
    switches.push_back(s);
  }

  const std::string self = KVL::Platform::ExecutablePath();
  TElevatorRegistration registration(KVL::Platform::ExtractFilePath(self) + "ONDU.exe", self);
  bool changed = false, showPage = false;
  // One batch for all switches: on POSIX the stand-in is written once, and a failure halfway
  // leaves it as it was.
  KVL::Platform::TRegistryBatch batch;
  for (TSwitch s : switches) {
    changed = changed || s != TSwitch::swDefaultAppsPage;
    switch (s) {
      case TSwitch::swApplication: registration.RegisterApplication(); break;
      case TSwitch::swClient: registration.RegisterClient(); break;
      case TSwitch::swProgIds: registration.RegisterProgIds(); break;
      case TSwitch::swContextMenu: registration.RegisterContextMenu(); break;
      case TSwitch::swAssociate: registration.AssociateFiles(); break;
      case TSwitch::swUnregister: registration.Unregister(); break;
      case TSwitch::swDefaultAppsPage: showPage = true; break;
    }
  }
  batch.Commit();
  if (changed) KVL::Platform::NotifyAssociationsChanged();
  // Last, so that the page shows the registration just made.
  return showPage ? ShowDefaultAppsPage() : 0;
}

} // namespace

int main() {
  // The record comes first and whatever happens: the installer's tests read it.
  const int recorded = OnduSample::RecordStart("elevator.log");
  try {
    const int result = Run(KVL::Platform::ProcessArguments());
    return result != 0 ? result : recorded;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "Elevator: %s\n", e.what());
    return 1;
  }
}
