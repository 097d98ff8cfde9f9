// File extraction: writing script entries to their targets, and the uninstaller with its data package.
#include "setup/core/Extract.h"

#include <algorithm>
#include <cstring>
#include <cstdint>
#include <exception>

#include "KVL/Base/FileFormats/INI.h"
#include "KVL/Base/Platform/File.h"
#include "KVL/Base/Platform/MD5.h"
#include "KVL/Base/Platform/MessageBox.h"
#include "KVL/Base/Platform/Messaging.h"
#include "KVL/Base/Platform/Process.h"
#include "KVL/Base/SysUtils.h"
#include "setup/core/ApplicationRepository.h"
#include "setup/core/Errors.h"
#include "setup/core/FileServices.h"
#include "setup/core/ProductInfo.h"
#include "setup/core/Resources.h"
#include "setup/core/Script.h"
#include "setup/core/Setup.h"
#include "setup/core/package/PackageBuilder.h"
#include "setup/core/package/PackageKey.h"

namespace Setup::Core {

using KVL::Streams::TKVLFileStream;
using KVL::Streams::TKVLMemoryStream;
using KVL::Streams::TKVLStream;
using KVL::Streams::TSeekOrigin;

namespace {

constexpr size_t kChunk = 1024 * 1024;

// The folder part of a path, separator included ("" when it has none).
std::string FolderPart(const std::string& path) {
  size_t cut = path.find_last_of("\\/");
  return cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
}

// Creates or truncates the target with sharing for others; null when it cannot be opened.
std::unique_ptr<TKVLStream> TryOpenTarget(const std::string& target) {
  try {
    return std::make_unique<TKVLFileStream>(target, KVL::Platform::TFileOpenMode::fomCreateShared);
  } catch (const KVL::SysUtils::EKVLFileOpenError&) {
    return nullptr;
  }
}

// The digest of what is in the file now; empty when it cannot be read, so that an unreadable
// target never counts as already holding the right content.
std::string FileDigest(const std::string& path) {
  KVL::Platform::TPlatformFile file;
  if (!file.TryOpen(path, KVL::Platform::TFileOpenMode::fomRead)) return std::string();
  KVL::Platform::TMD5 md5;
  std::unique_ptr<uint8_t[]> buffer = std::make_unique_for_overwrite<uint8_t[]>(kChunk);
  for (;;) {
    size_t got = file.Read(buffer.get(), kChunk);
    if (got == 0) break;
    md5.Update(buffer.get(), got);
  }
  return KVL::Platform::TMD5::ToHex(md5.Final());
}

// The digest of the stream from its position to its end; the position is restored.
std::string StreamDigest(TKVLStream& stream) {
  KVL::Platform::TMD5 md5;
  const int64_t start = stream.Position();
  if (auto* memory = dynamic_cast<TKVLMemoryStream*>(&stream)) {
    const int64_t size = memory->Size();
    if (start < size) md5.Update(memory->Memory() + start, static_cast<size_t>(size - start));
  } else {
    std::unique_ptr<uint8_t[]> buffer = std::make_unique_for_overwrite<uint8_t[]>(kChunk);
    for (;;) {
      size_t got = stream.Read(buffer.get(), kChunk);
      if (got == 0) break;
      md5.Update(buffer.get(), got);
    }
    stream.SetPosition(start);
  }
  return KVL::Platform::TMD5::ToHex(md5.Final());
}

// An executable image or a script with an interpreter line.
bool IsProgramImage(const uint8_t* data, size_t size) {
  return (size >= 4 && std::memcmp(data, "\x7f" "ELF", 4) == 0) || (size >= 2 && data[0] == '#' && data[1] == '!');
}

// Records one installed file under "Uninstall": relative to the destination when inside it.
void AddUninstallEntry(KVL::FileFormats::INI::TKVLIniFile& ini, const std::string& name) {
  std::string path = Setup->Resources().ExpandPath(name);
  const int32_t n = ini.ReadInteger("Uninstall", "Count", 0);
  const std::string& dest = Setup->DestPath();
  if (KVL::SysUtils::StartsText(path, dest)) path.erase(0, dest.size());
  ini.WriteString("Uninstall", std::to_string(n), path);
  ini.WriteInteger("Uninstall", "Count", n + 1);
}

} // namespace

// ---------------------------------------------------------------------------------------------
// TSetupExtractHelper

void TSetupExtractHelper::ExtractFile(const TSetupScriptFile& entry) {
  const std::string target = Setup->Resources().ExpandPath(entry.Name);
  try {
    ForceDirectory(FolderPart(target));
    std::unique_ptr<TKVLMemoryStream> source = Setup->Resources().OpenStream(entry.GetSourceName());
    std::unique_ptr<TKVLStream> file;
    if (CreateTargetStream(target, *source, file)) {
      // Written straight from the decoded entry: no copy through a stream buffer.
      source->SetPosition(0);
      const uint8_t* data = source->Memory();
      const size_t size = static_cast<size_t>(source->Size());
      for (size_t done = 0; done < size;) {
        const size_t count = std::min(kChunk, size - done);
        file->WriteBuffer(data + done, count);
        done += count;
      }
      file.reset();
      // Packages keep no permission bits: a program (by its own header, as POSIX knows one)
      // has to be made runnable, or the installer could not start Elevator.exe and the like.
      if (IsProgramImage(data, size)) KVL::Platform::SetFileExecutable(target);
    }
  } catch (const std::exception& e) {
    throw EInstallerInstallError(target + "\r\n" + e.what());
  }
}

void TSetupExtractHelper::ForceDirectory(const std::string& folder) {
  if (!KVL::Platform::ForceDirectories(folder)) throw EInstallerInstallError(FormatMessage("E3", folder));
}

bool TSetupExtractHelper::CreateTargetStream(const std::string& target, TKVLStream& source,
                                             std::unique_ptr<TKVLStream>& file) {
  file = TryOpenTarget(target);
  if (file) return true;

  // Held open by someone (a running program): nothing to do when it already has the content.
  std::string inPlace = FileDigest(target);
  if (!inPlace.empty() && KVL::SysUtils::SameTextAscii(inPlace, StreamDigest(source))) return false;

  // A file in use can often still be renamed; the new one then takes its name. A failure
  // (an older .bak in the way) leaves the question to the user.
  KVL::Platform::RenameFile(target, target + ".bak");

  const std::string question = FormatMessage("QM2", target);
  std::string caption = Setup->Resources().GetText("Common", "Caption");
  if (caption.empty()) caption = "Setup";
  for (;;) {
    file = TryOpenTarget(target);
    if (file) return true;
    int answer = KVL::Platform::mrNone;
    KVL::Platform::Synchronize([&] {
      answer = KVL::Platform::MessageDlg(question, caption, KVL::Platform::TMsgDlgType::mtWarning,
                                         KVL::Platform::TMsgDlgButtons::mbAbortRetryIgnore, KVL::Platform::mrRetry);
    });
    if (answer == KVL::Platform::mrRetry) continue;
    if (answer == KVL::Platform::mrIgnore) return false;
    // Abort, or a dialog closed without an answer: never pass over a file silently.
    throw EInstallerInstallError(FormatMessage("E1", target));
  }
}

std::string TSetupExtractHelper::FormatMessage(std::string_view key, const std::string& arg) {
  // Language texts are data: only "%s" is replaced, nothing else is interpreted.
  const std::string text = Setup->Resources().GetText("Common", key);
  std::string result;
  result.reserve(text.size() + arg.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 1 < text.size() && text[i + 1] == 's') {
      result += arg;
      ++i;
    } else {
      result += text[i];
    }
  }
  return result;
}

// ---------------------------------------------------------------------------------------------
// TSetupActionExtract

void TSetupActionExtract::Execute() {
  Status(GetCommonString("A4"));
  const std::vector<const TSetupScriptFile*> list = GetFileList();
  const int64_t n = static_cast<int64_t>(list.size());
  for (int64_t i = 0; i < n; ++i) {
    // Set before the file is written: the last file is written at 100.
    SetProgress(static_cast<int32_t>(100 * (i + 1) / n));
    ExtractFile(*list[static_cast<size_t>(i)]);
  }
  Status(GetCommonString("A7"));
  WriteUninstaller(Setup->DestPath(), list);
}

std::vector<const TSetupScriptFile*> TSetupActionExtract::GetFileList() {
  std::vector<const TSetupScriptFile*> list;
  list.reserve(512);
  const std::string family = Resources().GetLanguageFamily();
  const TSetupScriptGroup& components = Script().Components();
  for (int i = 0; i < components.Count(); ++i)
    if (components.Files(i).MatchFamily(family)) list.push_back(&components.Files(i));
  return list;
}

void TSetupActionExtract::WriteUninstaller(const std::string& folder,
                                           const std::vector<const TSetupScriptFile*>& list) {
  const std::string exe = folder + "Uninstall.exe";
  const std::string dat = folder + "Uninstall.dat";
  CopyFileOrRaise(KVL::Platform::ExecutablePath(), exe);

  KVL::FileFormats::INI::TKVLIniFile ini;
  ini.Assign(Settings());
  // The file record always comes last, so an older one from the settings goes first.
  ini.DeleteSection("Uninstall");
  for (const TSetupScriptFile* entry : list) AddUninstallEntry(ini, entry->Name);
  AddUninstallEntry(ini, dat);
  AddUninstallEntry(ini, exe);

  Package::TSetupPackageBuilder builder(Package::kSetupPackageKey);
  TKVLMemoryStream text;
  ini.SaveToStream(text);
  text.SetPosition(0);
  builder.Add(text, "Uninstall.ini");
  builder.Commit(dat, 4);

  if (!Setup->HasFlag(sfPortable)) {
    TSetupProductInfo& info = ProductInfo();
    TSetupApplicationRepository::Register(info.GetName(), exe, info.GetVersionNo(), info.GetPublisher(),
                                          info.GetHomePage());
  }
}

} // namespace Setup::Core
