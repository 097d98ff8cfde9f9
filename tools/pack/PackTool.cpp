// ondu-pack's commands: create, list, extract and verify IPK5 packages.
#include "tools/pack/PackTool.h"

#include <algorithm>
#include <memory>
#include <set>
#include <utility>

#include "KVL/Base/Platform/Directory.h"
#include "KVL/Base/Platform/File.h"
#include "KVL/Base/Streams.h"
#include "KVL/Base/SysUtils.h"
#include "setup/core/package/Package.h"
#include "tools/common/PackageInputs.h"

namespace PackTool {

namespace {

using namespace Setup::Core::Package;
using KVL::Platform::kPathDelim;
using KVL::SysUtils::EKVLError;

constexpr int kDefaultLevel = 4;

const char kUsage[] =
    "usage: ondu-pack create <package> <folder-or-file>... [--level N]\n"
    "       ondu-pack list <package>\n"
    "       ondu-pack extract <package> <out-folder> [entry]\n"
    "       ondu-pack verify <package>\n"
    "Folders are stored with names relative to them, files by their own name; entry\n"
    "names use '\\' between folders. list prints name, size and offset, tab-separated.\n"
    "The level is the LZMA compression level, 0-9 (default 4).\n";

// A plain failure of a command; main prints it and exits with 1.
using EPackToolError = Tools::EToolError;
using Tools::JoinPath;

class EUsage : public EKVLError {
public:
  EUsage() : EKVLError("usage") {}
};

int Create(const std::vector<std::string>& args, std::ostream& out) {
  int level = kDefaultLevel;
  std::vector<std::string> positional;
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--level") {
      if (i + 1 >= args.size() || !KVL::SysUtils::TryStrToInt(args[i + 1], level) || level < 0 || level > 9)
        throw EUsage();
      ++i;
    } else {
      positional.push_back(args[i]);
    }
  }
  if (positional.size() < 2) throw EUsage();
  const std::string package = positional[0];
  std::vector<Tools::TPackageInput> inputs = Tools::CollectPackageInputs({positional.begin() + 1, positional.end()});

  TSetupPackageBuilder builder(kSetupPackageKey);
  Tools::AddPackageInputs(builder, inputs);
  builder.Commit(package, level);
  out << "Created " << package << ": " << inputs.size() << " files\n";
  return 0;
}

int List(const std::vector<std::string>& args, std::ostream& out) {
  if (args.size() != 1) throw EUsage();
  TSetupPackageReader reader(args[0]);
  const TSetupPackageFileTable& table = reader.FileTable();
  for (size_t i = 0; i < table.Count(); ++i) {
    const TSetupPackageFileTableItem& item = table.Item(i);
    out << item.Name << '\t' << item.Size << '\t' << item.Offset << '\n';
  }
  return 0;
}

void WriteEntry(TSetupPackageReader& reader, const TSetupPackageFileTableItem& item, const std::string& folder) {
  std::string rel = item.Name;
  std::replace(rel.begin(), rel.end(), '\\', kPathDelim);
  std::replace(rel.begin(), rel.end(), '/', kPathDelim);
  const std::string path = JoinPath(folder, rel);
  const size_t cut = path.find_last_of(kPathDelim);
  if (cut != std::string::npos && cut > 0 && !KVL::Platform::ForceDirectories(path.substr(0, cut)))
    throw EPackToolError("Cannot create folder " + path.substr(0, cut));
  std::unique_ptr<KVL::Streams::TKVLMemoryStream> data = reader.Extract(item);
  KVL::Streams::TKVLFileStream file(path, KVL::Platform::TFileOpenMode::fomCreate);
  file.WriteBuffer(data->Memory(), static_cast<size_t>(data->Size()));
}

int Extract(const std::vector<std::string>& args, std::ostream& out) {
  if (args.size() != 2 && args.size() != 3) throw EUsage();
  TSetupPackageReader reader(args[0]);
  const std::string& folder = args[1];
  std::vector<const TSetupPackageFileTableItem*> chosen;
  if (args.size() == 3) {
    const TSetupPackageFileTableItem* item = reader.FileTable().Find(args[2]);
    if (!item) throw EPackToolError("Entry not found: " + args[2]);
    chosen.push_back(item);
  } else {
    // Later entries that a lookup could never reach (same name ignoring case) are skipped.
    const TSetupPackageFileTable& table = reader.FileTable();
    for (size_t i = 0; i < table.Count(); ++i)
      if (table.Find(table.Item(i).Name) == &table.Item(i)) chosen.push_back(&table.Item(i));
  }
  // Every name is vetted before the first file is written.
  for (const TSetupPackageFileTableItem* item : chosen)
    if (!IsSafeEntryName(item->Name)) throw EPackToolError("Unsafe entry name: " + item->Name);
  if (!KVL::Platform::ForceDirectories(folder)) throw EPackToolError("Cannot create folder " + folder);
  for (const TSetupPackageFileTableItem* item : chosen) WriteEntry(reader, *item, folder);
  out << "Extracted " << chosen.size() << " files\n";
  return 0;
}

int Verify(const std::vector<std::string>& args, std::ostream& out) {
  if (args.size() != 1) throw EUsage();
  TSetupPackageReader reader(args[0]);  // decodes everything and runs every check
  out << "OK\n";
  return 0;
}

bool IsDeviceName(std::string segment) {
  // Windows opens these devices whatever the folder or extension.
  segment = segment.substr(0, segment.find('.'));
  while (!segment.empty() && segment.back() == ' ') segment.pop_back();
  for (char& c : segment) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
  static const std::set<std::string> kDevices = {"CON",  "PRN",  "AUX",  "NUL",  "COM1", "COM2", "COM3", "COM4",
                                                 "COM5", "COM6", "COM7", "COM8", "COM9", "LPT1", "LPT2", "LPT3",
                                                 "LPT4", "LPT5", "LPT6", "LPT7", "LPT8", "LPT9"};
  return kDevices.count(segment) > 0;
}

} // namespace

bool IsSafeEntryName(const std::string& name) {
  if (name.empty()) return false;
  for (unsigned char c : name)
    if (c < 0x20 || c == ':') return false;
  size_t start = 0;
  for (;;) {
    size_t end = name.find_first_of("\\/", start);
    std::string segment = name.substr(start, end == std::string::npos ? std::string::npos : end - start);
    if (segment.empty() || segment == "." || segment == ".." || IsDeviceName(segment)) return false;
    if (end == std::string::npos) return true;
    start = end + 1;
  }
}

int RunPackTool(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  try {
    if (args.empty()) throw EUsage();
    const std::string& command = args[0];
    const std::vector<std::string> rest(args.begin() + 1, args.end());
    if (command == "create") return Create(rest, out);
    if (command == "list") return List(rest, out);
    if (command == "extract") return Extract(rest, out);
    if (command == "verify") return Verify(rest, out);
    throw EUsage();
  } catch (const EUsage&) {
    err << kUsage;
    return 2;
  } catch (const std::exception& e) {
    // Every failure of the library is an exception carrying a message for the user.
    err << "ondu-pack: " << e.what() << '\n';
    return 1;
  }
}

} // namespace PackTool
