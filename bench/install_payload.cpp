// ondu_bench_payload: writes a reproducible player tree for the installation benchmarks and the
// installation script that lists each of its files as a component.
//
//   ondu_bench_payload tree <folder> <files> <bytes> <seed>
//   ondu_bench_payload script <sample Install.xml> <tree folder> <out Install.xml>
//
// The tree mixes four kinds of file so that the compressor sees what a player's folder holds:
// plug-in libraries (half machine-code-like, half already-compressed resources), skin images
// (incompressible), icons (long runs of pixels) and text (language files, skin descriptions,
// help pages, plug-in notes). By bytes: 40 % incompressible, 40 % text, 20 % repetitive binary.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

// SplitMix64: small, fast, and the same on every platform and standard library.
class TRandom {
public:
  explicit TRandom(uint64_t seed) : state_(seed) {}
  uint64_t Next() {
    uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  uint32_t Below(uint32_t n) { return static_cast<uint32_t>(Next() % n); }
  double Unit() { return (Next() >> 11) * (1.0 / 9007199254740992.0); }

private:
  uint64_t state_;
};

uint64_t Mix(uint64_t seed, uint64_t index) {
  TRandom r(seed * 0x100000001B3ull ^ (index + 1) * 0x9E3779B97F4A7C15ull);
  return r.Next();
}

// ---- content -------------------------------------------------------------------------------

void AppendNoise(std::string& out, size_t size, TRandom& r) {
  const size_t start = out.size();
  out.resize(start + size);
  size_t i = 0;
  for (; i + 8 <= size; i += 8) {
    const uint64_t v = r.Next();
    std::memcpy(&out[start + i], &v, 8);
  }
  for (; i < size; ++i) out[start + i] = static_cast<char>(r.Next());
}

// A vocabulary of pseudo-words built from syllables, shared by every text file of a tree.
std::vector<std::string> MakeVocabulary(uint64_t seed) {
  static const char* const kSyllables[] = {"ka", "lo",  "mi",  "ne",  "su",  "ra", "to",  "vi",  "de",  "on",
                                           "ul", "ex",  "an",  "qu",  "ber", "st", "pla", "mix", "tr",  "ack",
                                           "so", "und", "vol", "ume", "ch",  "an", "nel", "ski", "ngs", "er",
                                           "in", "out", "put", "ple", "li",  "st", "ay",  "fi",  "le",  "co"};
  constexpr size_t kSyllableCount = std::size(kSyllables);
  TRandom r(Mix(seed, 0xC0FFEE));
  std::vector<std::string> words;
  words.reserve(4096);
  while (words.size() < 4096) {
    std::string w;
    const uint32_t parts = 1 + r.Below(4);
    for (uint32_t p = 0; p < parts; ++p) w += kSyllables[r.Below(kSyllableCount)];
    words.push_back(std::move(w));
  }
  return words;
}

// Common words come up far more often than rare ones, as in real text.
const std::string& PickWord(const std::vector<std::string>& words, TRandom& r) {
  const uint64_t v = r.Next();
  const uint64_t a = v & 4095, b = (v >> 12) & 4095;
  return words[(a * b) >> 12];
}

void AppendSentence(std::string& out, const std::vector<std::string>& words, TRandom& r) {
  const uint32_t n = 4 + r.Below(12);
  for (uint32_t i = 0; i < n; ++i) {
    if (i > 0) out += ' ';
    out += PickWord(words, r);
    if (r.Below(16) == 0) out += std::to_string(r.Below(100000));
  }
  out += '.';
}

enum class TTextForm { tfLanguage, tfXml, tfHtml, tfPlain };

// Text in the shape of its file type; lines end in CR LF as on Windows.
std::string TextFile(size_t size, TTextForm form, const std::vector<std::string>& words, TRandom& r) {
  std::string s;
  s.reserve(size + 256);
  uint32_t line = 0;
  switch (form) {
    case TTextForm::tfXml: s += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<skin>\r\n"; break;
    case TTextForm::tfHtml: s += "<!DOCTYPE html>\r\n<html><body>\r\n"; break;
    default: break;
  }
  while (s.size() < size) {
    switch (form) {
      case TTextForm::tfLanguage:
        if (line % 40 == 0) s.append("\r\n[").append(PickWord(words, r)).append("]\r\n");
        s.append("K").append(std::to_string(line)).append("=");
        AppendSentence(s, words, r);
        break;
      case TTextForm::tfXml:
        s.append("  <").append(PickWord(words, r)).append(" left=\"").append(std::to_string(r.Below(1024)));
        s.append("\" top=\"").append(std::to_string(r.Below(768))).append("\" hint=\"");
        AppendSentence(s, words, r);
        s += "\"/>";
        break;
      case TTextForm::tfHtml:
        s += "<p>";
        AppendSentence(s, words, r);
        s += ' ';
        AppendSentence(s, words, r);
        s += "</p>";
        break;
      case TTextForm::tfPlain: AppendSentence(s, words, r); break;
    }
    s += "\r\n";
    ++line;
  }
  s.resize(size);
  return s;
}

// Machine-code-like bytes: a small set of instruction sequences used again and again, with
// addresses that climb slowly, as a compiler's output looks to a compressor.
void AppendCode(std::string& out, size_t size, TRandom& r) {
  std::vector<std::string> pool(512);
  for (auto& seq : pool) AppendNoise(seq, 3 + r.Below(14), r);
  uint32_t address = static_cast<uint32_t>(r.Next());
  const size_t end = out.size() + size;
  while (out.size() < end) {
    const uint64_t v = r.Next();
    const uint64_t a = v & 511, b = (v >> 9) & 511;
    out += pool[(a * b) >> 9];
    if ((v >> 20) % 4 == 0) {
      address += (v >> 24) % 256;
      out.append(reinterpret_cast<const char*>(&address), 4);
    }
    if ((v >> 32) % 16 == 0) out.append((v >> 36) % 24, '\0');
  }
  out.resize(end);
}

std::string LibraryFile(size_t size, TRandom& r) {
  std::string s = "MZ";
  s.append(58, '\0');
  s += "PE";
  s.append(2, '\0');
  // Code and packed resources alternate in blocks, half and half.
  constexpr size_t kBlock = 64 * 1024;
  bool code = true;
  while (s.size() < size) {
    const size_t n = std::min(kBlock, size - s.size());
    if (code) AppendCode(s, n, r);
    else AppendNoise(s, n, r);
    code = !code;
  }
  s.resize(size);
  return s;
}

// An icon: a header, then rows of 32-bit pixels in runs of few colours.
std::string IconFile(size_t size, TRandom& r) {
  std::string s("\0\0\1\0\1\0", 6);
  uint32_t palette[8];
  for (auto& c : palette) c = static_cast<uint32_t>(r.Next()) | 0xFF000000u;
  while (s.size() < size) {
    const uint32_t pixel = palette[r.Below(8)];
    const uint32_t run = 1 + r.Below(48);
    for (uint32_t i = 0; i < run; ++i) s.append(reinterpret_cast<const char*>(&pixel), 4);
  }
  s.resize(size);
  return s;
}

std::string ImageFile(size_t size, TRandom& r) {
  std::string s("\x89PNG\r\n\x1A\n", 8);
  if (size > s.size()) AppendNoise(s, size - s.size(), r);
  s.resize(size);
  return s;
}

// ---- layout --------------------------------------------------------------------------------

enum class TKind { kdLibrary, kdImage, kdIcon, kdText };

struct TKindShare {
  TKind Kind;
  double Files;  // share of the file count
  double Bytes;  // share of the bytes
};

// Libraries: 15 % of bytes code, 15 % packed resources; images 25 %; icons 5 %; text 40 %.
constexpr TKindShare kShares[] = {
    {TKind::kdLibrary, 0.15, 0.30},
    {TKind::kdImage, 0.25, 0.25},
    {TKind::kdIcon, 0.20, 0.05},
    {TKind::kdText, 0.40, 0.40},
};

struct TPlannedFile {
  std::string Name;  // relative, '/'-separated
  TKind Kind;
  TTextForm Form = TTextForm::tfPlain;
  size_t Size = 0;
};

std::string Capitalised(std::string w) {
  if (!w.empty()) w[0] = static_cast<char>(w[0] - 'a' + 'A');
  return w;
}

std::string Numbered(const std::string& word, size_t index, const char* ext) {
  char digits[16];
  std::snprintf(digits, sizeof digits, "%04zu", index);
  return word + digits + ext;
}

std::vector<TPlannedFile> PlanTree(size_t files, uint64_t bytes, uint64_t seed, const std::vector<std::string>& words) {
  static const char* const kGroups[] = {"Decoders", "Encoders", "DSP", "Output", "Visuals", "Input", "General", "Tags"};
  static const char* const kSkins[] = {"Default", "Dark", "Classic", "Modern", "Compact", "Glass",
                                       "Retro",   "Neon", "Paper",   "Slate",  "Ocean",   "Forest"};
  static const char* const kIconSizes[] = {"16", "24", "32", "48", "64", "256"};
  static const char* const kLanguages[] = {"English", "German", "Russian", "French", "Spanish", "Italian",
                                           "Polish",  "Czech",  "Dutch",   "Swedish", "Turkish", "Japanese"};
  TRandom r(Mix(seed, 0x5EED));
  std::vector<TPlannedFile> plan;
  plan.reserve(files);
  size_t filesLeft = files;
  uint64_t bytesLeft = bytes;
  for (size_t k = 0; k < std::size(kShares); ++k) {
    const bool last = k + 1 == std::size(kShares);
    const size_t count = last ? filesLeft : std::min(filesLeft, static_cast<size_t>(std::llround(files * kShares[k].Files)));
    const uint64_t budget = last ? bytesLeft : std::min(bytesLeft, static_cast<uint64_t>(std::llround(bytes * kShares[k].Bytes)));
    filesLeft -= count;
    bytesLeft -= budget;
    if (count == 0) continue;
    // Sizes spread over a factor of about 20 within a kind; a few files carry most bytes.
    std::vector<double> weights(count);
    double sum = 0;
    for (auto& w : weights) sum += (w = std::exp(3.0 * r.Unit()));
    uint64_t given = 0;
    const size_t first = plan.size();
    for (size_t i = 0; i < count; ++i) {
      TPlannedFile f;
      f.Kind = kShares[k].Kind;
      f.Size = std::max<size_t>(1, static_cast<size_t>(budget * weights[i] / sum));
      given += f.Size;
      const std::string& word = words[r.Below(static_cast<uint32_t>(words.size()))];
      switch (f.Kind) {
        case TKind::kdLibrary:
          // The player itself comes first, so that the script's shortcuts find their target.
          f.Name = i == 0 ? "ONDU.exe"
                          : std::string("Plugins/") + kGroups[i % std::size(kGroups)] + "/" +
                                Numbered(Capitalised(word), i, ".dll");
          break;
        case TKind::kdImage:
          f.Name = std::string("Skins/") + kSkins[i % std::size(kSkins)] + "/Images/" + Numbered(word, i, ".png");
          break;
        case TKind::kdIcon:
          f.Name = std::string("Icons/") + kIconSizes[i % std::size(kIconSizes)] + "/" + Numbered(word, i, ".ico");
          break;
        case TKind::kdText:
          switch (i % 4) {
            case 0:
              f.Form = TTextForm::tfLanguage;
              f.Name = std::string("Langs/") + kLanguages[(i / 4) % std::size(kLanguages)] + "/" + Numbered(word, i, ".lng");
              break;
            case 1:
              f.Form = TTextForm::tfXml;
              f.Name = std::string("Skins/") + kSkins[(i / 4) % std::size(kSkins)] + "/" + Numbered(word, i, ".xml");
              break;
            case 2:
              f.Form = TTextForm::tfHtml;
              f.Name = std::string("Help/") + kLanguages[(i / 4) % std::size(kLanguages)] + "/" + Numbered(word, i, ".html");
              break;
            default:
              f.Form = TTextForm::tfPlain;
              f.Name = std::string("Plugins/") + kGroups[(i / 4) % std::size(kGroups)] + "/" +
                       Numbered(Capitalised(word), i, ".txt");
              break;
          }
          break;
      }
      plan.push_back(std::move(f));
    }
    // Rounding: the largest file of the kind takes up the difference, so the total is exact.
    auto largest = std::max_element(plan.begin() + static_cast<std::ptrdiff_t>(first), plan.end(),
                                    [](const TPlannedFile& a, const TPlannedFile& b) { return a.Size < b.Size; });
    largest->Size = static_cast<size_t>(largest->Size + budget - given);
  }
  return plan;
}

void WriteWhole(const fs::path& path, const std::string& bytes) {
  std::FILE* f = std::fopen(path.string().c_str(), "wb");
  if (!f || std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size() || std::fclose(f) != 0) {
    std::fprintf(stderr, "cannot write %s\n", path.string().c_str());
    std::exit(1);
  }
}

int WriteTree(const fs::path& folder, size_t files, uint64_t bytes, uint64_t seed) {
  const auto words = MakeVocabulary(seed);
  const auto plan = PlanTree(files, bytes, seed, words);
  for (size_t i = 0; i < plan.size(); ++i) {
    const TPlannedFile& f = plan[i];
    TRandom r(Mix(seed, i));
    std::string content;
    switch (f.Kind) {
      case TKind::kdLibrary: content = LibraryFile(f.Size, r); break;
      case TKind::kdImage: content = ImageFile(f.Size, r); break;
      case TKind::kdIcon: content = IconFile(f.Size, r); break;
      case TKind::kdText: content = TextFile(f.Size, f.Form, words, r); break;
    }
    const fs::path path = folder / fs::path(f.Name);
    fs::create_directories(path.parent_path());
    WriteWhole(path, content);
  }
  return 0;
}

// ---- script --------------------------------------------------------------------------------

std::string XmlEscaped(const std::string& s) {
  std::string out;
  for (char c : s) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      default: out += c;
    }
  }
  return out;
}

// The sample script with its Components group replaced by every file of the tree.
int WriteScript(const fs::path& sample, const fs::path& tree, const fs::path& out) {
  std::ifstream in(sample, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  const std::string xml = text.str();
  const std::string open = "<Components>", close = "</Components>";
  const size_t a = xml.find(open), b = xml.find(close);
  if (!in || a == std::string::npos || b == std::string::npos || b < a) {
    std::fprintf(stderr, "%s has no Components group\n", sample.string().c_str());
    return 1;
  }
  std::vector<std::string> names;
  for (const auto& e : fs::recursive_directory_iterator(tree)) {
    if (!e.is_regular_file()) continue;
    std::string name = fs::relative(e.path(), tree).generic_string();
    std::replace(name.begin(), name.end(), '/', '\\');
    names.push_back(std::move(name));
  }
  std::sort(names.begin(), names.end());
  std::string list = open + "\n";
  for (const auto& n : names) list += "      <File name=\"$DEST\\" + XmlEscaped(n) + "\">" + XmlEscaped(n) + "</File>\n";
  list += "    ";
  WriteWhole(out, xml.substr(0, a) + list + xml.substr(b));
  return 0;
}

int Usage() {
  std::fprintf(stderr,
               "usage: ondu_bench_payload tree <folder> <files> <bytes> <seed>\n"
               "       ondu_bench_payload script <sample Install.xml> <tree folder> <out Install.xml>\n");
  return 2;
}

} // namespace

int main(int argc, char** argv) {
  if (argc == 6 && std::strcmp(argv[1], "tree") == 0) {
    const long long files = std::atoll(argv[3]), bytes = std::atoll(argv[4]);
    if (files <= 0 || bytes < files) return Usage();
    return WriteTree(argv[2], static_cast<size_t>(files), static_cast<uint64_t>(bytes),
                     std::strtoull(argv[5], nullptr, 10));
  }
  if (argc == 5 && std::strcmp(argv[1], "script") == 0) return WriteScript(argv[2], argv[3], argv[4]);
  return Usage();
}
