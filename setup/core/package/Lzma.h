// LZMA1 coding of package bodies: 5 properties bytes plus raw data, with the cipher
// applied between codec and stream.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

#include "KVL/Base/Crypto.h"
#include "KVL/Base/Streams.h"

namespace Setup::Core::Package {

// Result numbering of the LZMA SDK, used in the "LZMA Error (%d)" message.
enum TLzmaResult : int {
  SZ_OK = 0,
  SZ_ERROR_DATA = 1,
  SZ_ERROR_MEM = 2,
  SZ_ERROR_CRC = 3,
  SZ_ERROR_UNSUPPORTED = 4,
  SZ_ERROR_PARAM = 5,
  SZ_ERROR_INPUT_EOF = 6,
  SZ_ERROR_OUTPUT_EOF = 7,
  SZ_ERROR_READ = 8,
  SZ_ERROR_WRITE = 9,
  SZ_ERROR_PROGRESS = 10,
  SZ_ERROR_FAIL = 11,
};

// Raises EKVLInvalidOperation "LZMA Error (code)".
[[noreturn]] void RaiseLzmaError(int code);

// Encoder settings that a compression level (0-9) stands for.
struct TLzmaEncoderSettings {
  uint32_t DictSize = 0;
  int Lc = 3, Lp = 0, Pb = 2;
  bool FastMode = false;  // fast mode with a hash-chain match finder, else normal with binary tree
  uint32_t NiceLen = 32;  // "fast bytes"
  uint32_t Depth = 0;     // match-finder cycles
  // The properties byte: (pb * 5 + lp) * 9 + lc.
  uint8_t PropertiesByte() const { return static_cast<uint8_t>((Pb * 5 + Lp) * 9 + Lc); }
};

// Levels outside 0-9 raise "LZMA Error (5)".
TLzmaEncoderSettings LzmaSettingsForLevel(int level);

// Input is read, and the encoder's output written, in blocks of this size.
inline constexpr size_t kLzmaBlockSize = 64 * 1024;
// The decoder hands its output on in blocks of this size.
inline constexpr size_t kLzmaOutputBlockSize = 1024 * 1024;

// Compresses everything from source's position to its end into target: the 5
// properties bytes, then raw LZMA data without end marker. Each buffer is enciphered
// with cipher just before it is written. A target that takes fewer bytes than handed
// raises "LZMA Error (9)"; any other encoder failure "LZMA Error (n)".
void LzmaEncode(KVL::Streams::TKVLStream& source, KVL::Streams::TKVLStream& target, int level,
                KVL::Crypto::TRC4& cipher);

// Receives decoded data, one buffer at a time.
using TLzmaSink = std::function<void(const uint8_t* data, size_t size)>;

// Decodes from source (each block deciphered with cipher first) until outSize bytes
// have been handed to sink or the input yields no more. maxDictSize caps the
// dictionary allocation (never below 4096); no valid stream needs more than the data
// it produces. Returns SZ_OK, or SZ_ERROR_DATA for damaged or truncated input (the
// caller's size and checksum checks report those). Other failures raise
// "LZMA Error (n)", such as 4 for a properties byte above 224.
int LzmaDecode(KVL::Streams::TKVLStream& source, uint64_t outSize, uint64_t maxDictSize, KVL::Crypto::TRC4& cipher,
               const TLzmaSink& sink);

} // namespace Setup::Core::Package
