// Helpers of the package tests: building packages in memory and reaching under the cipher.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace PackageTestUtil {

using TFiles = std::vector<std::pair<std::string, std::string>>;  // name, content

// A package of these files, committed at the level with the installer's key.
std::string BuildPackage(const TFiles& files, int level, int32_t key = 0);

// Deterministic filler: text-like when compressible, else noise.
std::string MakeData(size_t size, uint32_t seed, bool compressible);

// RC4 over everything after the 12-byte header with the installer's key: turns the
// stored body into LZMA properties + data and back.
std::string Recipher(std::string package);

// A package around an arbitrary plain stream (correct header size and CRC), so that
// tests can hand the reader crafted tables that pass the checksum.
std::string WrapPlain(const std::string& plain, int level = 0);

// Little-endian plain-stream pieces.
std::string LE32(uint32_t v);
std::string LE64(int64_t v);
std::string Utf16Name(const std::string& ascii);

} // namespace PackageTestUtil
