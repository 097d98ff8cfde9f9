// What the product is (from the script's settings) and the questions only the product answers.
#pragma once

#include <any>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "setup/core/Action.h"

namespace Setup::Core {

using TSetupPageClassCallback = std::function<void(const std::any& pageClass)>;

class TSetupProductInfo {
public:
  virtual ~TSetupProductInfo() = default;

  // The program-files folder + GetName + separator.
  virtual std::string GetDefaultPath();
  // The user's desktop + GetName + separator.
  virtual std::string GetDefaultPortablePath();
  virtual std::string GetHomePage();
  virtual bool CanUpdate() = 0;
  virtual bool IsPortable() = 0;
  virtual int32_t GetInstalledVersion() = 0;
  // ProductName; raises EInstallerGeneralError "TSetupProductInfo.GetName" when empty.
  virtual std::string GetName();
  virtual std::string GetPublisher();
  virtual std::string GetVersion();
  // ProductVersionId as an integer; 0 when empty or not a number.
  virtual int32_t GetVersionId();
  // GetVersion + ", " + BuildDate.
  virtual std::string GetVersionInfo();
  // Reads what is installed at Setup->DestPath().
  virtual void LoadInstallation() = 0;
  // Calls back once per action class of the coming run, in order.
  virtual void PopulateActions(const TSetupActionClassCallback& callback) = 0;
  // Calls back once per wizard page class of the product, in order. The core does not know
  // pages: a class travels as std::any, and the wizard ignores what is not one of its page
  // classes.
  virtual void PopulatePages(const TSetupPageClassCallback& callback);

  std::string GetVersionNo();
  // "5.30" for 5301: major, a dot, two minor digits.
  std::string GetInstalledVersionText();
  static std::string VersionText(int32_t version);

protected:
  // A script setting of the running setup object.
  static std::string ScriptSetting(const std::string& name);
};

// The product's class of product information; assigned by the product before start-up.
using TSetupProductInfoClass = std::function<std::unique_ptr<TSetupProductInfo>()>;
extern TSetupProductInfoClass SetupProductInfoClass;

} // namespace Setup::Core
