// File services of the installer core.
#include "setup/core/FileServices.h"

#include <algorithm>
#include <utility>

#include "KVL/Base/Platform/Directory.h"
#include "KVL/Base/Platform/File.h"
#include "KVL/Base/SysUtils.h"

namespace Setup::Core {

using namespace KVL::Platform;
using KVL::SysUtils::SameText;

namespace {

std::string FileNamePart(std::string_view path) {
  size_t cut = path.find_last_of(":\\/");
  return std::string(cut == std::string_view::npos ? path : path.substr(cut + 1));
}

void Visit(const std::string& folder, const std::string& excludedPrefix, std::vector<std::string>& files) {
  if (KVL::SysUtils::StartsText(folder, excludedPrefix)) return;
  std::vector<TDirectoryEntry> entries;
  try {
    entries = ListDirectory(folder);
  } catch (const KVL::SysUtils::EKVLError&) {
    return;  // a folder that cannot be listed holds nothing to find
  }
  for (const TDirectoryEntry& e : entries)
    if (!e.IsFolder) files.push_back(folder + e.Name);
  // Sub-folders in the order Windows sorts names: ignoring case.
  std::vector<std::pair<std::string, std::string>> folders;
  for (const TDirectoryEntry& e : entries)
    if (e.IsFolder && !e.IsLink) folders.emplace_back(KVL::SysUtils::UpperCase(e.Name), e.Name);
  std::stable_sort(folders.begin(), folders.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  for (const auto& f : folders) Visit(folder + f.second + kPathDelim, excludedPrefix, files);
}

} // namespace

void CopyFileOrRaise(const std::string& source, const std::string& target) {
  if (!CopyFileReplacing(source, target)) RaiseLastOSError(source + " -> " + target);
}

void ScheduleDeleteOnReboot(const std::string& file) { ScheduleDeleteAtRestart(file); }

void DeleteFileOrSchedule(const std::string& file) {
  if (!FileExists(file)) return;
  ClearFileAttributes(file);
  if (RemoveFile(file)) return;
  std::string aside = CreateTempFile(TempDirectory(), "delete");
  if (aside.empty()) return;
  if (FileExists(aside)) RemoveFile(aside);
  if (RenameFile(file, aside)) ScheduleDeleteOnReboot(aside);
}

void FindFiles(const std::string& folder, const std::string& excludedPrefix, std::vector<std::string>& files) {
  Visit(folder, excludedPrefix, files);
}

void TSetupFileList::Add(const std::string& source, const std::string& target) {
  items_.push_back(std::make_unique<TSetupFileListItem>(TSetupFileListItem{target, source}));
}

void TSetupFileList::AddFolder(const std::string& folder, const std::string& excludedPrefix,
                               const std::string& targetPrefix) {
  std::vector<std::string> files;
  FindFiles(folder, excludedPrefix, files);
  for (const std::string& f : files) Add(f, targetPrefix + f.substr(folder.size()));
}

void TSetupFileList::RemoveByName(std::string_view fileName) {
  for (size_t i = items_.size(); i-- > 0;)
    if (SameText(FileNamePart(items_[i]->Source), fileName)) items_.erase(items_.begin() + static_cast<ptrdiff_t>(i));
}

} // namespace Setup::Core
