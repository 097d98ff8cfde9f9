// The preparation action: one cleanup list that the backup, the update rules and the tasks shape.
#include "setup/product/Prepare.h"

#include <algorithm>
#include <mutex>
#include <set>
#include <unordered_set>

#include "KVL/Base/Platform/Directory.h"
#include "KVL/Base/Platform/File.h"
#include "KVL/Base/Platform/Process.h"
#include "KVL/Base/Platform/Shell.h"
#include "KVL/Base/SysUtils.h"
#include "setup/core/Errors.h"
#include "setup/core/FileServices.h"
#include "setup/core/ProductInfo.h"
#include "setup/core/Resources.h"
#include "setup/core/Script.h"
#include "setup/core/Setup.h"
#include "setup/core/SummaryBuilder.h"
#include "setup/product/BackupArchive.h"
#include "setup/product/ProductInfoONDU.h"
#include "setup/product/ShellTasks.h"
#include "setup/product/UpdateConfigs.h"

namespace Setup::Product::ONDU::Actions {

using KVL::Classes::TKVLStringList;
using KVL::Platform::kPathDelim;
using KVL::SysUtils::Format;
using KVL::SysUtils::StartsText;
using Setup::Core::EInstallerBackupError;
using Setup::Core::Setup;
using Setup::Core::TSetupFileList;

namespace {

constexpr const char* kBackupFolder = "!Backup";

std::string BackupFolder() { return Setup->DestPath() + kBackupFolder + kPathDelim; }

// Relative paths are written with '\' as the product data has them.
std::string NativePath(std::string path) {
  for (char& ch : path)
    if (ch == '\\' || ch == '/') ch = kPathDelim;
  return path;
}

std::tm LocalNow() {
  // localtime's result is shared by the whole process.
  static std::mutex lock;
  std::lock_guard<std::mutex> guard(lock);
  const std::time_t now = std::time(nullptr);
  return *std::localtime(&now);
}

} // namespace

TSetupActionPrepare::TSetupActionPrepare() : profiles_(std::make_unique<TSetupProfileInfoList>()) {}

TSetupActionPrepare::~TSetupActionPrepare() = default;

std::string TSetupActionPrepare::ArchiveName(const std::string& version, const std::tm& t) {
  return Format("z Before install %s [%04d.%02d.%02d %02d-%02d-%02d].zip", version.c_str(), t.tm_year + 1900,
                t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec);
}

void TSetupActionPrepare::Execute() {
  done_ = 0;
  total_ = 0;
  TKVLStringList cleanup;
  TSetupProfileHelper::PopulateProfiles(*profiles_);
  CreateTasks();
  total_ = static_cast<int32_t>(tasks_.size());
  if (!Setup->HasFlag(Setup::Core::sfNoBackup)) Backup(cleanup);
  if (Setup->HasFlag(Setup::Core::sfUpdate)) KeepUpdatedFiles(cleanup);
  AddSurplusArchives(cleanup);
  AddObsoleteFiles(cleanup);
  AddComponents(cleanup);

  // Duplicates ignoring case; the first occurrence stays.
  TKVLStringList unique;
  std::unordered_set<std::string> seen;
  for (int i = 0; i < cleanup.Count(); ++i)
    if (seen.insert(KVL::SysUtils::UpperCase(cleanup.Strings(i))).second) unique.Add(cleanup.Strings(i));

  RunTasks(unique);
  Clean(unique);
}

void TSetupActionPrepare::CreateTasks() {
  Setup::Core::TSetupProductInfo& product = ProductInfo();
  const bool update = Setup->HasFlag(Setup::Core::sfUpdate);
  if (!Setup->HasFlag(Setup::Core::sfPortable) && (!update || product.GetInstalledVersion() < 4000)) {
    tasks_.push_back(std::make_unique<TSetupUpdateTaskRemoveShellMenu>());
    tasks_.push_back(std::make_unique<TSetupUpdateTaskRemoveUninstallInfo>());
    tasks_.push_back(std::make_unique<TSetupUpdateTaskRemoveShortcuts>());
  }
  if (update)
    for (int i = 0; i < profiles_->Count(); ++i)
      tasks_.push_back(std::make_unique<TSetupUpdateTaskUpdateConfigs>(profiles_->Items(i)));
}

void TSetupActionPrepare::Backup(TKVLStringList& cleanup) {
  const std::string& dest = Setup->DestPath();
  const std::string excluded = BackupFolder();
  TSetupFileList files;
  if (Setup->HasFlag(Setup::Core::sfPortable)) {
    files.AddFolder(dest, excluded, "");
  } else {
    for (int i = 0; i < profiles_->Count(); ++i) {
      const TSetupProfileInfo& profile = profiles_->Items(i);
      files.AddFolder(profile.OldPath, excluded, "Profiles\\" + profile.Name + "\\");
    }
    files.AddFolder(dest, excluded, "Program\\");
  }
  total_ += files.Count();
  for (int i = 0; i < files.Count(); ++i) cleanup.Add(files.Items(i).Source);
  // Caches and the updater go with the rest but are not worth keeping.
  for (const char* name : {"AlbumArts.cache", "AlbumArts.db", "AlbumArtsCache.db", "AlbumArtCache.db",
                           "UpdateInstaller.exe"})
    files.RemoveByName(name);
  WriteArchive(files);
}

void TSetupActionPrepare::WriteArchive(const TSetupFileList& files) {
  Status(GetCommonString("A1"));
  if (files.Count() == 0) return;

  int64_t bytes = 0;
  for (int i = 0; i < files.Count(); ++i)
    if (auto info = KVL::Platform::QueryFileInfo(files.Items(i).Source)) bytes += info->Size;
  if (bytes >= kMaxBackupBytes) throw EInstallerBackupError("Too many files for backup");

  const std::string folder = BackupFolder();
  ForceDirectory(folder);
  const std::string archive = folder + ArchiveName(ProductInfo().GetVersion(), LocalNow());
  try {
    TBackupArchive::Write(archive, files, [this](int) { StepDone(); });
  } catch (const EBackupFileError& e) {
    throw EInstallerBackupError(Format("An error occurs while backuping the \"%s\" file (%lld)\r\n%s\r\n%s",
                                       e.Path.c_str(), static_cast<long long>(e.Size), e.what(),
                                       e.SystemText.c_str()));
  } catch (const EInstallerBackupError&) {
    throw;
  } catch (const KVL::SysUtils::EKVLError& e) {
    // The archive itself could not be made or written: nothing of the old installation goes.
    throw EInstallerBackupError(e.what());
  }
}

void TSetupActionPrepare::KeepUpdatedFiles(TKVLStringList& cleanup) {
  const std::string& dest = Setup->DestPath();
  std::vector<std::string> kept;
  if (ProductInfo().GetInstalledVersion() >= 3600) kept.push_back(dest + NativePath("Plugins\\"));
  for (const char* name : {"Icons\\", "System\\Data\\", "System\\Encoders\\", "Skins\\", "libwebp.dll"})
    kept.push_back(dest + NativePath(name));
  for (int i = cleanup.Count() - 1; i >= 0; --i)
    for (const std::string& prefix : kept)
      if (StartsText(cleanup.Strings(i), prefix)) {
        cleanup.Delete(i);
        break;
      }
}

void TSetupActionPrepare::AddSurplusArchives(TKVLStringList& cleanup) {
  const std::string folder = BackupFolder();
  if (!KVL::Platform::DirectoryExists(folder)) return;
  std::vector<std::string> archives;
  for (const KVL::Platform::TDirectoryEntry& entry : KVL::Platform::ListDirectory(folder)) {
    const std::string& name = entry.Name;
    if (!entry.IsFolder && name.size() >= 4 && KVL::SysUtils::SameTextAscii(name.substr(name.size() - 4), ".zip"))
      archives.push_back(folder + name);
  }
  std::sort(archives.begin(), archives.end());
  // The archive just written is among them: with it, three remain.
  if (archives.size() >= 4)
    for (size_t i = 0; i + 3 < archives.size(); ++i) cleanup.Add(archives[i]);
}

void TSetupActionPrepare::AddObsoleteFiles(TKVLStringList& cleanup) {
  const std::string system = KVL::Platform::GetSpecialFolder(KVL::Platform::TSpecialFolder::sfSystem);
  if (!system.empty() && KVL::Platform::FileExists(system + kObsoleteSystemCodec))
    cleanup.Add(system + kObsoleteSystemCodec);

  const int32_t installed = ProductInfo().GetInstalledVersion();
  const std::string plugins = Setup->DestPath() + "Plugins" + kPathDelim;
  std::vector<std::string> files;
  for (const TObsoletePluginFolder& folder : kObsoletePluginFolders)
    if (installed < folder.InstalledBelow) {
      const std::string path = plugins + folder.Name + kPathDelim;
      if (KVL::Platform::DirectoryExists(path)) Setup::Core::FindFiles(path, "", files);
    }
  for (std::string& file : files) cleanup.Add(std::move(file));
}

void TSetupActionPrepare::AddComponents(TKVLStringList& cleanup) {
  const Setup::Core::TSetupScriptGroup& components = Script().Components();
  for (int i = 0; i < components.Count(); ++i) cleanup.Add(Resources().ExpandPath(components.Files(i).Name));
}

void TSetupActionPrepare::RunTasks(TKVLStringList& cleanup) {
  Status(GetCommonString("A5"));
  for (const std::unique_ptr<TSetupUpdateTask>& task : tasks_) {
    ++done_;
    task->Execute(&cleanup);
    SetProgress(total_ > 0 ? static_cast<int32_t>((int64_t{done_} * 200 + total_) / (int64_t{total_} * 2)) : 0);
  }
}

void TSetupActionPrepare::StepDone() {
  ++done_;
  SetProgress(total_ > 0 ? static_cast<int32_t>((int64_t{done_} * 200 + total_) / (int64_t{total_} * 2)) : 0);
}

void TSetupActionPrepare::Clean(const TKVLStringList& cleanup) {
  Status(GetCommonString("A3"));
  std::set<std::string> folders;  // sorted case-sensitively, without duplicates
  for (int i = 0; i < cleanup.Count(); ++i) {
    Setup::Core::DeleteFileOrSchedule(cleanup.Strings(i));
    folders.insert(KVL::Platform::ExtractFilePath(cleanup.Strings(i)));
  }
  // Deepest last in sorted order, so a child goes before its parent.
  for (auto it = folders.rbegin(); it != folders.rend(); ++it)
    if (!it->empty()) KVL::Platform::RemoveEmptyDirectory(*it);
}

void TSetupActionPrepare::BuildSummary(Setup::Core::TSetupSummaryBuilder& builder) {
  const bool update = Setup->HasFlag(Setup::Core::sfUpdate);
  const bool portable = Setup->HasFlag(Setup::Core::sfPortable);
  builder.BeginGroup("PageSetup", "LB1");
  builder.AddLine(Setup->DestPath());
  builder.BeginGroup("PageSetup", "Title");
  builder.AddLine("PageSetup", update ? "CB1" : portable ? "CB3" : "CB2");
  if (!Setup->HasFlag(Setup::Core::sfNoBackup)) builder.AddLine("PageSetup", "CB4");
  std::string found;
  if (!update && (ProductInfo().GetInstalledVersion() >= 1 || (!portable && TProductInfoONDU::FindInstallation(found)))) {
    builder.BeginGroup("PageSetup", "Title");
    builder.AddLine("PageSetup", "W3");
  }
}

} // namespace Setup::Product::ONDU::Actions
