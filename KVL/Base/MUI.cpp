// Language files: their description, the process-wide current language and its listeners.
#include "KVL/Base/MUI.h"

#include <optional>

#include "KVL/Base/Platform/File.h"
#include "KVL/Base/Platform/Process.h"
#include "KVL/Base/SysUtils.h"
#include "KVL/Base/TextDecoder.h"

namespace KVL::MUI {

namespace {

std::mutex gStateLock;
std::optional<std::string> gLangsFolder;  // unset: the default below the executable
TKVLLocalizationFactory gFactory;
std::unique_ptr<TKVLLocalization> gLangFile;
TKVLLangBroadcast gBroadcast;

uint32_t LE16(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8; }
uint32_t LE32(const uint8_t* p) { return LE16(p) | LE16(p + 2) << 16; }

std::string ExtractFileName(const std::string& path) {
  size_t slash = path.find_last_of(std::string("/") + Platform::kPathDelim);
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

} // namespace

// --- TKVLIconData ---

bool TKVLIconData::IsIconFile(const uint8_t* data, size_t size) {
  constexpr size_t kHeader = 6, kEntry = 16;
  if (size < kHeader || LE16(data) != 0 || LE16(data + 2) != 1) return false;
  uint32_t count = LE16(data + 4);
  if (count == 0 || kHeader + kEntry * count > size) return false;
  for (uint32_t i = 0; i < count; ++i) {
    const uint8_t* e = data + kHeader + kEntry * i;
    uint64_t bytes = LE32(e + 8), offset = LE32(e + 12);
    if (bytes == 0 || offset + bytes > size) return false;
  }
  return true;
}

bool TKVLIconData::LoadFromStream(Streams::TKVLStream& stream) {
  int64_t left = stream.Size() - stream.Position();
  std::vector<uint8_t> data(left > 0 ? static_cast<size_t>(left) : 0);
  if (!data.empty()) stream.ReadBuffer(data.data(), data.size());
  if (!IsIconFile(data.data(), data.size())) {
    Clear();
    return false;
  }
  bytes_ = std::move(data);
  return true;
}

bool LangGetInfo(const TKVLIniFile& file, TKVLLocalizationInfo& info, TKVLIconData* icon) {
  info.Author = file.ReadString(kLangFileSection, kLangKeyAuthor);
  info.LangId = file.ReadInteger(kLangFileSection, kLangKeyLangId, 0);
  info.Name = file.ReadString(kLangFileSection, kLangKeyName);
  info.VersionId = file.ReadInteger(kLangFileSection, kLangKeyVersionId, 0);
  if (icon) {
    Streams::TKVLMemoryStream data;
    if (!file.ReadStream(kLangFileSection, kLangKeyIcon, data) || !icon->LoadFromStream(data)) icon->Clear();
  }
  return true;
}

// --- TKVLLocalization ---

void TKVLLocalization::LoadFromFile(const std::string& name) {
  streamLoaded_ = false;
  TKVLIniFile::LoadFromFile(LangsFolder() + name);
  // A missing file loads nothing, yet the translation still falls back to English.
  if (!streamLoaded_) {
    LangChanged();
    SetModified(false);  // as after any file load
  }
}

void TKVLLocalization::LoadFromStream(Streams::TKVLStream& stream) {
  TKVLIniFile::LoadFromStream(stream);
  int32_t cp = ReadInteger(kLangFileSection, kLangKeyANSICP, 0);
  Text::SetDefaultCodePage(cp > 0 ? static_cast<unsigned>(cp) : 0);
  streamLoaded_ = true;
  LangChanged();
}

bool TKVLLocalization::TryReadString(std::string_view section, std::string_view key, std::string& value) const {
  if (!TKVLIniFile::TryReadString(section, key, value)) return false;
  size_t p = 0;
  while ((p = value.find("\\n", p)) != std::string::npos) {
    value.replace(p, 2, "\r\n");
    p += 2;
  }
  return true;
}

void TKVLLocalization::AddListener(IKVLLocalizationListener* listener) {
  if (!listener) return;
  std::lock_guard<std::recursive_mutex> guard(listenersLock_);
  for (IKVLLocalizationListener* l : listeners_)
    if (l == listener) return;
  listeners_.push_back(listener);
}

void TKVLLocalization::RemoveListener(IKVLLocalizationListener* listener) {
  std::lock_guard<std::recursive_mutex> guard(listenersLock_);
  for (auto it = listeners_.begin(); it != listeners_.end(); ++it) {
    if (*it != listener) continue;
    // During a walk the slot is only emptied, so that the walk's position stays valid.
    if (walking_ > 0) *it = nullptr;
    else listeners_.erase(it);
    return;
  }
}

template <class TListener, class TCall>
void TKVLLocalization::NotifyListeners(TCall call) {
  std::lock_guard<std::recursive_mutex> guard(listenersLock_);
  struct TWalk {
    TKVLLocalization& self;
    explicit TWalk(TKVLLocalization& s) : self(s) { ++self.walking_; }
    ~TWalk() {
      if (--self.walking_ == 0) std::erase(self.listeners_, nullptr);
    }
  } walk(*this);
  // Listeners added during the walk are told as well.
  for (size_t i = 0; i < listeners_.size(); ++i) {
    IKVLLocalizationListener* l = listeners_[i];
    if (!l) continue;
    if (auto* target = dynamic_cast<TListener*>(l)) call(*target);
  }
}

void TKVLLocalization::LangChanged() {
  std::string name = ExtractFileName(FileName());
  if (!SysUtils::SameText(name, "English.lng") && !SysUtils::SameText(name, "Russian.lng")) {
    TKVLIniFile english(LangsFolder() + "English.lng");
    Merge(english, false);
  }
  NotifyListeners<IKVLLocalizationListener2>([](IKVLLocalizationListener2& l) { l.LocalizationChanging(); });
  NotifyListeners<IKVLLocalizationListener3>([](IKVLLocalizationListener3& l) { l.LocalizationApplying(); });
  TKVLLangBroadcast broadcast;
  {
    std::lock_guard<std::mutex> guard(gStateLock);
    broadcast = gBroadcast;
  }
  if (broadcast) broadcast();
  NotifyListeners<IKVLLocalizationListener>([](IKVLLocalizationListener& l) { l.LocalizationChanged(); });
}

// --- process-wide state ---

std::string LangsFolder() {
  std::lock_guard<std::mutex> guard(gStateLock);
  if (!gLangsFolder)
    gLangsFolder = Platform::ExtractFilePath(Platform::ExecutablePath()) + "Langs" + Platform::kPathDelim;
  return *gLangsFolder;
}

void SetLangsFolder(const std::string& folder) {
  std::lock_guard<std::mutex> guard(gStateLock);
  gLangsFolder = folder;
}

void SetLocalizationFactory(TKVLLocalizationFactory factory) {
  std::lock_guard<std::mutex> guard(gStateLock);
  gFactory = std::move(factory);
}

TKVLLocalization& LangFile() {
  std::lock_guard<std::mutex> guard(gStateLock);
  if (!gLangFile) gLangFile = gFactory ? gFactory() : std::make_unique<TKVLLocalization>();
  return *gLangFile;
}

void FreeLangFile() {
  std::unique_ptr<TKVLLocalization> old;
  std::lock_guard<std::mutex> guard(gStateLock);
  old = std::move(gLangFile);
}

std::string LangGet(std::string_view section, std::string_view key, std::string_view def) {
  return LangFile().ReadString(section, key, def);
}

void LangApplyToItems(std::string_view section, Classes::TKVLStringList& items) {
  TKVLLocalization& lang = LangFile();
  items.BeginUpdate();
  std::string text;
  for (int i = 0; i < items.Count(); ++i)
    if (lang.TryReadString(section, SysUtils::Format("i[%d]", i), text)) items.SetString(i, text);
  items.EndUpdate();
}

void SetLangBroadcast(TKVLLangBroadcast broadcast) {
  std::lock_guard<std::mutex> guard(gStateLock);
  gBroadcast = std::move(broadcast);
}

} // namespace KVL::MUI
