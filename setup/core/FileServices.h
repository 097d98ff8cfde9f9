// File services of the installer core: copying with a clear error, deleting now or at the
// next restart, finding files, and the source/target file list.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace Setup::Core {

// Copies a file, replacing the target; raises the platform's OS error with the text
// source + " -> " + target when it fails.
void CopyFileOrRaise(const std::string& source, const std::string& target);

// Asks the system to delete the file at the next restart.
void ScheduleDeleteOnReboot(const std::string& file);

// Deletes a file; one that is in use is moved to a fresh temporary name (prefix "delete")
// and deleted at the next restart. Never fails: a file that can be neither deleted nor
// moved stays where it is.
void DeleteFileOrSchedule(const std::string& file);

// Appends the files below folder (which ends in a separator) to files: in each folder its
// files first, then its sub-folders sorted ignoring case. A folder whose path with trailing
// separator begins, ignoring case, with excludedPrefix is skipped with all below it.
void FindFiles(const std::string& folder, const std::string& excludedPrefix, std::vector<std::string>& files);

struct TSetupFileListItem {
  std::string Target;  // the relative path the file takes (in the destination, in an archive)
  std::string Source;  // the absolute path of an existing file
};

class TSetupFileList {
public:
  void Add(const std::string& source, const std::string& target);
  // Every file FindFiles finds below folder, its target being targetPrefix + its path
  // relative to folder.
  void AddFolder(const std::string& folder, const std::string& excludedPrefix, const std::string& targetPrefix);
  // Removes every item whose source has that file name (ignoring case).
  void RemoveByName(std::string_view fileName);

  int Count() const { return static_cast<int>(items_.size()); }
  const TSetupFileListItem& Items(int index) const { return *items_.at(static_cast<size_t>(index)); }

private:
  std::vector<std::unique_ptr<TSetupFileListItem>> items_;
};

} // namespace Setup::Core
