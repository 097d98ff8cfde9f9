// MD5 from the platform: the RFC 1321 test suite, incremental input, reuse after Final.
#include <gtest/gtest.h>

#include <string>

#include "KVL/Base/Platform/MD5.h"

using KVL::Platform::TMD5;

TEST(MD5, Rfc1321Vectors) {
  struct {
    std::string input, hex;
  } cases[] = {
      {"", "d41d8cd98f00b204e9800998ecf8427e"},
      {"a", "0cc175b9c0f1b6a831c399e269772661"},
      {"abc", "900150983cd24fb0d6963f7d28e17f72"},
      {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
      {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
      {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789", "d174ab98d277d9f5a5611c2c9f419d9f"},
      {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
       "57edf4a22be3c955ac49da2e2107b67a"},
  };
  TMD5 md5;  // one object for all: Final must start afresh
  for (const auto& c : cases) {
    md5.Update(c.input.data(), c.input.size());
    EXPECT_EQ(TMD5::ToHex(md5.Final()), c.hex) << c.input;
  }
}

TEST(MD5, PiecesGiveTheSameDigestAsOneBuffer) {
  const std::string s = "12345678901234567890123456789012345678901234567890123456789012345678901234567890";
  TMD5 md5;
  for (size_t pos = 0; pos < s.size(); pos += 7) md5.Update(s.data() + pos, std::min<size_t>(7, s.size() - pos));
  EXPECT_EQ(TMD5::ToHex(md5.Final()), "57edf4a22be3c955ac49da2e2107b67a");
}
