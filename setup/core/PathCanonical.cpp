// Canonical form of the paths the installation script produces.
#include "setup/core/PathCanonical.h"

#include <vector>

#include "KVL/Base/SysUtils.h"

namespace Setup::Core {

namespace {

constexpr size_t kMaxComponent = 260;

bool IsSep(char c) { return c == '\\' || c == '/'; }

bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

std::string CleanComponent(std::string_view part) {
  std::string out;
  for (char c : part) {
    auto u = static_cast<unsigned char>(c);
    if (c == '"') {
      out += '\'';
    } else if (u < 32 || std::string_view("\\<>*:?|/").find(c) != std::string_view::npos) {
      continue;
    } else {
      out += c;
    }
  }
  size_t b = out.find_first_not_of(' ');
  if (b == std::string::npos) return std::string();
  size_t e = out.find_last_not_of(" .");
  if (e == std::string::npos || e < b) return std::string();
  out = out.substr(b, e - b + 1);
  std::u16string w = KVL::SysUtils::Utf8ToUtf16(out);
  if (w.size() > kMaxComponent) {
    w.resize(kMaxComponent);
    // Never leave half of a surrogate pair behind.
    if (w.back() >= 0xD800 && w.back() <= 0xDBFF) w.pop_back();
    out = KVL::SysUtils::Utf16ToUtf8(w);
  }
  return out;
}

} // namespace

std::string CanonicalizePath(std::string_view path, char delim) {
  std::string root;
  std::string_view rest = path;
  if (rest.size() >= 2 && IsLetter(rest[0]) && rest[1] == ':') {
    root = std::string(rest.substr(0, 2));  // GCC 12 -O3 false "maybe uninitialized" on assign from a view
    rest.remove_prefix(2);
  } else if (rest.size() >= 2 && IsSep(rest[0]) && IsSep(rest[1])) {
    size_t end = 2;
    while (end < rest.size() && !IsSep(rest[end])) ++end;
    root = std::string(2, delim) + CleanComponent(rest.substr(2, end - 2));
    rest.remove_prefix(end);
  } else if (delim == '/' && !rest.empty() && rest[0] == '/') {
    root = "";  // the POSIX root: an empty root name before the first separator
    rest.remove_prefix(1);
  }
  bool rooted = path.size() != rest.size();
  bool trailing = !path.empty() && IsSep(path.back());

  std::string out = root;
  bool first = true;
  size_t pos = 0;
  while (pos <= rest.size()) {
    size_t next = pos;
    while (next < rest.size() && !IsSep(rest[next])) ++next;
    std::string part = CleanComponent(rest.substr(pos, next - pos));
    if (!part.empty()) {
      if (!first || rooted) out += delim;
      out += part;
      first = false;
    }
    pos = next + 1;
  }
  if (trailing && (!first || rooted) && (out.empty() || out.back() != delim)) out += delim;
  return out;
}

} // namespace Setup::Core
