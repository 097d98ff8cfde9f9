// MD5 on Windows CNG (BCrypt).
#include "KVL/Base/Platform/MD5.h"

#include <windows.h>
#include <bcrypt.h>

#include <algorithm>

#include "KVL/Base/SysUtils.h"

namespace KVL::Platform {

namespace {
bool Ok(NTSTATUS s) { return s >= 0; }
} // namespace

struct TMD5::TImpl {
  BCRYPT_ALG_HANDLE alg = nullptr;
  BCRYPT_HASH_HANDLE hash = nullptr;
  ~TImpl() {
    if (hash) BCryptDestroyHash(hash);
    if (alg) BCryptCloseAlgorithmProvider(alg, 0);
  }
};

TMD5::TMD5() : impl_(std::make_unique<TImpl>()) {
  // A reusable hash object starts over after each BCryptFinishHash.
  if (!Ok(BCryptOpenAlgorithmProvider(&impl_->alg, BCRYPT_MD5_ALGORITHM, nullptr, 0)) ||
      !Ok(BCryptCreateHash(impl_->alg, &impl_->hash, nullptr, 0, nullptr, 0, BCRYPT_HASH_REUSABLE_FLAG)))
    throw SysUtils::EKVLError("MD5 is not available");
}

TMD5::~TMD5() = default;

void TMD5::Update(const void* data, size_t size) {
  auto* p = static_cast<const uint8_t*>(data);
  while (size > 0) {
    ULONG n = static_cast<ULONG>(std::min<size_t>(size, 1u << 30));
    if (!Ok(BCryptHashData(impl_->hash, const_cast<PUCHAR>(p), n, 0))) throw SysUtils::EKVLError("MD5 update failed");
    p += n;
    size -= n;
  }
}

TMD5Digest TMD5::Final() {
  TMD5Digest d{};
  if (!Ok(BCryptFinishHash(impl_->hash, d.data(), static_cast<ULONG>(d.size()), 0)))
    throw SysUtils::EKVLError("MD5 finalisation failed");
  return d;
}

} // namespace KVL::Platform
