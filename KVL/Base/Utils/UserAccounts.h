// The machine's user accounts with their profile and roaming application-data folders.
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace KVL::Utils::Shell::UserAccounts {

struct TKVLUserAccountInfo {
  std::string Reserved;     // left empty by every caller
  std::string UserName;
  std::string AppDataPath;  // roaming application data, with a trailing separator
  std::string ProfilePath;  // the profile (home) folder, with a trailing separator

  // Same profile folder, compared exactly.
  bool Equals(const TKVLUserAccountInfo& other) const { return ProfilePath == other.ProfilePath; }
};

// Owning list; the first record for a profile folder wins.
class TKVLUserAccountInfoList {
public:
  // Adds the record unless one with the same profile folder is listed (then it is dropped).
  // True when added.
  bool Add(std::unique_ptr<TKVLUserAccountInfo> info);
  int Count() const { return static_cast<int>(items_.size()); }
  const TKVLUserAccountInfo& Items(int index) const { return *items_.at(static_cast<size_t>(index)); }

private:
  std::vector<std::unique_ptr<TKVLUserAccountInfo>> items_;
};

class TKVLUserAccounts {
public:
  TKVLUserAccounts() = delete;
  // Appends the account running the program, then the accounts of the machine's ProfileList
  // (HKLM\Software\Microsoft\Windows NT\CurrentVersion\ProfileList; on POSIX the registry
  // stand-in holds the same keys) whose profile folder exists and whose "User Shell
  // Folders" name an AppData folder (the user's hive, else .DEFAULT).
  static void Populate(TKVLUserAccountInfoList& list);
  static std::unique_ptr<TKVLUserAccountInfoList> Populate();
};

} // namespace KVL::Utils::Shell::UserAccounts
