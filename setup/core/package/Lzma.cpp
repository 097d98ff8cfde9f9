// LZMA1 coding of package bodies on liblzma's raw coder.
#include "setup/core/package/Lzma.h"

#include <lzma.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "KVL/Base/SysUtils.h"

namespace Setup::Core::Package {

namespace {

constexpr uint32_t kMinDictSize = 4096;
constexpr uint8_t kMaxPropertiesByte = (4 * 5 + 4) * 9 + 8;  // 224

// Frees the coder whichever way the function leaves.
struct TLzmaStream {
  lzma_stream strm = LZMA_STREAM_INIT;
  ~TLzmaStream() { lzma_end(&strm); }
};

int EncoderCode(lzma_ret r) {
  switch (r) {
    case LZMA_MEM_ERROR: return SZ_ERROR_MEM;
    case LZMA_OPTIONS_ERROR:
    case LZMA_PROG_ERROR: return SZ_ERROR_PARAM;
    default: return SZ_ERROR_FAIL;
  }
}

int DecoderCode(lzma_ret r) {
  switch (r) {
    case LZMA_MEM_ERROR:
    case LZMA_MEMLIMIT_ERROR: return SZ_ERROR_MEM;
    case LZMA_OPTIONS_ERROR:
    case LZMA_FORMAT_ERROR: return SZ_ERROR_UNSUPPORTED;
    case LZMA_DATA_ERROR:
    case LZMA_BUF_ERROR: return SZ_ERROR_DATA;  // damaged, or input ended too soon
    case LZMA_PROG_ERROR: return SZ_ERROR_PARAM;
    default: return SZ_ERROR_FAIL;
  }
}

void WriteEnciphered(KVL::Streams::TKVLStream& target, KVL::Crypto::TRC4& cipher, uint8_t* data, size_t size) {
  cipher.Crypt(data, size);
  size_t done = 0;
  while (done < size) {
    size_t n = target.Write(data + done, size - done);
    if (n == 0) RaiseLzmaError(SZ_ERROR_WRITE);
    done += n;
  }
}

} // namespace

void RaiseLzmaError(int code) {
  throw KVL::SysUtils::EKVLInvalidOperation(KVL::SysUtils::Format("LZMA Error (%d)", code));
}

TLzmaEncoderSettings LzmaSettingsForLevel(int level) {
  if (level < 0 || level > 9) RaiseLzmaError(SZ_ERROR_PARAM);
  TLzmaEncoderSettings s;
  s.DictSize = level <= 5 ? (1u << (2 * level + 14)) : level == 6 ? (32u << 20) : (64u << 20);
  s.FastMode = level < 5;
  s.NiceLen = level < 7 ? 32 : 64;
  s.Depth = 16 + s.NiceLen / 2;
  if (s.FastMode) s.Depth /= 2;
  return s;
}

void LzmaEncode(KVL::Streams::TKVLStream& source, KVL::Streams::TKVLStream& target, int level,
                KVL::Crypto::TRC4& cipher) {
  const TLzmaEncoderSettings s = LzmaSettingsForLevel(level);
  // Every option is set here: liblzma's own presets differ from these levels.
  lzma_options_lzma opt;
  std::memset(&opt, 0, sizeof opt);
  opt.dict_size = s.DictSize;
  opt.lc = static_cast<uint32_t>(s.Lc);
  opt.lp = static_cast<uint32_t>(s.Lp);
  opt.pb = static_cast<uint32_t>(s.Pb);
  opt.mode = s.FastMode ? LZMA_MODE_FAST : LZMA_MODE_NORMAL;
  opt.mf = s.FastMode ? LZMA_MF_HC4 : LZMA_MF_BT4;
  opt.nice_len = s.NiceLen;
  opt.depth = s.Depth;
  opt.ext_flags = 0;  // LZMA1EXT without LZMA_LZMA1EXT_ALLOW_EOPM writes no end marker
  lzma_filter filters[2] = {{LZMA_FILTER_LZMA1EXT, &opt}, {LZMA_VLI_UNKNOWN, nullptr}};

  TLzmaStream z;
  lzma_ret r = lzma_raw_encoder(&z.strm, filters);
  if (r != LZMA_OK) RaiseLzmaError(EncoderCode(r));

  // The raw coder writes no header; the 5 properties bytes go through the cipher like the rest.
  uint8_t props[5] = {s.PropertiesByte(), uint8_t(s.DictSize), uint8_t(s.DictSize >> 8), uint8_t(s.DictSize >> 16),
                      uint8_t(s.DictSize >> 24)};
  WriteEnciphered(target, cipher, props, sizeof props);

  std::vector<uint8_t> in(kLzmaBlockSize), out(kLzmaBlockSize);
  bool eof = false;
  z.strm.next_out = out.data();
  z.strm.avail_out = out.size();
  for (;;) {
    if (z.strm.avail_in == 0 && !eof) {
      size_t n = source.Read(in.data(), in.size());
      eof = n == 0;
      z.strm.next_in = in.data();
      z.strm.avail_in = n;
    }
    r = lzma_code(&z.strm, eof ? LZMA_FINISH : LZMA_RUN);
    if (r != LZMA_OK && r != LZMA_STREAM_END) RaiseLzmaError(EncoderCode(r));
    if (z.strm.avail_out == 0 || r == LZMA_STREAM_END) {
      WriteEnciphered(target, cipher, out.data(), out.size() - z.strm.avail_out);
      z.strm.next_out = out.data();
      z.strm.avail_out = out.size();
    }
    if (r == LZMA_STREAM_END) break;
  }
}

int LzmaDecode(KVL::Streams::TKVLStream& source, uint64_t outSize, uint64_t maxDictSize, KVL::Crypto::TRC4& cipher,
               const TLzmaSink& sink) {
  std::vector<uint8_t> in(kLzmaBlockSize);
  size_t inPos = 0, inEnd = 0;
  bool eof = false;
  auto fill = [&] {
    inPos = 0;
    inEnd = eof ? 0 : source.Read(in.data(), in.size());
    if (inEnd == 0) eof = true;
    cipher.Crypt(in.data(), inEnd);
  };

  uint8_t props[5];
  for (size_t got = 0; got < sizeof props;) {
    if (inPos == inEnd) {
      fill();
      if (eof) return SZ_ERROR_DATA;  // not even the properties: input ended too soon
    }
    size_t n = std::min(sizeof props - got, inEnd - inPos);
    std::memcpy(props + got, in.data() + inPos, n);
    got += n;
    inPos += n;
  }
  if (props[0] > kMaxPropertiesByte) RaiseLzmaError(SZ_ERROR_UNSUPPORTED);
  uint32_t dict = uint32_t(props[1]) | (uint32_t(props[2]) << 8) | (uint32_t(props[3]) << 16) |
                  (uint32_t(props[4]) << 24);
  // A dictionary larger than the whole output is never used, so no more is allocated.
  dict = static_cast<uint32_t>(std::min<uint64_t>({dict, outSize, maxDictSize}));
  dict = std::max(dict, kMinDictSize);

  lzma_options_lzma opt;
  std::memset(&opt, 0, sizeof opt);
  opt.lc = props[0] % 9;
  opt.lp = props[0] / 9 % 5;
  opt.pb = props[0] / 45;
  opt.dict_size = dict;
  // The size comes from the package header. An end marker right after the data is
  // accepted (other writers add one); anywhere else it is damage.
  opt.ext_flags = LZMA_LZMA1EXT_ALLOW_EOPM;
  opt.ext_size_low = static_cast<uint32_t>(outSize);
  opt.ext_size_high = static_cast<uint32_t>(outSize >> 32);
  lzma_filter filters[2] = {{LZMA_FILTER_LZMA1EXT, &opt}, {LZMA_VLI_UNKNOWN, nullptr}};

  TLzmaStream z;
  lzma_ret r = lzma_raw_decoder(&z.strm, filters);
  if (r != LZMA_OK) RaiseLzmaError(DecoderCode(r));

  // Output goes out in larger pieces than input comes in: with 64 KiB the decoder is
  // stopped and resumed so often that reading falls a tenth behind liblzma alone.
  std::vector<uint8_t> out(kLzmaOutputBlockSize);
  for (;;) {
    if (inPos == inEnd && !eof) fill();
    z.strm.next_in = in.data() + inPos;
    z.strm.avail_in = inEnd - inPos;
    z.strm.next_out = out.data();
    z.strm.avail_out = out.size();
    r = lzma_code(&z.strm, eof ? LZMA_FINISH : LZMA_RUN);
    size_t consumed = (inEnd - inPos) - z.strm.avail_in;
    size_t produced = out.size() - z.strm.avail_out;
    inPos += consumed;
    if (produced > 0) sink(out.data(), produced);
    if (r == LZMA_STREAM_END) return SZ_OK;
    if (r != LZMA_OK) {
      int code = DecoderCode(r);
      if (code == SZ_ERROR_DATA) return code;
      RaiseLzmaError(code);
    }
    if (eof && consumed == 0 && produced == 0) return SZ_ERROR_DATA;  // input ended too soon
  }
}

} // namespace Setup::Core::Package
