// The shell service's platform-independent part: locale names to Windows language identifiers.
#include "KVL/Base/Platform/Shell.h"

#include <cctype>

namespace KVL::Platform {

namespace {

struct TLanguageEntry {
  const char* Language;  // ISO 639-1, lower case
  const char* Region;    // ISO 3166-1, upper case; "" for the language's default
  uint16_t Id;
};

// Common interface languages; a region not listed falls back to the language's default row.
constexpr TLanguageEntry kLanguages[] = {
    {"ar", "", 1025},   {"bg", "", 1026},   {"ca", "", 1027},   {"zh", "", 2052},   {"zh", "CN", 2052},
    {"zh", "TW", 1028}, {"zh", "HK", 3076}, {"zh", "SG", 4100}, {"cs", "", 1029},   {"da", "", 1030},
    {"de", "", 1031},   {"de", "AT", 3079}, {"de", "CH", 2055}, {"el", "", 1032},   {"en", "", 1033},
    {"en", "GB", 2057}, {"en", "AU", 3081}, {"en", "CA", 4105}, {"en", "NZ", 5129}, {"en", "IE", 6153},
    {"es", "", 3082},   {"es", "MX", 2058}, {"fi", "", 1035},   {"fr", "", 1036},   {"fr", "BE", 2060},
    {"fr", "CA", 3084}, {"fr", "CH", 4108}, {"he", "", 1037},   {"hu", "", 1038},   {"is", "", 1039},
    {"it", "", 1040},   {"ja", "", 1041},   {"ko", "", 1042},   {"nl", "", 1043},   {"nl", "BE", 2067},
    {"nb", "", 1044},   {"no", "", 1044},   {"nn", "", 2068},   {"pl", "", 1045},   {"pt", "", 1046},
    {"pt", "BR", 1046}, {"pt", "PT", 2070}, {"ro", "", 1048},   {"ru", "", 1049},   {"hr", "", 1050},
    {"sk", "", 1051},   {"sq", "", 1052},   {"sv", "", 1053},   {"th", "", 1054},   {"tr", "", 1055},
    {"id", "", 1057},   {"uk", "", 1058},   {"be", "", 1059},   {"sl", "", 1060},   {"et", "", 1061},
    {"lv", "", 1062},   {"lt", "", 1063},   {"fa", "", 1065},   {"vi", "", 1066},   {"hy", "", 1067},
    {"az", "", 1068},   {"eu", "", 1069},   {"mk", "", 1071},   {"ka", "", 1079},   {"hi", "", 1081},
    {"kk", "", 1087},   {"uz", "", 1091},   {"gl", "", 1110},
};

constexpr uint16_t kDefaultLanguage = 1033;

} // namespace

uint16_t LanguageIdFromLocaleName(std::string_view name) {
  // language[_-][Script_-]REGION[.codeset][@modifier]
  name = name.substr(0, name.find_first_of(".@"));
  std::string parts[3];
  size_t count = 0;
  for (size_t i = 0; i <= name.size() && count < 3;) {
    size_t j = name.find_first_of("_-", i);
    if (j == std::string_view::npos) j = name.size();
    std::string part(name.substr(i, j - i));
    // A four-letter subtag is a script (zh-Hant-TW); only language and region matter here.
    if (count == 0 || part.size() != 4) parts[count++] = part;
    i = j + 1;
  }
  std::string language = parts[0], region = count > 1 ? parts[1] : std::string();
  for (char& c : language) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  for (char& c : region) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  uint16_t fallback = 0;
  for (const TLanguageEntry& e : kLanguages) {
    if (language != e.Language) continue;
    if (region == e.Region) return e.Id;
    if (!*e.Region) fallback = e.Id;
  }
  return fallback ? fallback : kDefaultLanguage;
}

} // namespace KVL::Platform
