// The action base: progress, and the services actions reach through the setup object.
#include "setup/core/Action.h"

#include "setup/core/Extract.h"
#include "setup/core/ProductInfo.h"
#include "setup/core/Resources.h"
#include "setup/core/Setup.h"
#include "setup/core/SetupTypes.h"
#include "setup/core/SummaryBuilder.h"

namespace Setup::Core {

void TSetupAction::BuildSummary(TSetupSummaryBuilder&) {}

void TSetupAction::Run() {
  Execute();
  SetProgress(100);
}

void TSetupAction::SetProgress(int32_t value) {
  if (value == progress_) return;
  progress_ = value;
  if (OnProgress) OnProgress(*this);
}

void TSetupAction::ExtractFile(const TSetupScriptFile& entry) { Setup->ExtractHelper().ExtractFile(entry); }

void TSetupAction::ForceDirectory(const std::string& folder) { Setup->ExtractHelper().ForceDirectory(folder); }

std::string TSetupAction::GetString(std::string_view section, std::string_view key) {
  return Setup->Resources().GetText(section, key);
}

void TSetupAction::Status(const std::string& text) { Setup->SendNotifyText(snStatusText, text); }

TSetupProductInfo& TSetupAction::ProductInfo() { return Setup->ProductInfo(); }

TSetupResources& TSetupAction::Resources() { return Setup->Resources(); }

KVL::FileFormats::INI::TKVLIniFile& TSetupAction::Settings() { return Setup->Settings(); }

const TSetupScript& TSetupAction::Script() { return Setup->Resources().Script(); }

int32_t TSetupActionList::Progress() const {
  if (items_.empty()) return 0;
  int64_t sum = 0;
  for (const auto& action : items_) sum += action->Progress();
  return static_cast<int32_t>(sum / static_cast<int64_t>(items_.size()));
}

} // namespace Setup::Core
