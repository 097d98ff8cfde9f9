// The ONDU player's product information: what is installed in the destination and which actions run.
#pragma once

#include <cstdint>
#include <string>

#include "KVL/Base/FileFormats/INI.h"
#include "setup/core/ProductInfo.h"

namespace Setup::Product::ONDU {

class TProductInfoONDU : public Setup::Core::TSetupProductInfo {
public:
  TProductInfoONDU() = default;

  // The folder of an installation found elsewhere, else the program-files rule.
  std::string GetDefaultPath() override;
  // True for 3500..5399: the versions whose settings can be migrated.
  bool CanUpdate() override;
  // Not System/UserMode (default 1) of the loaded configuration.
  bool IsPortable() override;
  // System/Version of the loaded configuration; 0 when nothing is installed.
  int32_t GetInstalledVersion() override;
  // Loads ONDU.ini (else ONDU3.ini) of Setup->DestPath() and copies its Integration section
  // into the setup object's Settings, so the earlier choices become the defaults.
  void LoadInstallation() override;
  void PopulateActions(const Setup::Core::TSetupActionClassCallback& callback) override;
  // Install: welcome, license, setup, add-ons (when offered), integration, ready; removal:
  // the removal options. Each class travels as a Setup::UI::Pages::TSetupPageClass.
  void PopulatePages(const Setup::Core::TSetupPageClassCallback& callback) override;

  // The configuration of the installation last loaded; empty when there is none.
  const KVL::FileFormats::INI::TKVLIniFile& Config() const { return config_; }

  // An earlier installation: the installed-program entry "ONDU", then "ONDU3", then the
  // folder of a running player's executable. The folder ends with a separator.
  static bool FindInstallation(std::string& folder);
  // Add-ons are offered only in an interactive run with the Russian language chosen.
  static bool IsAddonsAvailable();

private:
  KVL::FileFormats::INI::TKVLIniFile config_;
};

// Makes TProductInfoONDU the product information the setup object creates. Called by the
// program's entry: a static library's initialisers may be dropped by the linker.
void RegisterProduct();

} // namespace Setup::Product::ONDU
