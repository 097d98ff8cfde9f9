// The installer's exception family.
#pragma once

#include "KVL/Base/SysUtils.h"

namespace Setup::Core {

class EInstallerGeneralError : public KVL::SysUtils::EKVLError {
public:
  using EKVLError::EKVLError;
};

class EInstallerBackupError : public EInstallerGeneralError {
public:
  using EInstallerGeneralError::EInstallerGeneralError;
};

class EInstallerInstallError : public EInstallerGeneralError {
public:
  using EInstallerGeneralError::EInstallerGeneralError;
};

class EInstallerUpdateError : public EInstallerInstallError {
public:
  using EInstallerInstallError::EInstallerInstallError;
};

class EInstallerMysteryError : public EInstallerGeneralError {
public:
  using EInstallerGeneralError::EInstallerGeneralError;
};

// Always "Administrator rights are required to process this operation."
class EInstallerNoAdminRightsError : public EInstallerGeneralError {
public:
  EInstallerNoAdminRightsError()
      : EInstallerGeneralError("Administrator rights are required to process this operation.") {}
};

} // namespace Setup::Core
