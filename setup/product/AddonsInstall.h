// The optional add-ons: extracts the add-ons installer to the temporary folder and starts it.
#pragma once

#include <string>
#include <string_view>

#include "setup/core/Action.h"

namespace KVL::Classes {
class TKVLStringList;
}

namespace Setup::Product::ONDU::Actions {

// Reads the user's three add-ons choices (section Common, default off). When any is on,
// writes the resource named by P4 of "addons.ini" to the temporary folder and opens it with
// the parameters built from P1..P3 and CL, without waiting for it.
class TSetupActionAddonsInstall : public Setup::Core::TSetupAction {
public:
  void Execute() override;
  void BuildSummary(Setup::Core::TSetupSummaryBuilder& builder) override;

  // The value of the last line named name (ignoring case); "" when there is none.
  static std::string LastValue(const KVL::Classes::TKVLStringList& list, std::string_view name);
  // format with its first "%s" replaced by text; nothing else in it is interpreted.
  static std::string FormatParameters(const std::string& format, const std::string& text);
};

} // namespace Setup::Product::ONDU::Actions
