// The preparation action: backs up the old installation and settings, migrates, and clears the way.
#pragma once

#include <cstdint>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "KVL/Base/StringList.h"
#include "setup/core/Action.h"
#include "setup/product/Profiles.h"
#include "setup/product/UpdateTask.h"

namespace Setup::Core {
class TSetupFileList;
}

namespace Setup::Product::ONDU::Actions {

// Plug-in folders (below the destination's "Plugins") and a codec library in the system
// folder that earlier releases installed and this one no longer ships.
struct TObsoletePluginFolder {
  const char* Name;
  int32_t InstalledBelow;  // removed when the installed version is below this one
};
inline constexpr int32_t kAlwaysObsolete = INT32_MAX;
inline constexpr TObsoletePluginFolder kObsoletePluginFolders[] = {
    {"ONDU3Visual", 4002},      {"ONDU3Equalizer", 4002},    {"ONDU3CDRipper", 4002},
    {"ONDU3Tags", 4002},        {"ONDU3Scrobbler", 4002},    {"CoverFinder", 4699},
    {"LyricsBrowser", 5030},    {"UpdateCache", kAlwaysObsolete}, {"CrashReports", kAlwaysObsolete},
};
inline constexpr const char* kObsoleteSystemCodec = "ONDUCodecAAC.dll";

class TSetupActionPrepare : public Setup::Core::TSetupAction {
public:
  TSetupActionPrepare();
  ~TSetupActionPrepare() override;

  void Execute() override;
  void BuildSummary(Setup::Core::TSetupSummaryBuilder& builder) override;

  // "z Before install <version> [yyyy.MM.dd hh-mm-ss].zip" for the given local time.
  static std::string ArchiveName(const std::string& version, const std::tm& localTime);
  // Backups at or above this many bytes are refused before anything is written.
  static constexpr int64_t kMaxBackupBytes = int64_t{1} << 31;

  TSetupProfileInfoList& Profiles() { return *profiles_; }
  const std::vector<std::unique_ptr<TSetupUpdateTask>>& Tasks() const { return tasks_; }
  int32_t Done() const { return done_; }
  int32_t Total() const { return total_; }

private:
  void CreateTasks();
  void Backup(KVL::Classes::TKVLStringList& cleanup);
  void WriteArchive(const Setup::Core::TSetupFileList& files);
  void KeepUpdatedFiles(KVL::Classes::TKVLStringList& cleanup);
  void AddSurplusArchives(KVL::Classes::TKVLStringList& cleanup);
  void AddObsoleteFiles(KVL::Classes::TKVLStringList& cleanup);
  void AddComponents(KVL::Classes::TKVLStringList& cleanup);
  void RunTasks(KVL::Classes::TKVLStringList& cleanup);
  void Clean(const KVL::Classes::TKVLStringList& cleanup);
  void StepDone();

  std::unique_ptr<TSetupProfileInfoList> profiles_;
  int32_t done_ = 0;
  std::vector<std::unique_ptr<TSetupUpdateTask>> tasks_;
  int32_t total_ = 0;
};

} // namespace Setup::Product::ONDU::Actions
