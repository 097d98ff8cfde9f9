// ondu-build-installer's command, kept apart from main() so that the tests can run it.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace InstallerBuilder {

// The resource names the installer reads its packages from.
inline constexpr char kSetupResource[] = "SETUP";
inline constexpr char kProductResource[] = "PRODUCT";
// The LZMA level of both packages.
inline constexpr int kPackageLevel = 4;

// Runs one command line (without the program name): <installer-exe> <setup-folder>
// <product-folder> <output-exe>. Returns 0 done, 1 failed (message on err), 2 bad usage.
int RunInstallerBuilder(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

} // namespace InstallerBuilder
