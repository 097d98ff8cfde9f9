// POSIX registry stand-in: one UTF-8 text file below KVL_SYSTEM_ROOT, replaced atomically on every write.
#include "KVL/Base/Platform/Registry.h"
#include "KVL/Base/Platform/Shell.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <functional>

#include "KVL/Base/Platform/File.h"
#include "KVL/Base/Platform/Locale.h"

namespace KVL::Platform {

using SysUtils::Format;

namespace {

// Windows' type codes, kept so that a seeded value of another type survives a rewrite.
constexpr uint32_t kRegSz = 1, kRegExpandSz = 2, kRegBinary = 3, kRegDword = 4;

std::u16string Fold(const std::string& name) { return UpperCaseLocale(SysUtils::Utf8ToUtf16(name)); }

struct TValue {
  std::string Name;
  std::u16string Folded;
  uint32_t Type = kRegSz;
  std::string Data;  // UTF-8 text for strings, 4 little-endian bytes for integers, raw bytes otherwise
};

struct TNode {
  std::string Name;
  std::u16string Folded;
  std::vector<TValue> Values;                   // creation order
  std::vector<std::unique_ptr<TNode>> Children;  // ascending by folded name

  TNode* Find(const std::string& name) const {
    std::u16string f = Fold(name);
    for (const auto& c : Children)
      if (c->Folded == f) return c.get();
    return nullptr;
  }
  TNode* Add(const std::string& name) {
    if (TNode* existing = Find(name)) return existing;
    auto node = std::make_unique<TNode>();
    node->Name = name;
    node->Folded = Fold(name);
    auto pos = std::upper_bound(Children.begin(), Children.end(), node->Folded,
                                [](const std::u16string& f, const std::unique_ptr<TNode>& c) { return f < c->Folded; });
    return Children.insert(pos, std::move(node))->get();
  }
  TValue* FindValue(const std::string& name) {
    std::u16string f = Fold(name);
    for (auto& v : Values)
      if (v.Folded == f) return &v;
    return nullptr;
  }
  void SetValue(const std::string& name, uint32_t type, std::string data) {
    TValue* v = FindValue(name);
    if (!v) {
      Values.push_back(TValue{name, Fold(name), type, std::string()});
      v = &Values.back();
    }
    v->Type = type;
    v->Data = std::move(data);
  }
};

// The two hives; HKCU is a key of HKU.
struct TTree {
  TNode Machine;
  TNode Users;
};

// A resolved key: its hive and the key names below it, after the view's redirection.
struct TLocation {
  bool Users = false;
  std::vector<std::string> Names;
};

TNode* Walk(TTree& tree, const TLocation& loc, bool create) {
  TNode* node = loc.Users ? &tree.Users : &tree.Machine;
  for (const auto& name : loc.Names) {
    node = create ? node->Add(name) : node->Find(name);
    if (!node) return nullptr;
  }
  return node;
}

// Splits a trimmed key path; false when it has an empty key name ("a\\b").
bool SplitPath(const std::string& path, std::vector<std::string>& names) {
  names.clear();
  if (path.empty()) return true;
  size_t start = 0;
  for (;;) {
    size_t end = path.find('\\', start);
    std::string part = path.substr(start, end == std::string::npos ? std::string::npos : end - start);
    if (part.empty()) return false;
    names.push_back(std::move(part));
    if (end == std::string::npos) return true;
    start = end + 1;
  }
}

bool Resolve(TRegistryRoot root, const std::string& path, TRegistryView view, TLocation& loc) {
  if (!SplitPath(TrimRegistryPath(path), loc.Names)) return false;
  loc.Users = root != TRegistryRoot::rrLocalMachine;
  if (root == TRegistryRoot::rrCurrentUser) loc.Names.insert(loc.Names.begin(), CurrentUserSid());
  // As WOW64 does: a 32-bit program's HKLM\Software is HKLM\Software\Wow6432Node.
  if (root == TRegistryRoot::rrLocalMachine && view == TRegistryView::rv32Bit && !loc.Names.empty() &&
      Fold(loc.Names[0]) == u"SOFTWARE" && (loc.Names.size() < 2 || Fold(loc.Names[1]) != u"WOW6432NODE"))
    loc.Names.insert(loc.Names.begin() + 1, "Wow6432Node");
  return true;
}

// ---- The text format ------------------------------------------------------------------------

const char kHexDigits[] = "0123456789abcdef";

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool IsControl(unsigned char c) { return c < 0x20 || c == 0x7F; }

// Key names in headers: control characters and '%' become %XX; everything else stays.
std::string EscapeKeyName(const std::string& s) {
  std::string out;
  for (unsigned char c : s) {
    if (IsControl(c) || c == '%') {
      out += '%';
      out += kHexDigits[c >> 4];
      out += kHexDigits[c & 15];
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

// A '%' not followed by two hex digits is taken as it stands, which suits hand-written files.
std::string UnescapeKeyName(const std::string& s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '%' && i + 2 < s.size() && HexValue(s[i + 1]) >= 0 && HexValue(s[i + 2]) >= 0) {
      out += static_cast<char>(HexValue(s[i + 1]) * 16 + HexValue(s[i + 2]));
      i += 2;
    } else {
      out += s[i];
    }
  }
  return out;
}

// Quoted names and texts: \\ \" \n \r \t and \xHH for other control characters.
std::string Quote(const std::string& s) {
  std::string out = "\"";
  for (unsigned char c : s) {
    switch (c) {
      case '\\': out += "\\\\"; break;
      case '"': out += "\\\""; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (IsControl(c)) {
          out += "\\x";
          out += kHexDigits[c >> 4];
          out += kHexDigits[c & 15];
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  return out + "\"";
}

// Reads a quoted text starting at line[pos] == '"'; pos ends after the closing quote.
bool Unquote(const std::string& line, size_t& pos, std::string& out) {
  out.clear();
  if (pos >= line.size() || line[pos] != '"') return false;
  for (size_t i = pos + 1; i < line.size(); ++i) {
    char c = line[i];
    if (c == '"') {
      pos = i + 1;
      return true;
    }
    if (c != '\\') {
      out += c;
      continue;
    }
    if (++i >= line.size()) return false;
    switch (line[i]) {
      case '\\': out += '\\'; break;
      case '"': out += '"'; break;
      case 'n': out += '\n'; break;
      case 'r': out += '\r'; break;
      case 't': out += '\t'; break;
      case 'x':
        if (i + 2 >= line.size() || HexValue(line[i + 1]) < 0 || HexValue(line[i + 2]) < 0) return false;
        out += static_cast<char>(HexValue(line[i + 1]) * 16 + HexValue(line[i + 2]));
        i += 2;
        break;
      default: return false;
    }
  }
  return false;
}

bool StartsWithAscii(const std::string& s, size_t pos, const char* prefix) {
  size_t n = std::strlen(prefix);
  return s.size() - pos >= n && SysUtils::SameTextAscii(std::string_view(s).substr(pos, n), prefix);
}

bool OnlyBlanks(const std::string& s, size_t pos) { return s.find_first_not_of(" \t", pos) == std::string::npos; }

// The data after '=': "text", expand:"text", dword:HHHHHHHH, hex:HH,.. or hex(T):HH,..
bool ParseData(const std::string& line, size_t pos, uint32_t& type, std::string& data) {
  data.clear();
  if (pos < line.size() && line[pos] == '"') {
    type = kRegSz;
    return Unquote(line, pos, data) && OnlyBlanks(line, pos);
  }
  if (StartsWithAscii(line, pos, "expand:")) {
    type = kRegExpandSz;
    pos += 7;
    return Unquote(line, pos, data) && OnlyBlanks(line, pos);
  }
  if (StartsWithAscii(line, pos, "dword:")) {
    type = kRegDword;
    size_t end = line.find_first_of(" \t", pos + 6);
    std::string digits = line.substr(pos + 6, end == std::string::npos ? std::string::npos : end - pos - 6);
    if (digits.empty() || digits.size() > 8 || !OnlyBlanks(line, pos + 6 + digits.size())) return false;
    uint32_t v = 0;
    for (char c : digits) {
      if (HexValue(c) < 0) return false;
      v = v * 16 + static_cast<uint32_t>(HexValue(c));
    }
    for (int i = 0; i < 4; ++i) data += static_cast<char>((v >> (8 * i)) & 0xFF);
    return true;
  }
  if (!StartsWithAscii(line, pos, "hex")) return false;
  pos += 3;
  type = kRegBinary;
  if (pos < line.size() && line[pos] == '(') {
    size_t close = line.find(')', pos);
    if (close == std::string::npos || close == pos + 1 || close - pos > 9) return false;
    type = 0;
    for (size_t i = pos + 1; i < close; ++i) {
      if (HexValue(line[i]) < 0) return false;
      type = type * 16 + static_cast<uint32_t>(HexValue(line[i]));
    }
    pos = close + 1;
  }
  if (pos >= line.size() || line[pos] != ':') return false;
  ++pos;
  while (!OnlyBlanks(line, pos)) {
    pos = line.find_first_not_of(" \t", pos);
    if (pos + 1 >= line.size() || HexValue(line[pos]) < 0 || HexValue(line[pos + 1]) < 0) return false;
    data += static_cast<char>(HexValue(line[pos]) * 16 + HexValue(line[pos + 1]));
    pos = line.find_first_not_of(" \t", pos + 2);
    if (pos == std::string::npos) break;
    if (line[pos] != ',') return false;
    ++pos;
  }
  return true;
}

// A header's hive: the short and long names, and HKCU for the running user as a convenience.
bool ParseHeader(TTree& tree, const std::string& inner, TNode*& node) {
  std::vector<std::string> names;
  if (!SplitPath(inner, names) || names.empty()) return false;
  for (auto& n : names) n = UnescapeKeyName(n);
  const std::string& hive = names[0];
  if (SysUtils::SameTextAscii(hive, "HKLM") || SysUtils::SameTextAscii(hive, "HKEY_LOCAL_MACHINE")) {
    node = &tree.Machine;
  } else if (SysUtils::SameTextAscii(hive, "HKU") || SysUtils::SameTextAscii(hive, "HKEY_USERS")) {
    node = &tree.Users;
  } else if (SysUtils::SameTextAscii(hive, "HKCU") || SysUtils::SameTextAscii(hive, "HKEY_CURRENT_USER")) {
    node = tree.Users.Add(CurrentUserSid());
  } else {
    return false;
  }
  for (size_t i = 1; i < names.size(); ++i) node = node->Add(names[i]);
  return true;
}

std::unique_ptr<TTree> Parse(const std::string& text, const std::string& fileName) {
  auto tree = std::make_unique<TTree>();
  TNode* node = nullptr;
  size_t start = 0;
  int lineNo = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    start = end + 1;
    ++lineNo;
    // Every CR of a name or text is escaped, so a final CR is a hand-edited file's line end.
    if (!line.empty() && line.back() == '\r') line.pop_back();
    size_t first = line.find_first_not_of(" \t");
    if (first == std::string::npos || line[first] == ';') continue;
    bool ok = false;
    if (line[first] == '[') {
      size_t last = line.find_last_not_of(" \t");
      ok = last > first && line[last] == ']' && ParseHeader(*tree, line.substr(first + 1, last - first - 1), node);
    } else if (node && (line[first] == '"' || line[first] == '@')) {
      // @ is the default value, as in .reg files.
      std::string name, data;
      size_t pos = first;
      uint32_t type = 0;
      if (line[first] == '@')
        ++pos;
      else if (!Unquote(line, pos, name))
        pos = line.size();
      ok = pos < line.size() && line[pos] == '=' && ParseData(line, pos + 1, type, data);
      if (ok) node->SetValue(name, type, std::move(data));
    }
    if (!ok)
      throw EKVLRegistryError(
          Format("The registry file \"%s\" is damaged at line %d.", fileName.c_str(), lineNo));
  }
  // The running user's hive is always loaded, as on Windows.
  tree->Users.Add(CurrentUserSid());
  return tree;
}

std::string HexBytes(const std::string& data) {
  std::string out;
  for (size_t i = 0; i < data.size(); ++i) {
    if (i) out += ',';
    out += kHexDigits[static_cast<unsigned char>(data[i]) >> 4];
    out += kHexDigits[static_cast<unsigned char>(data[i]) & 15];
  }
  return out;
}

uint32_t DwordOf(const std::string& data) {
  uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(data[static_cast<size_t>(i)]);
  return v;
}

void WriteNode(const TNode& node, const std::string& path, bool isHive, std::string& out) {
  // Parents are implied by their children's headers, so only keys with values or without
  // subkeys need one of their own.
  if (!node.Values.empty() || (!isHive && node.Children.empty())) {
    out += "\n[" + path + "]\n";
    for (const auto& v : node.Values) {
      out += v.Name.empty() ? std::string("@") : Quote(v.Name);
      out += '=';
      switch (v.Type) {
        case kRegSz: out += Quote(v.Data); break;
        case kRegExpandSz: out += "expand:" + Quote(v.Data); break;
        case kRegDword: out += Format("dword:%08x", DwordOf(v.Data)); break;
        case kRegBinary: out += "hex:" + HexBytes(v.Data); break;
        default: out += Format("hex(%x):", v.Type) + HexBytes(v.Data);
      }
      out += '\n';
    }
  }
  for (const auto& c : node.Children) WriteNode(*c, path + "\\" + EscapeKeyName(c->Name), false, out);
}

std::string Serialize(const TTree& tree) {
  std::string out =
      "; Registry of the KVL platform layer, UTF-8. [HIVE\\key\\...] headers (%XX escapes control\n"
      "; characters and '%'), then \"name\"= or @= with \"text\", expand:\"text\", dword:HHHHHHHH or hex:HH,..\n";
  WriteNode(tree.Machine, "HKLM", true, out);
  WriteNode(tree.Users, "HKU", true, out);
  return out;
}

// ---- The file -------------------------------------------------------------------------------

std::string StandInFolder() { return SystemRoot() + "var/lib/kvl/"; }

std::string SystemError(int code) { return std::strerror(code); }

// The file's current contents; a missing file is an empty registry.
std::unique_ptr<TTree> Load(const std::string& fileName) {
  TPlatformFile file;
  if (!file.TryOpen(fileName, TFileOpenMode::fomRead)) {
    if (errno == ENOENT) return Parse(std::string(), fileName);
    throw EKVLRegistryError(
        Format("Cannot read the registry file \"%s\". %s", fileName.c_str(), LastSystemErrorText().c_str()));
  }
  std::string text;
  char buf[65536];
  for (;;) {
    size_t n = file.Read(buf, sizeof buf);
    text.append(buf, n);
    if (n < sizeof buf) break;
  }
  return Parse(text, fileName);
}

// Holds an exclusive lock on the registry's lock file while alive. Each holder opens the file
// afresh, so the lock also excludes other threads of this process.
class TWriteLock {
public:
  TWriteLock(const std::string& folder, const std::string& what) {
    ForceDirectories(folder);  // when it fails, opening the lock file tells why
    fd_ = ::open((folder + "registry.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd_ < 0) Fail(what, errno);
    int rc;
    do rc = ::flock(fd_, LOCK_EX);
    while (rc != 0 && errno == EINTR);
    if (rc != 0) {
      int code = errno;
      ::close(fd_);
      Fail(what, code);
    }
  }
  ~TWriteLock() { ::close(fd_); }
  TWriteLock(const TWriteLock&) = delete;
  TWriteLock& operator=(const TWriteLock&) = delete;

  [[noreturn]] static void Fail(const std::string& what, int code) {
    throw EKVLRegistryError(what + " " + SystemError(code));
  }

private:
  int fd_ = -1;
};

// Writes the whole file beside the original, flushes it and renames it over the original,
// so that readers without the lock see either the old or the new registry.
void Store(const std::string& folder, const std::string& fileName, const TTree& tree, const std::string& what) {
  std::string text = Serialize(tree);
  std::string temp = fileName + ".tmp";
  int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) TWriteLock::Fail(what, errno);
  size_t done = 0;
  while (done < text.size()) {
    ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      int code = n < 0 ? errno : ENOSPC;
      ::close(fd);
      ::unlink(temp.c_str());
      TWriteLock::Fail(what, code);
    }
    done += static_cast<size_t>(n);
  }
  if (::fsync(fd) != 0 || ::close(fd) != 0) {
    int code = errno;
    ::unlink(temp.c_str());
    TWriteLock::Fail(what, code);
  }
  if (::rename(temp.c_str(), fileName.c_str()) != 0) {
    int code = errno;
    ::unlink(temp.c_str());
    TWriteLock::Fail(what, code);
  }
  int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    ::fsync(dir);
    ::close(dir);
  }
}

// The batch of this thread, if one is active (see TRegistryBatch).
struct TBatchState {
  std::string Folder, FileName;
  std::unique_ptr<TWriteLock> Lock;
  std::unique_ptr<TTree> Tree;
  bool Changed = false;
};
thread_local TBatchState* activeBatch = nullptr;

// One write: lock, re-read, change, store. change returns false when nothing changed.
// what is the start of the message raised on failure. Inside a batch: the batch's copy.
void Modify(const std::string& what, const std::function<bool(TTree&)>& change) {
  if (activeBatch) {
    if (change(*activeBatch->Tree)) activeBatch->Changed = true;
    return;
  }
  std::string folder = StandInFolder();
  TWriteLock lock(folder, what);
  std::string fileName = folder + "registry.txt";
  std::unique_ptr<TTree> tree = Load(fileName);
  if (change(*tree)) Store(folder, fileName, *tree, what);
}

std::unique_ptr<TTree> LoadCurrent() {
  // Readers get a tree of their own; a batch's copy is handed out as a fresh parse of it.
  if (activeBatch) return Parse(Serialize(*activeBatch->Tree), activeBatch->FileName);
  return Load(StandInFolder() + "registry.txt");
}

} // namespace

struct TRegistryBatch::TImpl : TBatchState {};

TRegistryBatch::TRegistryBatch() {
  if (activeBatch) return;  // joins the active one
  auto impl = std::make_unique<TImpl>();
  impl->Folder = StandInFolder();
  impl->FileName = impl->Folder + "registry.txt";
  impl->Lock = std::make_unique<TWriteLock>(impl->Folder, "Cannot lock the registry.");
  impl->Tree = Load(impl->FileName);
  impl_ = std::move(impl);
  activeBatch = impl_.get();
}

TRegistryBatch::~TRegistryBatch() {
  if (impl_ && activeBatch == impl_.get()) activeBatch = nullptr;
}

void TRegistryBatch::Commit() {
  if (!impl_ || activeBatch != impl_.get()) return;
  activeBatch = nullptr;
  if (impl_->Changed) Store(impl_->Folder, impl_->FileName, *impl_->Tree, "Cannot write the registry.");
  impl_->Lock.reset();
}

struct TRegistryKey::TImpl {
  TLocation Location;
  std::string Display;
  bool Writable = false;
};

TRegistryKey::TRegistryKey() = default;
TRegistryKey::~TRegistryKey() = default;
TRegistryKey::TRegistryKey(TRegistryKey&& other) noexcept = default;
TRegistryKey& TRegistryKey::operator=(TRegistryKey&& other) noexcept = default;

bool TRegistryKey::OpenRead(TRegistryRoot root, const std::string& path, TRegistryView view) {
  Close();
  auto impl = std::make_unique<TImpl>();
  if (!Resolve(root, path, view, impl->Location)) return false;
  std::unique_ptr<TTree> tree = LoadCurrent();
  if (!Walk(*tree, impl->Location, false)) return false;
  impl->Display = RegistryKeyDisplayName(root, path);
  impl_ = std::move(impl);
  return true;
}

void TRegistryKey::OpenWrite(TRegistryRoot root, const std::string& path, TRegistryView view) {
  Close();
  auto impl = std::make_unique<TImpl>();
  impl->Display = RegistryKeyDisplayName(root, path);
  impl->Writable = true;
  std::string what = Format("Cannot create registry key \"%s\".", impl->Display.c_str());
  if (!Resolve(root, path, view, impl->Location)) TWriteLock::Fail(what, EINVAL);
  Modify(what, [&](TTree& tree) {
    if (Walk(tree, impl->Location, false)) return false;
    Walk(tree, impl->Location, true);
    return true;
  });
  impl_ = std::move(impl);
}

bool TRegistryKey::IsOpen() const { return impl_ != nullptr; }

void TRegistryKey::Close() { impl_.reset(); }

namespace {

// The value as it is now, or nothing when the key or the value is gone.
std::optional<TValue> CurrentValue(const TRegistryKey::TImpl* impl, const std::string& name) {
  if (!impl) return std::nullopt;
  std::unique_ptr<TTree> tree = LoadCurrent();
  TNode* node = Walk(*tree, impl->Location, false);
  if (!node) return std::nullopt;
  TValue* v = node->FindValue(name);
  if (!v) return std::nullopt;
  return *v;
}

// Changes the open key's values; the key must be open for writing and still exist.
void ChangeValues(TRegistryKey::TImpl* impl, const std::string& what, const std::function<bool(TNode&)>& change) {
  if (!impl) throw EKVLRegistryError(what + " The registry key is not open.");
  if (!impl->Writable) TWriteLock::Fail(what, EACCES);
  Modify(what, [&](TTree& tree) {
    TNode* node = Walk(tree, impl->Location, false);
    if (!node) throw EKVLRegistryError(what + " The key has been deleted.");
    return change(*node);
  });
}

} // namespace

TRegistryValueType TRegistryKey::ValueType(const std::string& name) const {
  std::optional<TValue> v = CurrentValue(impl_.get(), name);
  if (!v) return TRegistryValueType::rtNone;
  switch (v->Type) {
    case kRegSz: return TRegistryValueType::rtString;
    case kRegExpandSz: return TRegistryValueType::rtExpandString;
    case kRegDword: return TRegistryValueType::rtInteger;
    default: return TRegistryValueType::rtOther;
  }
}

std::optional<std::string> TRegistryKey::ReadString(const std::string& name) const {
  std::optional<TValue> v = CurrentValue(impl_.get(), name);
  if (!v || (v->Type != kRegSz && v->Type != kRegExpandSz)) return std::nullopt;
  return v->Data;
}

std::optional<uint32_t> TRegistryKey::ReadInteger(const std::string& name) const {
  std::optional<TValue> v = CurrentValue(impl_.get(), name);
  if (!v || v->Type != kRegDword) return std::nullopt;
  return DwordOf(v->Data);
}

std::vector<std::string> TRegistryKey::SubKeyNames() const {
  std::vector<std::string> names;
  if (!impl_) return names;
  std::unique_ptr<TTree> tree = LoadCurrent();
  if (TNode* node = Walk(*tree, impl_->Location, false))
    for (const auto& c : node->Children) names.push_back(c->Name);
  return names;
}

std::vector<std::string> TRegistryKey::ValueNames() const {
  std::vector<std::string> names;
  if (!impl_) return names;
  std::unique_ptr<TTree> tree = LoadCurrent();
  if (TNode* node = Walk(*tree, impl_->Location, false))
    for (const auto& v : node->Values) names.push_back(v.Name);
  return names;
}

namespace {
std::string WriteWhat(const TRegistryKey::TImpl* impl, const std::string& name) {
  return Format("Cannot write registry value \"%s\" of \"%s\".", name.c_str(), impl ? impl->Display.c_str() : "");
}
} // namespace

void TRegistryKey::WriteString(const std::string& name, const std::string& value) {
  ChangeValues(impl_.get(), WriteWhat(impl_.get(), name), [&](TNode& node) {
    node.SetValue(name, kRegSz, value);
    return true;
  });
}

void TRegistryKey::WriteExpandString(const std::string& name, const std::string& value) {
  ChangeValues(impl_.get(), WriteWhat(impl_.get(), name), [&](TNode& node) {
    node.SetValue(name, kRegExpandSz, value);
    return true;
  });
}

void TRegistryKey::WriteInteger(const std::string& name, uint32_t value) {
  std::string data;
  for (int i = 0; i < 4; ++i) data += static_cast<char>((value >> (8 * i)) & 0xFF);
  ChangeValues(impl_.get(), WriteWhat(impl_.get(), name), [&](TNode& node) {
    node.SetValue(name, kRegDword, data);
    return true;
  });
}

bool TRegistryKey::DeleteValue(const std::string& name) {
  bool found = false;
  std::string what = Format("Cannot delete registry value \"%s\" of \"%s\".", name.c_str(),
                            impl_ ? impl_->Display.c_str() : "");
  ChangeValues(impl_.get(), what, [&](TNode& node) {
    TValue* v = node.FindValue(name);
    found = v != nullptr;
    if (found) node.Values.erase(node.Values.begin() + (v - node.Values.data()));
    return found;
  });
  return found;
}

bool RegistryKeyExists(TRegistryRoot root, const std::string& path, TRegistryView view) {
  TLocation loc;
  if (!Resolve(root, path, view, loc)) return false;
  std::unique_ptr<TTree> tree = LoadCurrent();
  return Walk(*tree, loc, false) != nullptr;
}

bool DeleteRegistryKeyTree(TRegistryRoot root, const std::string& path, TRegistryView view) {
  std::string what = Format("Cannot delete registry key \"%s\".", RegistryKeyDisplayName(root, path).c_str());
  TLocation loc;
  if (TrimRegistryPath(path).empty() || !Resolve(root, path, view, loc)) TWriteLock::Fail(what, EINVAL);
  bool found = false;
  Modify(what, [&](TTree& tree) {
    TLocation parentLoc{loc.Users, std::vector<std::string>(loc.Names.begin(), loc.Names.end() - 1)};
    TNode* parent = Walk(tree, parentLoc, false);
    TNode* node = parent ? parent->Find(loc.Names.back()) : nullptr;
    found = node != nullptr;
    if (found) {
      // The key owns its subkeys, so they go with it.
      auto& kids = parent->Children;
      kids.erase(std::find_if(kids.begin(), kids.end(), [&](const auto& c) { return c.get() == node; }));
    }
    return found;
  });
  return found;
}

std::string CurrentUserSid() { return Format("S-1-5-21-0-0-0-%u", static_cast<unsigned>(::geteuid())); }

std::string RegistryStandInPath() { return StandInFolder() + "registry.txt"; }

} // namespace KVL::Platform
