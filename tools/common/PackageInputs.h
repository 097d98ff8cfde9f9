// Packing files and folders into IPK5 packages, shared by the command-line tools.
#pragma once

#include <string>
#include <vector>

#include "KVL/Base/SysUtils.h"
#include "setup/core/package/PackageBuilder.h"

namespace Tools {

// A plain failure of a tool's command; the tool prints the message and exits with 1.
class EToolError : public KVL::SysUtils::EKVLError {
public:
  using EKVLError::EKVLError;
};

// The separator of entry names inside packages: the installer runs on Windows.
inline constexpr char kEntryDelim = '\\';

struct TPackageInput {
  std::string Name;  // entry name, '\'-separated
  std::string Path;  // file on disk
};

// The entries for files and folders: a folder gives its files with names relative to it, a
// file its own name. Sorted by name so that a package does not depend on the order a file
// system lists things in. Raises EToolError for a missing input, a POSIX file name holding a
// backslash, or two names that are equal ignoring case (a lookup could never reach the second).
std::vector<TPackageInput> CollectPackageInputs(const std::vector<std::string>& inputs);

// Adds the inputs' files to a package builder, in order.
void AddPackageInputs(Setup::Core::Package::TSetupPackageBuilder& builder, const std::vector<TPackageInput>& inputs);

// "folder" + separator + name, without doubling a separator the folder ends with.
std::string JoinPath(const std::string& folder, const std::string& name);

} // namespace Tools
