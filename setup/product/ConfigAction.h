// The action that writes the program folder's ONDU.ini: integration choices, mode, language, version.
#pragma once

#include "setup/core/Action.h"

namespace Setup::Product::ONDU::Actions {

class TSetupActionConfig : public Setup::Core::TSetupAction {
public:
  // Rewrites the destination's ONDU.ini: the Integration section from the setup object's
  // Settings, then a fresh System section (UserMode, DefaultLang, Version) as the last one.
  // A file that cannot be written stays as it was, without an error.
  void Execute() override;
};

} // namespace Setup::Product::ONDU::Actions
