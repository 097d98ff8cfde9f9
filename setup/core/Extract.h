// File extraction: the helper that writes one script entry (with the locked-file protocol)
// and the action that extracts every component and writes the uninstaller.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "KVL/Base/Streams.h"
#include "setup/core/Action.h"

namespace Setup::Core {

class TSetupExtractHelper {
public:
  // Extracts one entry to its expanded target; raises EInstallerInstallError whose message
  // is the target, a line break and the reason.
  void ExtractFile(const TSetupScriptFile& entry);
  // Creates the folder and its parents; raises EInstallerInstallError with "E3".
  void ForceDirectory(const std::string& folder);
  // Opens target for writing (true), or decides to skip it (false): same content in place,
  // or the user chose Ignore. A target that cannot be opened is moved to target.bak first.
  bool CreateTargetStream(const std::string& target, KVL::Streams::TKVLStream& source,
                          std::unique_ptr<KVL::Streams::TKVLStream>& file);
  // The "Common" text of key, its %s replaced by arg.
  std::string FormatMessage(std::string_view key, const std::string& arg);
};

class TSetupActionExtract : public TSetupAction {
public:
  void Execute() override;

  // The component entries of the chosen language family, in script order.
  std::vector<const TSetupScriptFile*> GetFileList();
  // Copies the running executable to folder/Uninstall.exe, writes Uninstall.dat with
  // Uninstall.ini and registers the installation (not when portable).
  void WriteUninstaller(const std::string& folder, const std::vector<const TSetupScriptFile*>& list);
};

} // namespace Setup::Core
