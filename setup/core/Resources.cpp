// The setup resources: both packages, the installation script, the language texts and the system folders.
#include "setup/core/Resources.h"

#include <algorithm>
#include <exception>
#include <future>
#include <vector>

#include "KVL/Base/Platform/File.h"
#include "KVL/Base/Platform/Process.h"
#include "KVL/Base/Platform/Resources.h"
#include "KVL/Base/Platform/Shell.h"
#include "KVL/Base/SysUtils.h"
#include "setup/core/Errors.h"
#include "setup/core/Languages.h"
#include "setup/core/PathCanonical.h"
#include "setup/core/ProductInfo.h"
#include "setup/core/Setup.h"
#include "setup/core/Uninstaller.h"

namespace Setup::Core {

using KVL::FileFormats::INI::TKVLIniFile;
using KVL::Platform::GetSpecialFolder;
using KVL::Platform::kPathDelim;
using KVL::Platform::TSpecialFolder;
using KVL::Streams::TKVLMemoryStream;
using Package::TSetupPackageReader;

namespace {

constexpr char kScriptName[] = "Install.xml";
constexpr char kEnglishName[] = "English.lng";
constexpr std::string_view kLanguageExt = ".lng";

// Replaces every occurrence of what, left to right; the inserted text is not searched again.
void ReplaceAll(std::string& text, std::string_view what, std::string_view with) {
  size_t pos = 0;
  while ((pos = text.find(what, pos)) != std::string::npos) {
    text.replace(pos, what.size(), with);
    pos += with.size();
  }
}

bool HasLanguageExt(std::string_view name) {
  return name.size() >= kLanguageExt.size() &&
         KVL::SysUtils::SameTextAscii(name.substr(name.size() - kLanguageExt.size()), kLanguageExt);
}

// The file name without folder and extension: "Langs\Russian.lng" -> "Russian".
std::string BaseName(const std::string& fileName) {
  size_t slash = fileName.find_last_of(":\\/");
  std::string name = slash == std::string::npos ? fileName : fileName.substr(slash + 1);
  size_t dot = name.rfind('.');
  return dot == std::string::npos ? name : name.substr(0, dot);
}

std::string FolderOrTemp(TSpecialFolder folder) {
  std::string path = GetSpecialFolder(folder);
  return path.empty() ? KVL::Platform::TempDirectory() : path;
}

TSetup& RunningSetup() {
  if (!Setup) throw KVL::SysUtils::EKVLInvalidOperation("No setup object to expand variables with");
  return *Setup;
}

} // namespace

TSetupResources::TSetupResources() {
  const KVL::Platform::TResourceModule module;
  // Decoding both packages is most of the start-up time; they decode side by side. The
  // uninstaller reads its product from the data package written beside it.
  std::future<std::unique_ptr<TSetupPackageReader>> product =
      std::async(std::launch::async, [&module, dataPath = IsUninstaller() ? UninstallDataPath() : std::string()]() {
        return dataPath.empty() ? std::make_unique<TSetupPackageReader>(module, "PRODUCT")
                                : std::make_unique<TSetupPackageReader>(dataPath);
      });
  std::exception_ptr setupError;
  try {
    setupPackage_ = std::make_unique<TSetupPackageReader>(module, "SETUP");
  } catch (...) {
    setupError = std::current_exception();
  }
  // Always waited for: the task reads the module, which must outlive it. A damaged SETUP
  // is reported before a damaged product, as when they were read one after the other.
  std::exception_ptr productError;
  try {
    productPackage_ = product.get();
  } catch (...) {
    productError = std::current_exception();
  }
  if (setupError) std::rethrow_exception(setupError);
  if (productError) std::rethrow_exception(productError);
  Load();
}

TSetupResources::TSetupResources(std::unique_ptr<TSetupPackageReader> setupPackage,
                                 std::unique_ptr<TSetupPackageReader> productPackage)
    : productPackage_(std::move(productPackage)), setupPackage_(std::move(setupPackage)) {
  if (!setupPackage_ || !productPackage_)
    throw KVL::SysUtils::EKVLInvalidOperation("Setup resources need both packages");
  Load();
}

TSetupResources::~TSetupResources() = default;

void TSetupResources::Load() {
  script_.LoadFromStream(*OpenStream(kScriptName));
  // A script cut short would install part of the product and report success.
  if (!script_.LoadError().empty())
    throw EInstallerGeneralError(std::string(kScriptName) + " is malformed: " + script_.LoadError());

  std::vector<std::string> names;
  const auto& table = setupPackage_->FileTable();
  for (size_t i = 0; i < table.Count(); ++i)
    if (HasLanguageExt(table.Item(i).Name)) names.push_back(table.Item(i).Name);
  std::stable_sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
    return KVL::SysUtils::NaturalCompareText(a, b) < 0;
  });
  for (std::string& n : names) languages_.Add(std::move(n));

  desktopFolder_ = FolderOrTemp(TSpecialFolder::sfCommonDesktop);
  programFilesFolder_ = FolderOrTemp(TSpecialFolder::sfProgramFiles);
  startMenuFolder_ = FolderOrTemp(TSpecialFolder::sfCommonPrograms);
  std::string bare = programFilesFolder_;
  while (!bare.empty() && (bare.back() == kPathDelim || bare.back() == '\\' || bare.back() == '/')) bare.pop_back();
  programFilesX86Folder_ = bare + " (x86)" + kPathDelim;
}

std::unique_ptr<TKVLMemoryStream> TSetupResources::OpenStream(const std::string& name) {
  // The worker extracts while the user-interface thread loads artwork and the license.
  std::lock_guard lock(packagesLock_);
  for (TSetupPackageReader* package : {productPackage_.get(), setupPackage_.get()}) {
    // Only the package that holds the file is read, so its neighbour's position stays put.
    if (const auto* item = package->FileTable().Find(name)) return package->Extract(*item);
  }
  throw EInstallerInstallError(KVL::SysUtils::Format("Cannot locate \"%s\" file in setup archive", name.c_str()));
}

std::unique_ptr<KVL::Classes::TKVLStringList> TSetupResources::LoadStringList(const std::string& name) {
  auto stream = OpenStream(name);
  auto list = std::make_unique<KVL::Classes::TKVLStringList>();
  list->SetText(KVL::Text::DecodeStream(*stream).Text);
  return list;
}

std::string TSetupResources::GetText(std::string_view section, std::string_view key) const {
  std::string text;
  {
    // Lookups refresh the document's caches, and both threads ask for texts.
    std::lock_guard lock(textsLock_);
    text = texts_.ReadString(section, key, "");
  }
  return ExpandVariables(text);
}

std::string TSetupResources::GetLanguageFamily() const {
  std::lock_guard lock(textsLock_);
  return texts_.ReadString(KVL::MUI::kLangFileSection, KVL::MUI::kLangKeyFamily, "EN");
}

std::unique_ptr<TKVLMemoryStream> TSetupResources::GetLicenseStream() {
  const TSetupScriptGroup& license = script_.License();
  const TSetupScriptFile* entry = license.FindByFamily(GetLanguageFamily());
  if (!entry) entry = license.FindByFamily("EN");
  if (!entry) return nullptr;
  return OpenStream(entry->Name);
}

namespace {

// Steps 2 to 9 of the expansion; shared by texts and paths.
void ExpandNamedVariables(std::string& text, const TSetupResources& resources) {
  TSetup& setup = RunningSetup();
  TSetupProductInfo& product = setup.ProductInfo();
  ReplaceAll(text, "$DEST", setup.DestPath());
  ReplaceAll(text, "$TEMP", KVL::Platform::TempDirectory());
  ReplaceAll(text, "$LINK", product.GetHomePage());
  ReplaceAll(text, "$NAME", product.GetName());
  ReplaceAll(text, "$VERSION", product.GetVersionInfo());
  ReplaceAll(text, "$DESKTOP", resources.DesktopFolder());
  ReplaceAll(text, "$STARTMENU", resources.StartMenuFolder());
  ReplaceAll(text, "$PROGRAMS", resources.ProgramFilesFolder());
}

} // namespace

std::string TSetupResources::ExpandVariables(std::string_view text) const {
  std::string out(text);
  ReplaceAll(out, "\\n", "\r\n");
  ExpandNamedVariables(out, *this);
  return out;
}

std::string TSetupResources::ExpandPath(std::string_view text) const {
  std::string out(text);
  ExpandNamedVariables(out, *this);
  return CanonicalizePath(out, kPathDelim);
}

void TSetupResources::InitializeLanguages() {
  LoadEnglish();
  MergeLanguage(SelectLanguage(*this, RunningSetup().HasFlag(sfAuto)));
}

void TSetupResources::LoadLanguage(const std::string& fileName) {
  LoadEnglish();
  MergeLanguage(fileName);
}

void TSetupResources::LoadEnglish() {
  auto stream = OpenStream(kEnglishName);
  std::lock_guard lock(textsLock_);
  texts_.LoadFromStream(*stream);
}

void TSetupResources::MergeLanguage(const std::string& fileName) {
  TKVLIniFile chosen;
  chosen.LoadFromStream(*OpenStream(fileName));
  {
    std::lock_guard lock(textsLock_);
    // The chosen language wins key by key; what it lacks keeps its English text.
    texts_.Merge(chosen, true);
  }
  language_ = BaseName(fileName);
}

} // namespace Setup::Core
