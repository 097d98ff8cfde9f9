// The package reader's failure.
#include "setup/core/package/PackageError.h"

namespace Setup::Core::Package {

ESetupPackageReadError::ESetupPackageReadError() : EKVLError("Package was corrupted") {}

} // namespace Setup::Core::Package
