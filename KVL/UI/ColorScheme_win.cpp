// Windows' light/dark preference: the personalisation key of the registry.
#include "KVL/UI/ColorScheme.h"

#include <optional>
#include <string>

#include "KVL/Base/Platform/Environment.h"
#include "KVL/Base/Platform/Registry.h"

namespace KVL::UI {

bool NativeDarkModePreferred() {
  if (std::optional<std::string> scheme = Platform::GetEnv("KVL_COLOR_SCHEME")) {
    if (*scheme == "dark") return true;
    if (*scheme == "light") return false;
  }
  Platform::TRegistryKey key;
  if (!key.OpenRead(Platform::TRegistryRoot::rrCurrentUser,
                    "Software\\Microsoft\\Windows\\CurrentVersion\\Themes\\Personalize"))
    return false;
  std::optional<uint32_t> light = key.ReadInteger("AppsUseLightTheme");
  return light && *light == 0;
}

// A registry read is quick: nothing to start early.
void BeginColorSchemeQuery() {}

// The hosts hear "ImmersiveColorSet" in WM_SETTINGCHANGE and update the style themselves.
std::unique_ptr<TKVLColorSchemeFollower> FollowColorScheme(std::function<void(bool dark)>) { return nullptr; }

} // namespace KVL::UI
