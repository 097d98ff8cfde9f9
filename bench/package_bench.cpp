// Package layer timings on a 64 MiB mixed payload: reading against liblzma alone,
// CRC-32, RC4, and the peak memory of reading (measured in a child process).
#include <lzma.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "KVL/Base/Crypto.h"
#include "KVL/Base/Hashes.h"
#include "KVL/Base/Platform/File.h"
#include "KVL/Base/Streams.h"
#include "BenchPlatform.h"
#include "setup/core/package/Package.h"

using namespace Setup::Core::Package;
using KVL::Streams::TKVLMemoryStream;
using KVL::Streams::TKVLReadOnlyMemoryStream;

namespace {

constexpr size_t kMiB = 1024 * 1024;
constexpr size_t kPayload = 64 * kMiB;

uint32_t g_seed = 0x9E3779B9;
uint32_t Next() {
  g_seed ^= g_seed << 13;
  g_seed ^= g_seed >> 17;
  g_seed ^= g_seed << 5;
  return g_seed;
}

// Log-like text: words, numbers, punctuation; compresses about 4:1.
std::string TextFile(size_t size) {
  static const char* const kWords[] = {"the",    "player", "playlist", "skin",  "codec",   "volume", "track",
                                       "album",  "artist", "update",   "folder", "setting", "error",  "file",
                                       "stream", "buffer", "device",   "output", "plugin", "window"};
  std::string s;
  s.reserve(size + 32);
  while (s.size() < size) {
    uint32_t r = Next();
    s += kWords[r % 20];
    s += (r >> 8) % 11 == 0 ? ".\r\n" : " ";
    if ((r >> 12) % 7 == 0) s += std::to_string((r >> 16) % 10000) + " ";
  }
  s.resize(size);
  return s;
}

// Executable-like binary: little-endian words with small deltas, opcodes, zero runs.
std::string BinaryFile(size_t size) {
  std::string s;
  s.reserve(size + 16);
  uint32_t base = Next();
  while (s.size() < size) {
    uint32_t r = Next();
    switch (r % 4) {
      case 0: base += (r >> 8) % 64; s.append(reinterpret_cast<const char*>(&base), 4); break;
      case 1: s += static_cast<char>(0xE8); s += static_cast<char>(r >> 8); s += static_cast<char>(r >> 16); break;
      case 2: s.append((r >> 8) % 16, '\0'); break;
      default: s += static_cast<char>(r >> 24); break;
    }
  }
  s.resize(size);
  return s;
}

// Already compressed: noise.
std::string NoiseFile(size_t size) {
  std::string s(size, '\0');
  for (size_t i = 0; i + 4 <= size; i += 4) {
    uint32_t r = Next();
    std::memcpy(&s[i], &r, 4);
  }
  return s;
}

double Seconds(const std::function<void()>& f, int repeat) {
  double best = 1e30;
  for (int i = 0; i < repeat; ++i) {
    const double t0 = ProcessCpuSeconds();
    f();
    best = std::min(best, ProcessCpuSeconds() - t0);
  }
  return best;
}

int ReadPeakChild(const char* file) {
  const uint64_t before = PeakResidentBytes();
  TSetupPackageReader reader{std::string(file)};
  std::printf("%llu %llu\n", static_cast<unsigned long long>(before),
              static_cast<unsigned long long>(PeakResidentBytes()));
  return 0;
}

} // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "--read-peak") == 0) return ReadPeakChild(argv[2]);

  // 64 MiB in 1 MiB files: 3/8 text, 3/8 binary, 2/8 noise, interleaved.
  TSetupPackageBuilder builder(kSetupPackageKey);
  std::string plainBodies;
  for (size_t n = 0; n < kPayload / kMiB; ++n) {
    std::string f = n % 8 < 3 ? TextFile(kMiB) : n % 8 < 6 ? BinaryFile(kMiB) : NoiseFile(kMiB);
    TKVLReadOnlyMemoryStream s(f.data(), f.size());
    builder.Add(s, "file" + std::to_string(n));
    plainBodies += f;
  }
  TKVLMemoryStream packed;
  const double tCommit = Seconds([&] { builder.Commit(packed, 4); }, 1);
  const std::string package(reinterpret_cast<const char*>(packed.Memory()), static_cast<size_t>(packed.Size()));
  const uint32_t plainSize = static_cast<uint8_t>(package[8]) | (static_cast<uint8_t>(package[9]) << 8) |
                             (static_cast<uint8_t>(package[10]) << 16) |
                             (uint32_t(static_cast<uint8_t>(package[11])) << 24);

  // Reading the package (decipher, decode, checksum, table) against liblzma alone on
  // the same data: deciphered beforehand, whole buffers, no checks, but like the
  // reader it allocates its output each time. The two alternate so that both see the
  // same share of a busy machine.
  std::string body = package.substr(12);
  {
    const auto k = static_cast<uint32_t>(kSetupPackageKey);
    const uint8_t key[4] = {uint8_t(k), uint8_t(k >> 8), uint8_t(k >> 16), uint8_t(k >> 24)};
    KVL::Crypto::TRC4 rc4(key, 4);
    rc4.Crypt(body.data(), body.size());
  }
  std::vector<uint8_t> out(plainSize);
  auto readPackage = [&] {
    TKVLReadOnlyMemoryStream src(package.data(), package.size());
    TSetupPackageReader reader(src);
    if (reader.FileTable().Count() != kPayload / kMiB) std::abort();
  };
  auto rawDecode = [&] {
    auto buffer = std::make_unique_for_overwrite<uint8_t[]>(plainSize);
    lzma_options_lzma opt{};
    opt.lc = 3;
    opt.lp = 0;
    opt.pb = 2;
    opt.dict_size = 4u << 20;
    opt.ext_size_low = plainSize;
    lzma_filter filters[2] = {{LZMA_FILTER_LZMA1EXT, &opt}, {LZMA_VLI_UNKNOWN, nullptr}};
    lzma_stream z = LZMA_STREAM_INIT;
    if (lzma_raw_decoder(&z, filters) != LZMA_OK) std::abort();
    z.next_in = reinterpret_cast<const uint8_t*>(body.data()) + 5;
    z.avail_in = body.size() - 5;
    z.next_out = buffer.get();
    z.avail_out = plainSize;
    lzma_ret r = lzma_code(&z, LZMA_FINISH);
    lzma_end(&z);
    if (r != LZMA_STREAM_END || z.avail_out != 0) std::abort();
    return buffer;
  };
  double tRead = 1e30, tRaw = 1e30;
  for (int rep = 0; rep < 5; ++rep) {
    tRead = std::min(tRead, Seconds(readPackage, 1));
    tRaw = std::min(tRaw, Seconds([&] { rawDecode(); }, 1));  // freeing counts, as for the reader
  }
  std::memcpy(out.data(), rawDecode().get(), plainSize);
  if (std::memcmp(out.data(), plainBodies.data(), plainBodies.size()) != 0) std::abort();

  uint32_t sink = 0;
  const double tCrc = Seconds([&] { sink ^= KVL::Hashes::TKVLHashCRC32::Calculate(out.data(), out.size()); }, 5);
  const double tRc4 = Seconds(
      [&] {
        const uint8_t key[4] = {1, 2, 3, 4};
        KVL::Crypto::TRC4 rc4(key, 4);
        rc4.Crypt(out.data(), out.size());
      },
      3);

  // Peak memory of reading from a file, in a fresh process.
  const std::string file = KVL::Platform::TempDirectory() + "ondu_bench_package.ipk";
  const std::string report = KVL::Platform::TempDirectory() + "ondu_bench_peak.txt";
  {
    KVL::Streams::TKVLFileStream f(file, KVL::Platform::TFileOpenMode::fomCreate);
    f.WriteBuffer(package.data(), package.size());
  }
  std::string cmd = "\"";
  cmd.append(argv[0]).append("\" --read-peak \"").append(file).append("\" > \"").append(report).append("\"");
  unsigned long long before = 0, peak = 0;
  if (std::system(cmd.c_str()) == 0) {
    if (FILE* f = std::fopen(report.c_str(), "r")) {
      if (std::fscanf(f, "%llu %llu", &before, &peak) != 2) peak = 0;
      std::fclose(f);
    }
  }
  KVL::Platform::RemoveFile(file);
  KVL::Platform::RemoveFile(report);

  const double mib = 1.0 * kMiB;
  const double plainMiB = plainSize / mib, packedMiB = package.size() / mib;
  const double goalMem = plainSize + package.size() + 16.0 * kMiB;
  std::printf("payload: %.1f MiB plain (3/8 text, 3/8 binary, 2/8 noise), %.1f MiB packed at level 4\n", plainMiB,
              packedMiB);
  std::printf("%-34s %12s %12s %s\n", "measure (best CPU time of 3-5)", "value", "goal", "");
  std::printf("%-34s %9.1f MB/s %12s\n", "commit (level 4)", plainSize / tCommit / 1e6, "-");
  std::printf("%-34s %9.1f MB/s %12s\n", "package read (plain bytes/s)", plainSize / tRead / 1e6, "");
  std::printf("%-34s %9.1f MB/s %12s\n", "liblzma raw decode alone", plainSize / tRaw / 1e6, "");
  std::printf("%-34s %11.3fx %12s %s\n", "read / raw decode", tRaw / tRead, ">= 0.9x",
              tRaw / tRead >= 0.9 ? "ok" : "MISSED");
  std::printf("%-34s %9.2f GB/s %12s %s\n", "CRC-32", plainSize / tCrc / 1e9, ">= 1 GB/s",
              plainSize / tCrc / 1e9 >= 1 ? "ok" : "MISSED");
  std::printf("%-34s %9.1f MB/s %12s %s\n", "RC4", plainSize / tRc4 / 1e6, ">= 300 MB/s",
              plainSize / tRc4 / 1e6 >= 300 ? "ok" : "MISSED");
  if (peak > 0) {
    std::printf("%-34s %9.1f MiB %9.1f MiB %s (process before reading: %.1f MiB)\n", "peak memory of reading",
                peak / mib, goalMem / mib, peak <= goalMem ? "ok" : "MISSED", before / mib);
  } else {
    std::printf("%-34s %12s\n", "peak memory of reading", "not measured");
  }
  return sink == 0xFFFFFFFF ? 1 : 0;  // keeps the CRC loop from being optimised away
}
