// The action that writes the program folder's ONDU.ini: integration choices, mode, language, version.
#include "setup/product/ConfigAction.h"

#include "KVL/Base/FileFormats/INI.h"
#include "setup/core/ProductInfo.h"
#include "setup/core/Resources.h"
#include "setup/core/Setup.h"

namespace Setup::Product::ONDU::Actions {

void TSetupActionConfig::Execute() {
  Status(GetCommonString("A6"));
  Setup::Core::TSetup& setup = *Setup::Core::Setup;
  // Auto-save writes the document when it goes out of scope and ignores a failing write.
  KVL::FileFormats::INI::TKVLIniFile config(setup.DestPath() + "ONDU.ini", true);
  config.WriteSectionText("Integration", Settings().ReadSectionText("Integration"));
  // Deleted first, so that the section comes last and holds nothing from before.
  config.DeleteSection("System");
  config.WriteBool("System", "UserMode", !setup.HasFlag(Setup::Core::sfPortable));
  config.WriteString("System", "DefaultLang", Resources().Language() + ".lng");
  config.WriteInteger("System", "Version", ProductInfo().GetVersionId());
}

} // namespace Setup::Product::ONDU::Actions
