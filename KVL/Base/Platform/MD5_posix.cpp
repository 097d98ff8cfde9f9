// MD5 on OpenSSL's EVP interface.
#include "KVL/Base/Platform/MD5.h"

#include <openssl/evp.h>

#include "KVL/Base/SysUtils.h"

namespace KVL::Platform {

struct TMD5::TImpl {
  EVP_MD_CTX* ctx = nullptr;
  ~TImpl() { EVP_MD_CTX_free(ctx); }
  void Start() {
    if (EVP_DigestInit_ex(ctx, EVP_md5(), nullptr) != 1) throw SysUtils::EKVLError("MD5 is not available");
  }
};

TMD5::TMD5() : impl_(std::make_unique<TImpl>()) {
  impl_->ctx = EVP_MD_CTX_new();
  if (!impl_->ctx) throw SysUtils::EKVLError("MD5 is not available");
  impl_->Start();
}

TMD5::~TMD5() = default;

void TMD5::Update(const void* data, size_t size) {
  if (size > 0 && EVP_DigestUpdate(impl_->ctx, data, size) != 1) throw SysUtils::EKVLError("MD5 update failed");
}

TMD5Digest TMD5::Final() {
  TMD5Digest d{};
  unsigned int n = 0;
  if (EVP_DigestFinal_ex(impl_->ctx, d.data(), &n) != 1 || n != d.size())
    throw SysUtils::EKVLError("MD5 finalisation failed");
  impl_->Start();
  return d;
}

} // namespace KVL::Platform
