// Packages: round trips, lookup rules, the builder's framing and its limits.
#include <gtest/gtest.h>

#include <string>

#include "KVL/Base/Platform/File.h"
#include "KVL/Base/Streams.h"
#include "KVL/Base/SysUtils.h"
#include "TestUtil.h"
#include "setup/PackageTestUtil.h"
#include "setup/core/package/Lzma.h"
#include "setup/core/package/Package.h"

using namespace Setup::Core::Package;
using namespace PackageTestUtil;
using KVL::Streams::TKVLMemoryStream;
using KVL::Streams::TKVLReadOnlyMemoryStream;
using KVL::SysUtils::EKVLInvalidOperation;

namespace {

std::string Content(TKVLMemoryStream& m) {
  return std::string(reinterpret_cast<const char*>(m.Memory()), static_cast<size_t>(m.Size()));
}

std::string ExtractText(TCustomSetupPackage& p, const std::string& name) {
  auto s = p.Extract(name);
  if (!s) return "<missing>";
  EXPECT_EQ(s->Position(), 0);
  return Content(*s);
}

std::string ErrorOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const std::exception& e) {
    return e.what();
  }
  return "";
}

} // namespace

class PackageRoundTrip : public testing::TestWithParam<int> {};

TEST_P(PackageRoundTrip, EveryFileComesBackByteForByte) {
  const TFiles files = {
      {"Install.xml", MakeData(20000, 1, true)},
      {"bin\\ONDU.exe", MakeData(300000, 2, false)},
      {"empty.dat", ""},
      {"Lang\\\xC3\x9C" "bersetzung.lng", MakeData(5000, 3, true)},  // non-ASCII name
  };
  const std::string package = BuildPackage(files, GetParam());
  TKVLReadOnlyMemoryStream src(package.data(), package.size());
  TSetupPackageReader reader(src);

  ASSERT_EQ(reader.FileTable().Count(), files.size());
  int64_t offset = 0;
  for (size_t n = 0; n < files.size(); ++n) {
    const TSetupPackageFileTableItem& item = reader.FileTable().Item(n);
    EXPECT_EQ(item.Name, files[n].first);
    EXPECT_EQ(item.Offset, offset);  // bodies back to back from plain offset 0
    EXPECT_EQ(item.Size, static_cast<int64_t>(files[n].second.size()));
    offset += item.Size;
    EXPECT_TRUE(reader.Exists(files[n].first));
    EXPECT_EQ(ExtractText(reader, files[n].first), files[n].second) << files[n].first;
  }
  EXPECT_FALSE(reader.Exists("missing"));
  EXPECT_EQ(reader.Extract("missing"), nullptr);
}

INSTANTIATE_TEST_SUITE_P(Levels, PackageRoundTrip, testing::Values(0, 4, 9));

TEST(Package, FileFormsOfCommitAndReader) {
  TestUtil::TTempDir dir;
  const std::string path = dir.File("Uninstall.dat");
  {
    TSetupPackageBuilder b(kSetupPackageKey);
    TKVLReadOnlyMemoryStream s("[Files]\r\n", 9);
    b.Add(s, "Uninstall.ini");
    b.Commit(path, 4);
  }
  TSetupPackageReader r(path);
  EXPECT_EQ(ExtractText(r, "Uninstall.ini"), "[Files]\r\n");
  EXPECT_THROW(TSetupPackageReader(dir.File("absent.dat")), KVL::SysUtils::EKVLFileOpenError);
}

TEST(Package, EmptyBuilderWritesEightBytePlainStream) {
  const std::string package = BuildPackage({}, 4);
  ASSERT_EQ(package.substr(0, 4), "IPK5");
  EXPECT_EQ(package.substr(8, 4), LE32(8));  // count 0, then table length 4
  TKVLReadOnlyMemoryStream src(package.data(), package.size());
  TSetupPackageReader r(src);
  EXPECT_EQ(r.FileTable().Count(), 0u);
}

TEST(Package, LookupIgnoresCaseButNotLengthAndFirstDuplicateWins) {
  const std::string package =
      BuildPackage({{"Install.xml", "first"}, {"INSTALL.XML", "second"}, {"z", ""}}, 4);
  TKVLReadOnlyMemoryStream src(package.data(), package.size());
  TSetupPackageReader r(src);
  ASSERT_EQ(r.FileTable().Count(), 3u);  // both duplicates are stored
  EXPECT_TRUE(r.Exists("install.xml"));
  EXPECT_EQ(ExtractText(r, "install.xml"), "first");
  EXPECT_EQ(ExtractText(r, "INSTALL.XML"), "first");
  EXPECT_FALSE(r.Exists("Install.xm"));
  EXPECT_FALSE(r.Exists("Install.xml "));
  // A 0-byte file is an entry of size 0 and extracts to an empty stream.
  auto z = r.Extract("Z");
  ASSERT_NE(z, nullptr);
  EXPECT_EQ(z->Size(), 0);
}

TEST(Package, PropertiesUnderTheCipherFollowTheLevel) {
  struct {
    int level;
    std::string props;  // properties byte, dictionary size LE
  } cases[] = {
      {0, std::string("\x5D\x00\x40\x00\x00", 5)},
      {4, std::string("\x5D\x00\x00\x40\x00", 5)},
      {9, std::string("\x5D\x00\x00\x00\x04", 5)},
  };
  for (const auto& c : cases) {
    const std::string plain = Recipher(BuildPackage({{"a", "abcabcabc"}}, c.level));
    EXPECT_EQ(plain.substr(12, 5), c.props) << c.level;
  }
}

TEST(Package, LevelSettings) {
  struct {
    int level;
    uint32_t dict;
    bool fast;
    uint32_t nice, depth;
  } cases[] = {
      {0, 1u << 14, true, 32, 16},  {1, 1u << 16, true, 32, 16},  {4, 1u << 22, true, 32, 16},
      {5, 1u << 24, false, 32, 32}, {6, 32u << 20, false, 32, 32}, {7, 64u << 20, false, 64, 48},
      {9, 64u << 20, false, 64, 48},
  };
  for (const auto& c : cases) {
    TLzmaEncoderSettings s = LzmaSettingsForLevel(c.level);
    EXPECT_EQ(s.DictSize, c.dict) << c.level;
    EXPECT_EQ(s.FastMode, c.fast) << c.level;
    EXPECT_EQ(s.NiceLen, c.nice) << c.level;
    EXPECT_EQ(s.Depth, c.depth) << c.level;
    EXPECT_EQ(s.PropertiesByte(), 0x5D);
  }
}

TEST(Package, BuilderRefusals) {
  TSetupPackageBuilder b(kSetupPackageKey);
  TKVLMemoryStream target;
  // A bad level fails before anything reaches the target.
  EXPECT_EQ(ErrorOf([&] { b.Commit(target, 10); }), "LZMA Error (5)");
  EXPECT_EQ(ErrorOf([&] { b.Commit(target, -1); }), "LZMA Error (5)");
  EXPECT_EQ(target.Size(), 0);
  b.Commit(target, 0);
  TKVLReadOnlyMemoryStream s("x", 1);
  EXPECT_THROW(b.Add(s, "late"), EKVLInvalidOperation);
  EXPECT_THROW(b.Commit(target, 0), EKVLInvalidOperation);
}

TEST(Package, FailedFileCommitLeavesNoFile) {
  TestUtil::TTempDir dir;
  const std::string path = dir.File("broken.ipk");
  TSetupPackageBuilder b(kSetupPackageKey);
  EXPECT_THROW(b.Commit(path, 12), EKVLInvalidOperation);
  EXPECT_FALSE(KVL::Platform::FileExists(path));
}

TEST(Package, PlainSizeFieldStopsAtFourGiB) {
  EXPECT_EQ(TSetupPackageBuilder::PlainSizeField(8), 8u);
  EXPECT_EQ(TSetupPackageBuilder::PlainSizeField(0xFFFFFFFFull), 0xFFFFFFFFu);
  EXPECT_EQ(ErrorOf([] { TSetupPackageBuilder::PlainSizeField(0x100000000ull); }),
            "Package too large: the plain stream must be smaller than 4 GiB");
}

TEST(Package, AddTakesTheStreamFromItsPosition) {
  // An entry records what was copied, so a stream handed over mid-way cannot shift later files.
  TSetupPackageBuilder b(kSetupPackageKey);
  TKVLReadOnlyMemoryStream first("skipMe", 6);
  first.SetPosition(4);
  b.Add(first, "first");
  TKVLReadOnlyMemoryStream second("second", 6);
  b.Add(second, "second");
  EXPECT_EQ(ExtractText(b, "first"), "Me");
  TKVLMemoryStream out;
  b.Commit(out, 4);
  out.SetPosition(0);
  TSetupPackageReader r(out);
  EXPECT_EQ(ExtractText(r, "first"), "Me");
  EXPECT_EQ(ExtractText(r, "second"), "second");
}

namespace {
// Takes only the first `room` bytes; after that every write falls short.
class TShortStream : public TKVLMemoryStream {
public:
  explicit TShortStream(size_t room) : room_(room) {}
  size_t Write(const void* buffer, size_t count) override {
    size_t n = std::min(count, room_);
    room_ -= n;
    return n == 0 ? 0 : TKVLMemoryStream::Write(buffer, n);
  }

private:
  size_t room_;
};
} // namespace

TEST(Package, TargetThatFallsShortGivesLzmaError9) {
  // 12: the header fits but not the properties; 14: the properties only in part;
  // 20: properties fit, data does not.
  for (size_t room : {12u, 14u, 20u}) {
    TSetupPackageBuilder b(kSetupPackageKey);
    std::string data = MakeData(10000, 5, false);
    TKVLReadOnlyMemoryStream s(data.data(), data.size());
    b.Add(s, "data");
    TShortStream target(room);
    EXPECT_EQ(ErrorOf([&] { b.Commit(target, 4); }), "LZMA Error (9)") << room;
  }
}
