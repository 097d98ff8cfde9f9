// Actions: the steps of a run, each with its own progress, and the owning list of them.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace KVL::FileFormats::INI {
class TKVLIniFile;
}

namespace Setup::Core {

class TSetupProductInfo;
class TSetupResources;
class TSetupScript;
class TSetupScriptFile;
class TSetupSummaryBuilder;

// Base of actions and update tasks; lifetime is explicit ownership.
class TSetupPersistent {
public:
  virtual ~TSetupPersistent() = default;
};

class TSetupAction : public TSetupPersistent {
public:
  // The action's work; runs on the worker thread.
  virtual void Execute() = 0;
  // Adds the lines describing this action to the ready page's summary.
  virtual void BuildSummary(TSetupSummaryBuilder& builder);
  // The run is being told to terminate while this action runs.
  virtual void Cancel() {}

  // Execute, then progress 100.
  void Run();
  int32_t Progress() const { return progress_; }
  // Stores a changed value and calls OnProgress.
  void SetProgress(int32_t value);
  std::function<void(TSetupAction&)> OnProgress;

protected:
  void ExtractFile(const TSetupScriptFile& entry);
  void ForceDirectory(const std::string& folder);
  std::string GetString(std::string_view section, std::string_view key);
  std::string GetCommonString(std::string_view key) { return GetString("Common", key); }
  // Shows the text on the progress page (synchronous).
  void Status(const std::string& text);
  TSetupProductInfo& ProductInfo();
  TSetupResources& Resources();
  KVL::FileFormats::INI::TKVLIniFile& Settings();
  const TSetupScript& Script();

private:
  int32_t progress_ = 0;
};

// What a product hands to PopulateActions: a name and a way to create the action.
struct TSetupActionClass {
  const char* Name;
  std::unique_ptr<TSetupAction> (*Create)();
};

template <class T>
const TSetupActionClass& ActionClassOf(const char* name) {
  static const TSetupActionClass cls{name, []() -> std::unique_ptr<TSetupAction> { return std::make_unique<T>(); }};
  return cls;
}

using TSetupActionClassCallback = std::function<void(const TSetupActionClass&)>;

class TSetupActionList {
public:
  void Add(std::unique_ptr<TSetupAction> action) { items_.push_back(std::move(action)); }
  int Count() const { return static_cast<int>(items_.size()); }
  TSetupAction& Items(int index) const { return *items_.at(static_cast<size_t>(index)); }
  // The plain average of the actions' progress, truncated; 0 for an empty list.
  int32_t Progress() const;

private:
  std::vector<std::unique_ptr<TSetupAction>> items_;
};

} // namespace Setup::Core
