// The setup resources: both packages, the installation script, the language texts and the
// system folders; expansion of the script's variables.
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "KVL/Base/FileFormats/INI.h"
#include "KVL/Base/StringList.h"
#include "KVL/Base/Streams.h"
#include "setup/core/Script.h"
#include "setup/core/package/PackageReader.h"

namespace Setup::Core {

class TSetupResources {
public:
  // SETUP from the running executable's resource; PRODUCT from its resource, or, when the
  // executable is named Uninstall.exe, from the .dat file beside it. Loads Install.xml.
  TSetupResources();
  // Packages read elsewhere (tests, tools); loads Install.xml the same way.
  TSetupResources(std::unique_ptr<Package::TSetupPackageReader> setupPackage,
                  std::unique_ptr<Package::TSetupPackageReader> productPackage);
  ~TSetupResources();
  TSetupResources(const TSetupResources&) = delete;
  TSetupResources& operator=(const TSetupResources&) = delete;

  // The named file from PRODUCT, else from SETUP; raises EInstallerInstallError
  // "Cannot locate "%s" file in setup archive". Safe to call from two threads.
  std::unique_ptr<KVL::Streams::TKVLMemoryStream> OpenStream(const std::string& name);
  // The named file decoded as text and split into lines.
  std::unique_ptr<KVL::Classes::TKVLStringList> LoadStringList(const std::string& name);

  // The language text with variables expanded; empty when missing.
  std::string GetText(std::string_view section, std::string_view key) const;
  // File/Family of the texts, "EN" when none.
  std::string GetLanguageFamily() const;
  // The license for the language family, else the "EN" one; null when neither exists.
  std::unique_ptr<KVL::Streams::TKVLMemoryStream> GetLicenseStream();

  // $DEST, $TEMP, $LINK, $NAME, $VERSION, $DESKTOP, $STARTMENU, $PROGRAMS, and "\n" as a line break.
  std::string ExpandVariables(std::string_view text) const;
  // The same variables (without the line-break step, which would corrupt names starting
  // with 'n'), then the path cleaned into this platform's canonical form.
  std::string ExpandPath(std::string_view text) const;

  // Loads English.lng, asks SelectLanguage for the chosen file and merges it over English.
  void InitializeLanguages();
  // Loads the language file of that name over English without asking (tests, tools).
  void LoadLanguage(const std::string& fileName);

  const std::string& Language() const { return language_; }
  const KVL::Classes::TKVLStringList& Languages() const { return languages_; }
  // Not locked: for use before the worker starts (GetText is the locked way).
  const KVL::FileFormats::INI::TKVLIniFile& Texts() const { return texts_; }
  Package::TSetupPackageReader& ProductPackage() { return *productPackage_; }
  Package::TSetupPackageReader& SetupPackage() { return *setupPackage_; }
  const std::string& DesktopFolder() const { return desktopFolder_; }
  const std::string& ProgramFilesFolder() const { return programFilesFolder_; }
  const std::string& ProgramFilesX86Folder() const { return programFilesX86Folder_; }
  const std::string& StartMenuFolder() const { return startMenuFolder_; }
  const TSetupScript& Script() const { return script_; }

private:
  void Load();
  void LoadEnglish();
  // Merges the language file over the texts and makes it the current language.
  void MergeLanguage(const std::string& fileName);

  KVL::FileFormats::INI::TKVLIniFile texts_;
  std::string language_;
  KVL::Classes::TKVLStringList languages_;
  std::unique_ptr<Package::TSetupPackageReader> productPackage_;
  std::unique_ptr<Package::TSetupPackageReader> setupPackage_;
  std::string desktopFolder_;
  std::string programFilesFolder_;
  std::string programFilesX86Folder_;
  std::string startMenuFolder_;
  TSetupScript script_;
  std::mutex packagesLock_;
  // Reads of texts_ update its lookup caches; the worker and the user interface both read.
  mutable std::mutex textsLock_;
};

} // namespace Setup::Core
