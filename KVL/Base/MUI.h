// Language files: their description, the process-wide current language and its listeners.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "KVL/Base/FileFormats/INI.h"
#include "KVL/Base/StringList.h"
#include "KVL/Base/Streams.h"

namespace KVL::MUI {

using FileFormats::INI::TKVLIniFile;

// Section "File" of a language file and its keys.
inline constexpr std::string_view kLangFileSection = "File";
inline constexpr std::string_view kLangKeyAuthor = "Author";
inline constexpr std::string_view kLangKeyLangId = "LangId";
inline constexpr std::string_view kLangKeyName = "Name";
inline constexpr std::string_view kLangKeyVersionId = "VersionId";
inline constexpr std::string_view kLangKeyIcon = "Icon";
// Code page for files without byte-order mark while the language is current.
inline constexpr std::string_view kLangKeyANSICP = "ANSICP";
inline constexpr std::string_view kLangKeyFamily = "Family";

// The window message that asks a window to re-read its texts (WM_USER + 101).
inline constexpr unsigned kLangChangedMessage = 1125;

struct TKVLLocalizationInfo {
  std::string Author;
  int32_t LangId = 0;
  std::string Name;
  int32_t VersionId = 0;
};

// The bytes of a small image in the Windows icon file format.
class TKVLIconData {
public:
  bool IsEmpty() const { return bytes_.empty(); }
  const std::vector<uint8_t>& Bytes() const { return bytes_; }
  void Clear() { bytes_.clear(); }
  // Takes the rest of the stream when it is an icon file; otherwise clears and returns false.
  bool LoadFromStream(Streams::TKVLStream& stream);
  // An icon directory: reserved 0, type 1, at least one entry, and every entry and the
  // image it points to inside the data.
  static bool IsIconFile(const uint8_t* data, size_t size);

private:
  std::vector<uint8_t> bytes_;
};

// Reads Author, LangId, Name and VersionId from section File; with an icon, decodes Icon
// into it or clears it when Icon is missing, not hexadecimal or not an icon. Always true.
bool LangGetInfo(const TKVLIniFile& file, TKVLLocalizationInfo& info, TKVLIconData* icon = nullptr);

// Told after the language changed (last stage).
class IKVLLocalizationListener {
public:
  virtual ~IKVLLocalizationListener() = default;
  virtual void LocalizationChanged() = 0;
};

// Told first, before anyone else hears of the change.
class IKVLLocalizationListener2 : public virtual IKVLLocalizationListener {
public:
  virtual void LocalizationChanging() = 0;
};

// Told second, after the IKVLLocalizationListener2 listeners.
class IKVLLocalizationListener3 : public virtual IKVLLocalizationListener {
public:
  virtual void LocalizationApplying() = 0;
};

// A component that can re-read its texts from the current language.
class IKVLLocalizableComponent {
public:
  virtual ~IKVLLocalizableComponent() = default;
  virtual void ApplyLocalization() = 0;
};

// The current language: an INI document that resolves names against the Langs folder,
// completes translations from English and tells listeners about every load.
class TKVLLocalization : public TKVLIniFile {
public:
  TKVLLocalization() = default;

  // Loads LangsFolder() + name; a missing file loads as empty and still counts as a change.
  void LoadFromFile(const std::string& name) override;
  // The INI load, then ANSICP becomes the default code page, then LangChanged.
  void LoadFromStream(Streams::TKVLStream& stream) override;
  // As for any INI document, with the two characters "\n" turned into CR LF.
  bool TryReadString(std::string_view section, std::string_view key, std::string& value) const override;

  // Listeners are borrowed; they must remove themselves before they go. Removing (any
  // listener) during a notification is allowed.
  void AddListener(IKVLLocalizationListener* listener);
  void RemoveListener(IKVLLocalizationListener* listener);

protected:
  // Completes the translation from English.lng (unless it is English or Russian), then
  // tells the listeners of each stage and the windows.
  virtual void LangChanged();

private:
  template <class TListener, class TCall>
  void NotifyListeners(TCall call);

  std::recursive_mutex listenersLock_;
  std::vector<IKVLLocalizationListener*> listeners_;  // removed ones are null during a walk
  int walking_ = 0;
  bool streamLoaded_ = false;
};

// The folder language files are found in, with a trailing separator: by default the
// executable's folder + "Langs".
std::string LangsFolder();
void SetLangsFolder(const std::string& folder);

// The class of the current-language instance: called once, on first use of LangFile.
using TKVLLocalizationFactory = std::function<std::unique_ptr<TKVLLocalization>()>;
void SetLocalizationFactory(TKVLLocalizationFactory factory);

// The current-language instance, created on first use and freed at exit.
TKVLLocalization& LangFile();
// Frees the instance now; the next LangFile creates a new one.
void FreeLangFile();

// ReadString of the current language.
std::string LangGet(std::string_view section, std::string_view key, std::string_view def = {});
// Replaces each item by the text of key "i[index]" of the section, where there is one.
void LangApplyToItems(std::string_view section, Classes::TKVLStringList& items);

// Sends kLangChangedMessage to the main window and then to every form; filled in by the
// user-interface toolkit. Without one, that stage of LangChanged does nothing.
using TKVLLangBroadcast = std::function<void()>;
void SetLangBroadcast(TKVLLangBroadcast broadcast);

} // namespace KVL::MUI
