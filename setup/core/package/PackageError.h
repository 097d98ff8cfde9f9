// The package reader's failure: any package that fails its checks.
#pragma once

#include "KVL/Base/SysUtils.h"

namespace Setup::Core::Package {

// Always carries the message "Package was corrupted".
class ESetupPackageReadError : public KVL::SysUtils::EKVLError {
public:
  ESetupPackageReadError();
};

} // namespace Setup::Core::Package
