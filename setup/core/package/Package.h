// Unit Setup.Core.Package: IPK5 packages, the installer's named-file archives.
#pragma once

#include "setup/core/package/PackageBuilder.h"
#include "setup/core/package/PackageError.h"
#include "setup/core/package/PackageKey.h"
#include "setup/core/package/PackageReader.h"
