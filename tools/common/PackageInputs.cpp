// Packing files and folders into IPK5 packages.
#include "tools/common/PackageInputs.h"

#include <algorithm>

#include "KVL/Base/Platform/Directory.h"
#include "KVL/Base/Platform/File.h"
#include "KVL/Base/Streams.h"

namespace Tools {

namespace {

using KVL::Platform::kPathDelim;

std::string BaseName(const std::string& path) {
  std::string p = path;
  while (p.size() > 1 && (p.back() == '/' || p.back() == kPathDelim)) p.pop_back();
  size_t cut = p.find_last_of(kPathDelim == '/' ? "/" : "/\\");
  return cut == std::string::npos ? p : p.substr(cut + 1);
}

} // namespace

std::string JoinPath(const std::string& folder, const std::string& name) {
  if (folder.empty() || folder.back() == kPathDelim || folder.back() == '/') return folder + name;
  return folder + kPathDelim + name;
}

std::vector<TPackageInput> CollectPackageInputs(const std::vector<std::string>& inputs) {
  std::vector<TPackageInput> all;
  for (const std::string& input : inputs) {
    if (KVL::Platform::DirectoryExists(input)) {
      KVL::Platform::WalkDirectory(input, [&](const std::string& rel, const KVL::Platform::TDirectoryEntry& e) {
        if (e.IsFolder) return;
        std::string name = rel;
        if (kPathDelim != kEntryDelim) {
          // A backslash inside a POSIX file name would read as a folder on Windows.
          if (name.find(kEntryDelim) != std::string::npos)
            throw EToolError("File name contains a backslash: " + JoinPath(input, rel));
          std::replace(name.begin(), name.end(), kPathDelim, kEntryDelim);
        }
        all.push_back({name, JoinPath(input, rel)});
      });
    } else if (KVL::Platform::FileExists(input)) {
      std::string name = BaseName(input);
      if (name.find(kEntryDelim) != std::string::npos) throw EToolError("File name contains a backslash: " + input);
      all.push_back({name, input});
    } else {
      throw EToolError("Not found: " + input);
    }
  }
  std::stable_sort(all.begin(), all.end(),
                   [](const TPackageInput& a, const TPackageInput& b) { return a.Name < b.Name; });
  for (size_t i = 0; i < all.size(); ++i)
    for (size_t j = 0; j < i; ++j)
      if (KVL::SysUtils::SameText(all[i].Name, all[j].Name)) throw EToolError("Duplicate entry name: " + all[i].Name);
  return all;
}

void AddPackageInputs(Setup::Core::Package::TSetupPackageBuilder& builder, const std::vector<TPackageInput>& inputs) {
  for (const TPackageInput& in : inputs) {
    KVL::Streams::TKVLFileStream file(in.Path, KVL::Platform::TFileOpenMode::fomRead);
    builder.Add(file, in.Name);
  }
}

} // namespace Tools
