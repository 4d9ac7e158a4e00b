// Result codes shared by every operation that touches the printer.
#pragma once

#include <cstdint>

namespace vantor {

using Result = std::uint16_t;

inline constexpr Result kOk = 1;
inline constexpr Result kPortFailure = 0x1000;
inline constexpr Result kChannelFailure = 0x2000;
inline constexpr Result kFactoryReplyFailure = 0x3000;
inline constexpr Result kNotReady = 0x4000;
inline constexpr Result kHeadIdFailure = 0x5000;
inline constexpr Result kBidRangeFailure = 0x7000;
inline constexpr Result kUsbIdFailure = 0x8000;

// Callers stop at the first result other than success and hand it up unchanged.
#define VANTOR_TRY(expr)                                \
  do {                                                  \
    if (const ::vantor::Result vantor_r_ = (expr);      \
        vantor_r_ != ::vantor::kOk)                     \
      return vantor_r_;                                 \
  } while (0)

}  // namespace vantor
