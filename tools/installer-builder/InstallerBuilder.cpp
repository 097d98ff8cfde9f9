// ondu-build-installer: the compiled installer plus its SETUP and PRODUCT packages as resources.
#include "tools/installer-builder/InstallerBuilder.h"


#include "KVL/Base/Platform/File.h"
#include "KVL/Base/Platform/Resources.h"
#include "KVL/Base/Streams.h"
#include "setup/core/package/Package.h"
#include "tools/common/PackageInputs.h"

namespace InstallerBuilder {

namespace {

const char kUsage[] =
    "usage: ondu-build-installer <installer-exe> <setup-folder> <product-folder> <output-exe>\n"
    "Packs each folder (names relative to it, '\\' between folders, LZMA level 4) and writes\n"
    "a copy of the installer with the packages as its RCDATA resources SETUP and PRODUCT.\n";

std::string PackFolder(const std::string& folder) {
  if (!KVL::Platform::DirectoryExists(folder)) throw Tools::EToolError("Not a folder: " + folder);
  Setup::Core::Package::TSetupPackageBuilder builder(Setup::Core::Package::kSetupPackageKey);
  Tools::AddPackageInputs(builder, Tools::CollectPackageInputs({folder}));
  KVL::Streams::TKVLMemoryStream package;
  builder.Commit(package, kPackageLevel);
  return std::string(reinterpret_cast<const char*>(package.Memory()), static_cast<size_t>(package.Size()));
}

void CopyExecutable(const std::string& from, const std::string& to) {
  // Keeps the file's permissions, so the copy stays executable on POSIX; replaces an earlier output.
  if (!KVL::Platform::CopyFileReplacing(from, to))
    throw Tools::EToolError("Cannot copy " + from + " to " + to + ": " + KVL::Platform::LastSystemErrorText());
}

} // namespace

int RunInstallerBuilder(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  if (args.size() != 4) {
    err << kUsage;
    return 2;
  }
  const std::string &installer = args[0], &output = args[3];
  try {
    // Both packages are built before the output exists, so a bad folder leaves nothing behind.
    std::vector<KVL::Platform::TResourceItem> items = {{kSetupResource, PackFolder(args[1])},
                                                       {kProductResource, PackFolder(args[2])}};
    CopyExecutable(installer, output);
    try {
      KVL::Platform::UpdateResources(output, items);
    } catch (...) {
      KVL::Platform::RemoveFile(output);
      throw;
    }
    out << "Built " << output << "\n";
    return 0;
  } catch (const std::exception& e) {
    err << "ondu-build-installer: " << e.what() << '\n';
    return 1;
  }
}

} // namespace InstallerBuilder
