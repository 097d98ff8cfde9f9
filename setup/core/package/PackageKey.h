// The cipher key shared by the package reader and every package builder of the installer.
#pragma once

#include <cstdint>

namespace Setup::Core::Package {

// Its four little-endian bytes are the RC4 key of every package; readers and builders
// must agree on it, so it is written nowhere else.
inline constexpr int32_t kSetupPackageKey = 0x4F6E6475;

} // namespace Setup::Core::Package
