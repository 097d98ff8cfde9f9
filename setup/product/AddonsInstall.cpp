// Starting the add-ons installer that travels in the setup resources with the user's choices.
#include "setup/product/AddonsInstall.h"

#include <memory>

#include "KVL/Base/FileFormats/INI.h"
#include "KVL/Base/Platform/File.h"
#include "KVL/Base/Platform/Process.h"
#include "KVL/Base/StringList.h"
#include "KVL/Base/Streams.h"
#include "KVL/Base/SysUtils.h"
#include "setup/core/Resources.h"
#include "setup/core/SummaryBuilder.h"

namespace Setup::Product::ONDU::Actions {

namespace {

constexpr const char* kDescriptionFile = "addons.ini";

struct TAddonsChoice {
  bool Viewer, Extensions, Shortcuts;
};

TAddonsChoice ReadChoice(const KVL::FileFormats::INI::TKVLIniFile& settings) {
  return {settings.ReadBool("Common", "AddonsViewer", false), settings.ReadBool("Common", "AddonsExtensions", false),
          settings.ReadBool("Common", "AddonsShortcuts", false)};
}

} // namespace

std::string TSetupActionAddonsInstall::LastValue(const KVL::Classes::TKVLStringList& list, std::string_view name) {
  for (int i = list.Count() - 1; i >= 0; --i)
    if (KVL::SysUtils::SameText(list.Name(i), name)) return list.ValueFromIndex(i);
  return std::string();
}

std::string TSetupActionAddonsInstall::FormatParameters(const std::string& format, const std::string& text) {
  // The format is data of the setup resources: a printf-style expansion would read
  // arguments that are not there for any further directive.
  const size_t at = format.find("%s");
  if (at == std::string::npos) return format;
  return format.substr(0, at) + text + format.substr(at + 2);
}

void TSetupActionAddonsInstall::Execute() {
  const TAddonsChoice choice = ReadChoice(Settings());
  if (!choice.Viewer && !choice.Extensions && !choice.Shortcuts) return;

  std::unique_ptr<KVL::Classes::TKVLStringList> description = Resources().LoadStringList(kDescriptionFile);
  const std::string installerName = LastValue(*description, "P4");
  // The file does not exist yet, so only its folder can be given its long form.
  const std::string folder = KVL::Platform::GetLongPath(KVL::Platform::ExpandFileName(KVL::Platform::TempDirectory()));
  const std::string target = KVL::Platform::ExpandFileName(folder + installerName);

  // Opened first: a missing resource must not leave an empty file behind.
  std::unique_ptr<KVL::Streams::TKVLMemoryStream> installer = Resources().OpenStream(installerName);
  {
    KVL::Streams::TKVLFileStream file(target, KVL::Platform::TFileOpenMode::fomCreate);
    installer->SetPosition(0);
    file.CopyFrom(*installer);
  }
  KVL::Platform::SetFileExecutable(target);

  std::string switches;
  if (!choice.Extensions) switches += LastValue(*description, "P1") + " ";
  if (choice.Viewer) switches += LastValue(*description, "P2") + " ";
  if (choice.Shortcuts) switches += LastValue(*description, "P3") + " ";
  const std::string parameters = FormatParameters(LastValue(*description, "CL"), switches);

  // The add-ons installer goes on by itself; whether it started is not the installation's concern.
  KVL::Platform::ShellOpen(target, parameters, std::string());
}

void TSetupActionAddonsInstall::BuildSummary(Setup::Core::TSetupSummaryBuilder& builder) {
  const TAddonsChoice choice = ReadChoice(Settings());
  builder.BeginGroup("PageAddons", "Title");
  if (choice.Viewer) builder.AddLine("PageAddons", "CB1");
  if (choice.Extensions) builder.AddLine("PageAddons", "CB2");
  if (choice.Shortcuts) builder.AddLine("PageAddons", "CB3");
}

} // namespace Setup::Product::ONDU::Actions
