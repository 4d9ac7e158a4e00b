// Result codes shared by every operation that touches the printer.
#pragma once

#include <cstdint>

namespace vantor {

// A 16-bit result: 1 is success, the high nibble names the failure class. A function that
// returns one must have it looked at: dropping it would lose a failure without words.
class [[nodiscard]] Result {
 public:
  constexpr Result() = default;
  constexpr Result(std::uint16_t value) : value_(value) {}  // NOLINT: codes are plain numbers
  constexpr operator std::uint16_t() const { return value_; }
  constexpr std::uint16_t Value() const { return value_; }
  constexpr std::uint16_t Class() const { return static_cast<std::uint16_t>(value_ & 0xF000); }

 private:
  std::uint16_t value_ = 0;  // an unset result is no success
};

inline constexpr Result kOk{1};
inline constexpr Result kPortFailure{0x1000};
inline constexpr Result kChannelFailure{0x2000};
inline constexpr Result kFactoryReplyFailure{0x3000};
inline constexpr Result kNotReady{0x4000};
inline constexpr Result kHeadIdFailure{0x5000};
inline constexpr Result kBidRangeFailure{0x7000};
inline constexpr Result kUsbIdFailure{0x8000};
// The technician's entry was refused with words ("Input data is wrong."); nothing was sent.
inline constexpr Result kInputRejected{0x9000};
// A value was written but the EEPROM does not hold it when read back; the procedure names it.
inline constexpr Result kNotConfirmed{0xA000};

// Callers stop at the first result other than success and hand it up unchanged.
#define VANTOR_TRY(expr) VANTOR_TRY_AS(expr, VANTOR_TRY_NAME(vantor_r_, __COUNTER__))
#define VANTOR_TRY_NAME(a, b) VANTOR_TRY_JOIN(a, b)
#define VANTOR_TRY_JOIN(a, b) a##b
#define VANTOR_TRY_AS(expr, name)                                                 \
  do {                                                                            \
    if (const ::vantor::Result name = (expr); name != ::vantor::kOk) return name; \
  } while (0)

}  // namespace vantor
