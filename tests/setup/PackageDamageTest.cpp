// Damaged and hostile packages: every failure ends in "Package was corrupted" or
// "LZMA Error (n)", and nothing damaged is ever served.
#include <gtest/gtest.h>

#include <string>

#include "KVL/Base/Streams.h"
#include "KVL/Base/SysUtils.h"
#include "setup/PackageTestUtil.h"
#include "setup/core/package/Package.h"

using namespace Setup::Core::Package;
using namespace PackageTestUtil;
using KVL::Streams::TKVLReadOnlyMemoryStream;

namespace {

enum class TOutcome { Loaded, Corrupted, LzmaError, ReadError, Other };

// Reads the package; when it loads, every file must be exactly the original.
TOutcome TryRead(const std::string& package, const TFiles& original, std::string* detail = nullptr) {
  try {
    TKVLReadOnlyMemoryStream src(package.data(), package.size());
    TSetupPackageReader r(src);
    EXPECT_EQ(r.FileTable().Count(), original.size());
    for (const auto& [name, content] : original) {
      auto s = r.Extract(name);
      EXPECT_TRUE(s && std::string(reinterpret_cast<const char*>(s->Memory()), size_t(s->Size())) == content)
          << "wrong data served for " << name;
    }
    return TOutcome::Loaded;
  } catch (const ESetupPackageReadError& e) {
    EXPECT_STREQ(e.what(), "Package was corrupted");
    return TOutcome::Corrupted;
  } catch (const KVL::SysUtils::EKVLInvalidOperation& e) {
    if (detail) *detail = e.what();
    EXPECT_EQ(std::string(e.what()).rfind("LZMA Error (", 0), 0u) << e.what();
    return TOutcome::LzmaError;
  } catch (const KVL::SysUtils::EKVLReadError&) {
    return TOutcome::ReadError;
  } catch (const std::exception& e) {
    ADD_FAILURE() << "unexpected error: " << e.what();
    return TOutcome::Other;
  }
}

const TFiles& SmallFiles() {
  static const TFiles files = {{"Install.xml", MakeData(3000, 7, true)},
                               {"logo.png", MakeData(400, 8, false)},
                               {"empty", ""}};
  return files;
}

} // namespace

TEST(PackageDamage, EveryByteChangeIsCaughtOrServesTheOriginal) {
  const std::string good = BuildPackage(SmallFiles(), 4);
  ASSERT_EQ(TryRead(good, SmallFiles()), TOutcome::Loaded);
  int lzmaErrors = 0;
  for (size_t pos = 4; pos < good.size(); ++pos) {
    for (unsigned mask : {0x01u, 0x80u, 0xFFu}) {
      std::string bad = good;
      bad[pos] = static_cast<char>(bad[pos] ^ mask);
      std::string detail;
      TOutcome o = TryRead(bad, SmallFiles(), &detail);
      // Only a change to the properties (the first five bytes under the cipher) may
      // surface as an LZMA error. Two places hold bytes that need not change the
      // output: the dictionary size (an upper bound the decoder caps anyway) and the
      // range coder's closing bytes (any value inside the final interval decodes the
      // same). A change there may load, and then TryRead has checked every byte served.
      const bool dictBytes = pos >= 13 && pos < 17;
      const bool closingBytes = pos + 4 >= good.size();
      if (o == TOutcome::LzmaError) {
        ++lzmaErrors;
        EXPECT_LT(pos, 17u) << detail;
      } else if (o == TOutcome::Loaded) {
        EXPECT_TRUE(dictBytes || closingBytes) << "byte " << pos << " mask " << mask;
      } else {
        EXPECT_EQ(o, TOutcome::Corrupted) << "byte " << pos << " mask " << mask;
      }
    }
  }
  EXPECT_GT(lzmaErrors, 0);  // a high bit in the properties byte makes it invalid
}

TEST(PackageDamage, EveryTruncationIsCaught) {
  const std::string good = BuildPackage(SmallFiles(), 4);
  for (size_t len = 0; len < good.size(); ++len) {
    TOutcome o = TryRead(good.substr(0, len), SmallFiles());
    // Shorter than the header: the stream layer's read error; otherwise corrupted.
    EXPECT_EQ(o, len < 12 ? TOutcome::ReadError : TOutcome::Corrupted) << len;
  }
}

TEST(PackageDamage, HeaderChecks) {
  const std::string good = BuildPackage(SmallFiles(), 4);
  auto withField = [&](size_t at, uint32_t value) {
    std::string p = good;
    p.replace(at, 4, LE32(value));
    return p;
  };
  const uint32_t size = static_cast<uint8_t>(good[8]) | (static_cast<uint8_t>(good[9]) << 8) |
                        (static_cast<uint8_t>(good[10]) << 16) | (uint32_t(static_cast<uint8_t>(good[11])) << 24);
  std::string badMagic = good;
  badMagic[3] = '4';
  struct {
    const char* what;
    std::string package;
  } cases[] = {
      {"magic", badMagic},
      {"size one larger than the content", withField(8, size + 1)},
      {"size far larger than the content", withField(8, 0xFFFFFFFFu)},
      {"size smaller than the content", withField(8, size - 1)},
      {"size zero", withField(8, 0)},
      {"checksum", withField(4, 0x12345678)},
  };
  for (const auto& c : cases) EXPECT_EQ(TryRead(c.package, SmallFiles()), TOutcome::Corrupted) << c.what;
}

TEST(PackageDamage, PropertiesUnderTheCipher) {
  const TFiles files = {{"a", "small enough for the smallest dictionary"}};
  const std::string plain = Recipher(BuildPackage(files, 4));
  auto patched = [&](size_t at, const std::string& bytes) {
    std::string p = plain;
    p.replace(at, bytes.size(), bytes);
    return Recipher(p);
  };
  std::string detail;
  EXPECT_EQ(TryRead(patched(12, "\xE1"), files, &detail), TOutcome::LzmaError);  // 225 > 224
  EXPECT_EQ(detail, "LZMA Error (4)");
  // A tiny or zero dictionary size is raised to 4096 bytes, which this content fits.
  EXPECT_EQ(TryRead(patched(13, std::string(4, '\0')), files), TOutcome::Loaded);
  EXPECT_EQ(TryRead(patched(13, LE32(1)), files), TOutcome::Loaded);
}

TEST(PackageDamage, WrongKeyNeverLoads) {
  const std::string other = BuildPackage(SmallFiles(), 4, 0x12345678);
  TOutcome o = TryRead(other, SmallFiles());
  EXPECT_TRUE(o == TOutcome::Corrupted || o == TOutcome::LzmaError);
}

TEST(PackageDamage, CraftedTablesAreRejectedAtLoad) {
  // Plain streams with a valid checksum but a table that does not fit them.
  const std::string body = "0123456789";  // 10 bytes of file bodies
  auto entry = [](const std::string& name, int64_t offset, int64_t size) {
    return Utf16Name(name) + LE64(offset) + LE64(size);
  };
  auto withTable = [&](const std::string& table) { return body + table + LE32(uint32_t(table.size())); };
  struct {
    const char* what;
    std::string plain;
  } corrupted[] = {
      {"empty plain stream", ""},
      {"shorter than count and length", std::string("\0\0\0", 3)},
      {"table length below 4", body + LE32(0) + LE32(2)},
      {"table length beyond the stream", withTable(LE32(0)).substr(0, 10) + LE32(0) + LE32(1000)},
      {"entry past the table's end", withTable(LE32(1) + entry("a", 0, 4).substr(0, 10))},
      {"count far beyond the table", withTable(LE32(0x7FFFFFFF) + entry("a", 0, 4))},
      {"negative offset", withTable(LE32(1) + entry("a", -1, 4))},
      {"negative size", withTable(LE32(1) + entry("a", 0, -4))},
      {"file reaching into the table", withTable(LE32(1) + entry("a", 6, 5))},
      {"offset beyond the bodies", withTable(LE32(1) + entry("a", 11, 0))},
      {"offset plus size overflowing", withTable(LE32(1) + entry("a", 4, INT64_MAX))},
  };
  for (const auto& c : corrupted)
    EXPECT_EQ(TryRead(WrapPlain(c.plain), {}), TOutcome::Corrupted) << c.what;

  // The same framing with sound entries loads; a count of 0 or less is an empty table.
  const TFiles edge = {{"last", "6789"}, {"end", ""}};
  EXPECT_EQ(TryRead(WrapPlain(withTable(LE32(2) + entry("last", 6, 4) + entry("end", 10, 0))), edge),
            TOutcome::Loaded);
  EXPECT_EQ(TryRead(WrapPlain(withTable(LE32(uint32_t(-5)))), {}), TOutcome::Loaded);
}
