// Shared types of a run: mode, flags, state, notification codes and the listener interface.
#pragma once

#include <cstdint>
#include <initializer_list>

namespace Setup::Core {

enum TSetupMode : uint8_t { smInstall = 0, smUninstall = 1 };

// Bit n of TSetupFlags stands for the flag of ordinal n.
enum TSetupFlag : uint8_t { sfAuto = 0, sfPortable = 1, sfUpdate = 2, sfSilent = 3, sfRun = 4, sfNoBackup = 5 };

// Six flags in one byte; bits 6 and 7 are never set.
class TSetupFlags {
public:
  constexpr TSetupFlags() = default;
  constexpr TSetupFlags(std::initializer_list<TSetupFlag> flags) {
    for (TSetupFlag f : flags) bits_ = static_cast<uint8_t>(bits_ | Bit(f));
  }
  static constexpr TSetupFlags FromBits(uint8_t bits) {
    TSetupFlags f;
    f.bits_ = static_cast<uint8_t>(bits & 0x3F);
    return f;
  }
  constexpr bool Has(TSetupFlag f) const { return f < 8 && (bits_ & Bit(f)) != 0; }
  // A flag number above 7 leaves the set unchanged.
  constexpr TSetupFlags With(TSetupFlag f, bool on) const {
    if (f >= 8) return *this;
    return FromBits(on ? static_cast<uint8_t>(bits_ | Bit(f)) : static_cast<uint8_t>(bits_ & ~Bit(f)));
  }
  constexpr uint8_t Bits() const { return bits_; }
  constexpr bool operator==(const TSetupFlags&) const = default;

private:
  static constexpr uint8_t Bit(TSetupFlag f) { return static_cast<uint8_t>(1u << f); }
  uint8_t bits_ = 0;
};

enum TSetupState : uint8_t { ssIdle = 0, ssRunning = 1, ssFinished = 2 };

// Notification codes sent by the worker (and by pages) to the listeners.
enum TSetupNotification : int32_t {
  snFinished = 1,       // param: 1 when the run was told to terminate, else 0
  snProgress = 2,       // param: overall progress << 16 | current action's progress
  snStatusText = 4,     // param: address of a std::string, valid during the call
  snUpdateButtons = 5,  // param: 0
  snInvalidate = 6,     // param: 0
};

// A receiver of notifications; always called on the main thread.
class IInstallerNotify {
public:
  virtual ~IInstallerNotify() = default;
  virtual void Notify(int32_t code, intptr_t param) = 0;
};

} // namespace Setup::Core
