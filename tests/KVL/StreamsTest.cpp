// Streams: exact reads, little-endian integers, length-prefixed strings, files.
#include <gtest/gtest.h>

#include "KVL/Base/Streams.h"
#include "KVL/Base/SysUtils.h"
#include "TestUtil.h"

using namespace KVL::Streams;
using KVL::SysUtils::EKVLReadError;

TEST(Streams, IntegersAndStringsRoundTripLittleEndian) {
  TKVLMemoryStream m;
  m.WriteUInt32(0x11223344);
  m.WriteInt64(-2);
  m.WriteString("Ünïcode \xF0\x9F\x8E\xB5");  // includes a surrogate pair
  m.WriteString("");
  ASSERT_EQ(m.Memory()[0], 0x44);
  m.SetPosition(0);
  EXPECT_EQ(m.ReadUInt32(), 0x11223344u);
  EXPECT_EQ(m.ReadInt64(), -2);
  EXPECT_EQ(m.ReadString(), "Ünïcode \xF0\x9F\x8E\xB5");
  EXPECT_EQ(m.ReadString(), "");
  EXPECT_THROW(m.ReadUInt8(), EKVLReadError);
}

TEST(Streams, StringPrefixCountsUtf16Units) {
  TKVLMemoryStream m;
  m.WriteString("a\xF0\x9F\x8E\xB5");  // 'a' + one astral character = 3 code units
  EXPECT_EQ(m.Size(), 2 + 3 * 2);
  EXPECT_EQ(m.Memory()[0], 3);
}

TEST(Streams, ShortReadRaisesStreamReadError) {
  TKVLMemoryStream m;
  m.WriteUInt16(7);
  m.SetPosition(0);
  try {
    m.ReadUInt32();
    FAIL();
  } catch (const EKVLReadError& e) {
    EXPECT_STREQ(e.what(), "Stream read error");
  }
}

TEST(Streams, FileStreamWritesAndReadsBack) {
  TestUtil::TTempDir dir;
  std::string name = dir.File("data.bin");
  {
    TKVLFileStream f(name, KVL::Platform::TFileOpenMode::fomCreate);
    TKVLMemoryStream src;
    std::string payload(3 * 1024 * 1024 + 17, 'x');  // more than one copy chunk
    src.WriteBuffer(payload.data(), payload.size());
    src.SetPosition(0);
    EXPECT_EQ(f.CopyFrom(src), static_cast<int64_t>(payload.size()));
  }
  TKVLFileStream f(name, KVL::Platform::TFileOpenMode::fomRead);
  EXPECT_EQ(f.Size(), 3 * 1024 * 1024 + 17);
  EXPECT_THROW(TKVLFileStream(dir.File("missing.bin"), KVL::Platform::TFileOpenMode::fomRead),
               KVL::SysUtils::EKVLFileOpenError);
}
