// RC4: published vectors and one keystream across buffers.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "KVL/Base/Crypto.h"
#include "KVL/Base/SysUtils.h"

using KVL::Crypto::TRC4;

namespace {
std::string Hex(const std::string& bytes) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string s;
  for (unsigned char c : bytes) {
    s += kHex[c >> 4];
    s += kHex[c & 15];
  }
  return s;
}
} // namespace

TEST(RC4, PublishedVectors) {
  struct {
    std::string key, plain, cipherHex;
  } cases[] = {
      {"Key", "Plaintext", "BBF316E8D940AF0AD3"},
      {"Wiki", "pedia", "1021BF0420"},
      {"Secret", "Attack at dawn", "45A01F645FC35B383552544B9BF5"},
  };
  for (const auto& c : cases) {
    std::string buf = c.plain;
    TRC4 rc4(c.key.data(), c.key.size());
    rc4.Crypt(buf.data(), buf.size());
    EXPECT_EQ(Hex(buf), c.cipherHex) << c.key;
    TRC4 back(c.key.data(), c.key.size());
    back.Crypt(buf.data(), buf.size());
    EXPECT_EQ(buf, c.plain);
  }
}

TEST(RC4, KeystreamContinuesAcrossCalls) {
  const uint8_t key[4] = {1, 2, 3, 4};
  std::vector<uint8_t> whole(1000, 0), pieces(1000, 0);
  TRC4 a(key, 4);
  a.Crypt(whole.data(), whole.size());
  TRC4 b(key, 4);
  size_t pos = 0;
  for (size_t len : {0, 1, 7, 255, 256, 481}) {
    b.Crypt(pieces.data() + pos, len);
    pos += len;
  }
  ASSERT_EQ(pos, pieces.size());
  EXPECT_EQ(whole, pieces);
  // Init restarts the keystream.
  std::vector<uint8_t> again(1000, 0);
  b.Init(key, 4);
  b.Crypt(again.data(), again.size());
  EXPECT_EQ(again, whole);
}

TEST(RC4, RejectsEmptyKey) {
  EXPECT_THROW(TRC4(nullptr, 0), KVL::SysUtils::EKVLInvalidOperation);
}
