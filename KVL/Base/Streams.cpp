// Byte streams of the component library.
#include "KVL/Base/Streams.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "KVL/Base/SysUtils.h"

namespace KVL::Streams {

using SysUtils::EKVLReadError;
using SysUtils::EKVLWriteError;

int64_t TKVLStream::Size() {
  int64_t pos = Seek(0, TSeekOrigin::soCurrent);
  int64_t end = Seek(0, TSeekOrigin::soEnd);
  Seek(pos, TSeekOrigin::soBeginning);
  return end;
}

void TKVLStream::ReadBuffer(void* buffer, size_t count) {
  auto* p = static_cast<uint8_t*>(buffer);
  while (count > 0) {
    size_t n = Read(p, count);
    if (n == 0) throw EKVLReadError();
    p += n;
    count -= n;
  }
}

void TKVLStream::WriteBuffer(const void* buffer, size_t count) {
  auto* p = static_cast<const uint8_t*>(buffer);
  while (count > 0) {
    size_t n = Write(p, count);
    if (n == 0) throw EKVLWriteError();
    p += n;
    count -= n;
  }
}

int64_t TKVLStream::CopyFrom(TKVLStream& source, int64_t count) {
  if (count < 0) count = std::max<int64_t>(0, source.Size() - source.Position());
  std::vector<uint8_t> chunk(static_cast<size_t>(std::min<int64_t>(count, kCopyChunk)));
  int64_t left = count;
  while (left > 0) {
    size_t n = static_cast<size_t>(std::min<int64_t>(left, kCopyChunk));
    source.ReadBuffer(chunk.data(), n);
    WriteBuffer(chunk.data(), n);
    left -= static_cast<int64_t>(n);
  }
  return count;
}

uint8_t TKVLStream::ReadUInt8() {
  uint8_t v;
  ReadBuffer(&v, 1);
  return v;
}

uint16_t TKVLStream::ReadUInt16() {
  uint8_t b[2];
  ReadBuffer(b, 2);
  return static_cast<uint16_t>(b[0] | (b[1] << 8));
}

uint32_t TKVLStream::ReadUInt32() {
  uint8_t b[4];
  ReadBuffer(b, 4);
  return uint32_t(b[0]) | (uint32_t(b[1]) << 8) | (uint32_t(b[2]) << 16) | (uint32_t(b[3]) << 24);
}

int64_t TKVLStream::ReadInt64() {
  uint64_t lo = ReadUInt32();
  uint64_t hi = ReadUInt32();
  return static_cast<int64_t>(lo | (hi << 32));
}

void TKVLStream::WriteUInt16(uint16_t v) {
  uint8_t b[2] = {uint8_t(v), uint8_t(v >> 8)};
  WriteBuffer(b, 2);
}

void TKVLStream::WriteUInt32(uint32_t v) {
  uint8_t b[4] = {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
  WriteBuffer(b, 4);
}

void TKVLStream::WriteInt64(int64_t v) {
  auto u = static_cast<uint64_t>(v);
  WriteUInt32(static_cast<uint32_t>(u));
  WriteUInt32(static_cast<uint32_t>(u >> 32));
}

std::string TKVLStream::ReadString() {
  uint16_t count = ReadUInt16();
  std::string raw(size_t(count) * 2, '\0');
  ReadBuffer(raw.data(), raw.size());
  return SysUtils::Utf16ToUtf8(SysUtils::Utf16FromLEBytes(raw));
}

void TKVLStream::WriteString(const std::string& utf8) {
  std::u16string w = SysUtils::Utf8ToUtf16(utf8);
  if (w.size() > 0xFFFF) throw EKVLWriteError();
  WriteUInt16(static_cast<uint16_t>(w.size()));
  std::string raw = SysUtils::Utf16ToLEBytes(w);
  WriteBuffer(raw.data(), raw.size());
}

// --- TKVLMemoryStream ---

size_t TKVLMemoryStream::Read(void* buffer, size_t count) {
  if (pos_ >= size_) return 0;
  size_t n = std::min(count, size_ - pos_);
  std::memcpy(buffer, data_.get() + pos_, n);
  pos_ += n;
  return n;
}

size_t TKVLMemoryStream::Write(const void* buffer, size_t count) {
  if (count == 0) return 0;
  size_t end = pos_ + count;
  if (end > capacity_) Grow(end);
  if (pos_ > size_) std::memset(data_.get() + size_, 0, pos_ - size_);
  std::memcpy(data_.get() + pos_, buffer, count);
  pos_ = end;
  size_ = std::max(size_, end);
  return count;
}

int64_t TKVLMemoryStream::Seek(int64_t offset, TSeekOrigin origin) {
  int64_t base = origin == TSeekOrigin::soBeginning ? 0
                 : origin == TSeekOrigin::soCurrent ? static_cast<int64_t>(pos_)
                                                    : static_cast<int64_t>(size_);
  int64_t target = base + offset;
  if (target < 0) target = 0;
  pos_ = static_cast<size_t>(target);
  return target;
}

void TKVLMemoryStream::SetSize(int64_t size) {
  auto n = static_cast<size_t>(std::max<int64_t>(size, 0));
  if (n > capacity_) Grow(n);
  if (n > size_) std::memset(data_.get() + size_, 0, n - size_);
  size_ = n;
  pos_ = std::min(pos_, size_);
}

void TKVLMemoryStream::SetCapacity(size_t capacity) {
  if (capacity <= capacity_) return;
  auto fresh = std::make_unique_for_overwrite<uint8_t[]>(capacity);
  if (size_) std::memcpy(fresh.get(), data_.get(), size_);
  data_ = std::move(fresh);
  capacity_ = capacity;
}

void TKVLMemoryStream::Grow(size_t needed) {
  // Geometric growth keeps appends amortised; callers that know the size reserve it.
  size_t cap = std::max<size_t>(capacity_ + capacity_ / 2, 4096);
  SetCapacity(std::max(cap, needed));
}

void TKVLMemoryStream::Clear() {
  data_.reset();
  size_ = capacity_ = pos_ = 0;
}

// --- TKVLReadOnlyMemoryStream ---

size_t TKVLReadOnlyMemoryStream::Read(void* buffer, size_t count) {
  if (pos_ >= size_) return 0;
  size_t n = std::min(count, size_ - pos_);
  std::memcpy(buffer, data_ + pos_, n);
  pos_ += n;
  return n;
}

int64_t TKVLReadOnlyMemoryStream::Seek(int64_t offset, TSeekOrigin origin) {
  int64_t base = origin == TSeekOrigin::soBeginning ? 0
                 : origin == TSeekOrigin::soCurrent ? static_cast<int64_t>(pos_)
                                                    : static_cast<int64_t>(size_);
  int64_t target = std::max<int64_t>(0, base + offset);
  pos_ = static_cast<size_t>(target);
  return target;
}

void TKVLReadOnlyMemoryStream::SetSize(int64_t) {
  throw SysUtils::EKVLStreamError("Cannot resize a read-only stream");
}

// --- TKVLFileStream ---

TKVLFileStream::TKVLFileStream(const std::string& fileName, Platform::TFileOpenMode mode)
    : fileName_(fileName), file_(Platform::TPlatformFile::Open(fileName, mode)) {}

int64_t TKVLFileStream::Seek(int64_t offset, TSeekOrigin origin) {
  return file_.Seek(offset, static_cast<int>(origin));
}

} // namespace KVL::Streams
