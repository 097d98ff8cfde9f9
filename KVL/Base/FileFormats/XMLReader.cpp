// Text XML reader on expat: maps the parser's events onto the node tree as they arrive.
#include "KVL/Base/FileFormats/XMLReader.h"

#include <expat.h>

#include <cstring>
#include <exception>
#include <memory>
#include <new>
#include <string_view>
#include <vector>

#include "KVL/Base/FileFormats/XML.h"
#include "KVL/Base/Platform/CodePage.h"
#include "KVL/Base/Streams.h"
#include "KVL/Base/SysUtils.h"

static_assert(sizeof(XML_Char) == 1, "the reader expects expat's UTF-8 interface");

namespace KVL::FileFormats::XML::Reader {

namespace {

constexpr size_t kChunk = 64 * 1024;
// Separates URI, local name and prefix in the names expat reports; 0x01 cannot occur
// in a namespace name of an XML 1.0 document.
constexpr char kNsSep = '\x01';

constexpr const char* kEntityError = "Entity references are not implemented";
constexpr const char* kMultipleRootsError = "There are multiple root elements.";
constexpr const char* kDepthError = "Elements are nested too deeply";

// Width and byte order of the document's code units, told by its first bytes.
enum class TUnits { tu8Bit, tu16LE, tu16BE };

bool IsXMLWhiteSpace(std::string_view s) {
  for (char c : s)
    if (c != ' ' && c != '\t' && c != '\r' && c != '\n') return false;
  return true;
}

// "uri<sep>local<sep>prefix" -> "prefix:local"; "uri<sep>local" -> "local".
std::string QualifiedName(const XML_Char* expatName) {
  std::string_view n(expatName);
  size_t first = n.find(kNsSep);
  if (first == std::string_view::npos) return std::string(n);
  std::string_view rest = n.substr(first + 1);
  size_t second = rest.find(kNsSep);
  if (second == std::string_view::npos) return std::string(rest);
  std::string result(rest.substr(second + 1));
  result += ':';
  result += rest.substr(0, second);
  return result;
}

// Code pages whose characters are all one byte: expat takes those as a 256-entry map.
bool IsSingleBytePage(unsigned cp) {
  switch (cp) {
    case 437: case 737: case 775: case 850: case 852: case 855: case 857: case 858:
    case 860: case 861: case 862: case 863: case 864: case 865: case 866: case 869:
    case 874: case 1125: case 20866: case 21866:
      return true;
    default:
      return (cp >= 1250 && cp <= 1258) || (cp >= 28591 && cp <= 28605);
  }
}

// Windows code page of an 8-bit encoding name expat does not know itself; 0 when none.
unsigned SingleByteCodePage(std::string_view name) {
  if (SysUtils::SameTextAscii(name, "koi8-r")) return 20866;
  if (SysUtils::SameTextAscii(name, "koi8-u")) return 21866;
  static const struct {
    const char* prefix;
    unsigned base;
  } families[] = {{"windows-", 0}, {"cp", 0}, {"ibm", 0}, {"iso-8859-", 28590}};
  for (const auto& f : families) {
    size_t len = std::strlen(f.prefix);
    if (name.size() <= len || !SysUtils::SameTextAscii(name.substr(0, len), f.prefix)) continue;
    std::string digits(name.substr(len));
    int32_t n = 0;
    if (digits.size() > 5 || digits.find_first_not_of("0123456789") != std::string::npos ||
        !SysUtils::TryStrToInt(digits, n))
      return 0;
    unsigned cp = f.base + unsigned(n);
    return IsSingleBytePage(cp) ? cp : 0;
  }
  return 0;
}

// Lets expat read documents declared in an 8-bit code page through the platform's tables.
int XMLCALL UnknownEncoding(void*, const XML_Char* name, XML_Encoding* info) {
  unsigned cp = SingleByteCodePage(name);
  if (cp == 0) return XML_STATUS_ERROR;
  for (int b = 0; b < 256; ++b) {
    std::u16string out;
    bool ok = Platform::DecodeCodePage(cp, std::string(1, char(b)), out) && out.size() == 1 &&
              out[0] != u'\xFFFD' && (out[0] < 0xD800 || out[0] > 0xDFFF);
    info->map[b] = ok ? int(out[0]) : -1;
  }
  // An unsupported page decodes nothing; expat itself insists on ASCII staying ASCII.
  if (info->map[int('<')] != '<') return XML_STATUS_ERROR;
  info->data = nullptr;
  info->convert = nullptr;
  info->release = nullptr;
  return XML_STATUS_OK;
}

class TTextLoader {
public:
  explicit TTextLoader(TKVLXMLNode& root)
      : parser_(XML_ParserCreateNS(nullptr, kNsSep), &XML_ParserFree), current_(&root) {
    if (!parser_) throw std::bad_alloc();
    XML_Parser p = parser_.get();
    XML_SetUserData(p, this);
    XML_SetReturnNSTriplet(p, XML_TRUE);
    // The parser never fetches anything: no external DTD, no external entities.
    XML_SetParamEntityParsing(p, XML_PARAM_ENTITY_PARSING_NEVER);
    XML_SetElementHandler(p, &Guard<&TTextLoader::OnStart, const XML_Char*, const XML_Char**>,
                          &Guard<&TTextLoader::OnEnd, const XML_Char*>);
    XML_SetCharacterDataHandler(p, &Guard<&TTextLoader::OnText, const XML_Char*, int>);
    XML_SetCdataSectionHandler(p, &Guard<&TTextLoader::OnCdataStart>,
                               &Guard<&TTextLoader::OnCdataEnd>);
    XML_SetCommentHandler(p, &Guard<&TTextLoader::OnComment, const XML_Char*>);
    XML_SetProcessingInstructionHandler(
        p, &Guard<&TTextLoader::OnInstruction, const XML_Char*, const XML_Char*>);
    XML_SetStartNamespaceDeclHandler(
        p, &Guard<&TTextLoader::OnNamespace, const XML_Char*, const XML_Char*>);
    // A default handler keeps expat from expanding entities declared in a DTD inside
    // content; such references then reach the skipped-entity handler and are refused.
    XML_SetDefaultHandler(p, [](void*, const XML_Char*, int) {});
    XML_SetSkippedEntityHandler(p, &Guard<&TTextLoader::OnSkippedEntity, const XML_Char*, int>);
    XML_SetUnknownEncodingHandler(p, &UnknownEncoding, nullptr);
    XML_SetExternalEntityRefHandler(
        p, [](XML_Parser, const XML_Char*, const XML_Char*, const XML_Char*, const XML_Char*) {
          return int(XML_STATUS_ERROR);
        });
  }

  std::string Run(Streams::TKVLStream& stream) {
    XML_Parser p = parser_.get();
    for (;;) {
      void* buffer = XML_GetBuffer(p, int(kChunk));
      if (!buffer) throw std::bad_alloc();
      size_t n = stream.Read(buffer, kChunk);
      if (head_.size() < 2) head_.append(static_cast<const char*>(buffer), std::min<size_t>(n, 2));
      XML_Status status = XML_ParseBuffer(p, int(n), n == 0);
      if (exception_) std::rethrow_exception(exception_);
      if (status != XML_STATUS_OK) {
        if (!stopped_) error_ = Describe(XML_GetErrorCode(p));
        return error_.empty() ? std::string("XML parse error") : error_;
      }
      if (n == 0) return {};
    }
  }

private:
  // Runs a handler; an exception must not unwind through the C parser, so it is kept
  // and raised again once the parser has returned.
  template <auto Method, typename... Args>
  static void Guard(void* data, Args... args) {
    auto* self = static_cast<TTextLoader*>(data);
    if (self->stopped_) return;
    try {
      (self->*Method)(args...);
    } catch (...) {
      self->exception_ = std::current_exception();
      self->Stop("");
    }
  }

  void Stop(const std::string& reason) {
    if (stopped_) return;
    stopped_ = true;
    error_ = reason;
    XML_StopParser(parser_.get(), XML_FALSE);
  }

  std::string Describe(XML_Error code) {
    switch (code) {
      case XML_ERROR_UNDEFINED_ENTITY:
      case XML_ERROR_RECURSIVE_ENTITY_REF:
      case XML_ERROR_BINARY_ENTITY_REF:
      case XML_ERROR_ATTRIBUTE_EXTERNAL_ENTITY_REF:
      case XML_ERROR_EXTERNAL_ENTITY_HANDLING:
      case XML_ERROR_ENTITY_DECLARED_IN_PE:
        return kEntityError;
      case XML_ERROR_JUNK_AFTER_DOC_ELEMENT:
        if (JunkIsElement()) return kMultipleRootsError;
        break;
      default:
        break;
    }
    const XML_LChar* text = XML_ErrorString(code);
    return text ? text : "XML parse error";
  }

  TUnits Units() const {
    auto b = [this](size_t i) { return i < head_.size() ? uint8_t(head_[i]) : 0xFFu; };
    if ((b(0) == 0xFF && b(1) == 0xFE) || (b(0) == '<' && b(1) == 0)) return TUnits::tu16LE;
    if ((b(0) == 0xFE && b(1) == 0xFF) || (b(0) == 0 && b(1) == '<')) return TUnits::tu16BE;
    return TUnits::tu8Bit;
  }

  // The bytes of the current event as written in the document (null when unavailable).
  std::string_view CurrentEventBytes() const {
    int offset = 0, size = 0;
    const char* buffer = XML_GetInputContext(parser_.get(), &offset, &size);
    int count = XML_GetCurrentByteCount(parser_.get());
    if (!buffer || offset < 0 || count <= 0 || offset > size || count > size - offset) return {};
    return std::string_view(buffer + offset, size_t(count));
  }

  // Code units of raw bytes as characters; non-ASCII ones only need to be non-ASCII.
  std::vector<uint32_t> DecodeUnits(std::string_view raw) const {
    std::vector<uint32_t> units;
    TUnits kind = Units();
    if (kind == TUnits::tu8Bit) {
      for (char c : raw) units.push_back(uint8_t(c));
      return units;
    }
    for (size_t i = 0; i + 1 < raw.size(); i += 2) {
      uint32_t lo = uint8_t(raw[i]), hi = uint8_t(raw[i + 1]);
      units.push_back(kind == TUnits::tu16LE ? lo | (hi << 8) : (lo << 8) | hi);
    }
    return units;
  }

  // Expat reports a second root as "junk after document element"; tell it from stray text.
  bool JunkIsElement() const {
    int offset = 0, size = 0;
    const char* buffer = XML_GetInputContext(parser_.get(), &offset, &size);
    if (!buffer || offset < 0 || offset >= size) return false;
    auto units = DecodeUnits(std::string_view(buffer + offset, std::min(size - offset, 4)));
    return units.size() >= 2 && units[0] == '<' && units[1] != '!' && units[1] != '?' &&
           units[1] != '/';
  }

  // Expat expands entities of the DTD inside attribute values (and drops undeclared ones
  // when the DTD is external) before the start tag is reported, so the tag as written is
  // searched for references other than the predefined ones and character references.
  bool StartTagHasEntityReference() const {
    auto units = DecodeUnits(CurrentEventBytes());
    for (size_t i = 0; i < units.size(); ++i) {
      if (units[i] != '&') continue;
      if (i + 1 < units.size() && units[i + 1] == '#') continue;
      std::string name;
      for (size_t j = i + 1; j < units.size() && units[j] != ';' && name.size() < 5; ++j)
        name += units[j] < 128 ? char(units[j]) : '?';
      if (name != "amp" && name != "lt" && name != "gt" && name != "quot" && name != "apos")
        return true;
    }
    return false;
  }

  // A run of character data ends at the next markup; each completed run replaces the
  // element's text. White space alone counts only where xml:space="preserve" is in effect.
  void FlushText() {
    if (run_.empty()) return;
    if (preserve_.back() || !IsXMLWhiteSpace(run_)) current_->SetText(std::move(run_));
    run_.clear();
  }

  void OnStart(const XML_Char* name, const XML_Char** atts) {
    FlushText();
    if (StartTagHasEntityReference()) return Stop(kEntityError);
    if (preserve_.size() > kMaxXMLDepth) return Stop(kDepthError);
    TKVLXMLNode* child = current_->Add(QualifiedName(name));
    for (auto& ns : namespaces_) child->Attributes().Add(std::move(ns.Name), std::move(ns.Value));
    namespaces_.clear();
    bool preserve = preserve_.back();
    // Only attributes written in the tag: defaults from a DTD are not applied.
    int specified = XML_GetSpecifiedAttributeCount(parser_.get());
    for (int i = 0; i + 1 < specified && atts[i]; i += 2) {
      std::string attrName = QualifiedName(atts[i]);
      std::string_view value(atts[i + 1]);
      if (attrName == "xml:space") {
        if (value == "preserve") preserve = true;
        else if (value == "default") preserve = false;
      }
      child->Attributes().Add(std::move(attrName), std::string(value));
    }
    preserve_.push_back(preserve);
    current_ = child;
  }

  void OnEnd(const XML_Char*) {
    FlushText();
    if (preserve_.size() > 1) {
      preserve_.pop_back();
      current_ = current_->Parent();
    }
  }

  void OnText(const XML_Char* s, int len) { run_.append(s, size_t(len)); }

  void OnCdataStart() { FlushText(); }

  // A CDATA section is a piece of its own, white space or not.
  void OnCdataEnd() {
    current_->SetText(std::move(run_));
    run_.clear();
  }

  void OnComment(const XML_Char*) { FlushText(); }
  void OnInstruction(const XML_Char*, const XML_Char*) { FlushText(); }

  void OnNamespace(const XML_Char* prefix, const XML_Char* uri) {
    // Declarations come as attributes of the element, ahead of its other attributes.
    namespaces_.push_back({prefix ? std::string("xmlns:") + prefix : std::string("xmlns"),
                           uri ? std::string(uri) : std::string()});
  }

  void OnSkippedEntity(const XML_Char*, int isParameterEntity) {
    // Parameter entities belong to the DTD, which is skipped.
    if (!isParameterEntity) Stop(kEntityError);
  }

  std::unique_ptr<XML_ParserStruct, decltype(&XML_ParserFree)> parser_;
  TKVLXMLNode* current_;
  std::vector<bool> preserve_{false};  // one entry per open element, plus the document
  std::vector<TKVLXMLAttribute> namespaces_;
  std::string run_;
  std::string head_;
  std::string error_;
  std::exception_ptr exception_;
  bool stopped_ = false;
};

} // namespace

std::string LoadFromText(Streams::TKVLStream& stream, TKVLXMLNode& root) {
  return TTextLoader(root).Run(stream);
}

} // namespace KVL::FileFormats::XML::Reader
