// Byte streams of the component library: the abstract stream, memory and file streams.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "KVL/Base/Platform/File.h"

namespace KVL::Streams {

enum class TSeekOrigin { soBeginning, soCurrent, soEnd };

// Copies between streams go in chunks of this size.
inline constexpr size_t kCopyChunk = 1024 * 1024;

class TKVLStream {
public:
  virtual ~TKVLStream() = default;
  // Transfers up to count bytes; returns how many were transferred.
  virtual size_t Read(void* buffer, size_t count) = 0;
  virtual size_t Write(const void* buffer, size_t count) = 0;
  virtual int64_t Seek(int64_t offset, TSeekOrigin origin) = 0;
  virtual int64_t Size();
  virtual void SetSize(int64_t size) = 0;

  int64_t Position() { return Seek(0, TSeekOrigin::soCurrent); }
  void SetPosition(int64_t pos) { Seek(pos, TSeekOrigin::soBeginning); }

  // Exact transfers: EKVLReadError / EKVLWriteError when the stream falls short.
  void ReadBuffer(void* buffer, size_t count);
  void WriteBuffer(const void* buffer, size_t count);
  // Copies count bytes from source's position (all that remains when count < 0)
  // in 1 MiB chunks; returns the number copied.
  int64_t CopyFrom(TKVLStream& source, int64_t count = -1);

  // Little-endian integers.
  uint8_t ReadUInt8();
  uint16_t ReadUInt16();
  uint32_t ReadUInt32();
  int32_t ReadInt32() { return static_cast<int32_t>(ReadUInt32()); }
  int64_t ReadInt64();
  void WriteUInt8(uint8_t v) { WriteBuffer(&v, 1); }
  void WriteUInt16(uint16_t v);
  void WriteUInt32(uint32_t v);
  void WriteInt32(int32_t v) { WriteUInt32(static_cast<uint32_t>(v)); }
  void WriteInt64(int64_t v);

  // Length-prefixed string: UInt16 count of UTF-16 code units, then UTF-16LE.
  // Writing a text longer than 65,535 code units raises EKVLWriteError.
  std::string ReadString();
  void WriteString(const std::string& utf8);
};

// A growable in-memory stream; Memory() stays valid until the next growth.
class TKVLMemoryStream : public TKVLStream {
public:
  TKVLMemoryStream() = default;
  size_t Read(void* buffer, size_t count) override;
  size_t Write(const void* buffer, size_t count) override;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  int64_t Size() override { return static_cast<int64_t>(size_); }
  void SetSize(int64_t size) override;
  // Reserves room so that writes up to this size do not reallocate.
  void SetCapacity(size_t capacity);
  size_t Capacity() const { return capacity_; }
  uint8_t* Memory() { return data_.get(); }
  const uint8_t* Memory() const { return data_.get(); }
  void Clear();

private:
  void Grow(size_t needed);
  std::unique_ptr<uint8_t[]> data_;
  size_t size_ = 0;
  size_t capacity_ = 0;
  size_t pos_ = 0;
};

// A stream over a read-only block of memory it does not own (resources, mapped data).
class TKVLReadOnlyMemoryStream : public TKVLStream {
public:
  TKVLReadOnlyMemoryStream(const void* data, size_t size)
      : data_(static_cast<const uint8_t*>(data)), size_(size) {}
  size_t Read(void* buffer, size_t count) override;
  size_t Write(const void*, size_t) override { return 0; }
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  int64_t Size() override { return static_cast<int64_t>(size_); }
  void SetSize(int64_t) override;

private:
  const uint8_t* data_;
  size_t size_;
  size_t pos_ = 0;
};

// A file stream on the platform's file service. Opening failures raise EKVLFileOpenError.
class TKVLFileStream : public TKVLStream {
public:
  TKVLFileStream(const std::string& fileName, Platform::TFileOpenMode mode);
  size_t Read(void* buffer, size_t count) override { return file_.Read(buffer, count); }
  size_t Write(const void* buffer, size_t count) override { return file_.Write(buffer, count); }
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  int64_t Size() override { return file_.Size(); }
  void SetSize(int64_t size) override { file_.SetSize(size); }
  const std::string& FileName() const { return fileName_; }

private:
  std::string fileName_;
  Platform::TPlatformFile file_;
};

} // namespace KVL::Streams
