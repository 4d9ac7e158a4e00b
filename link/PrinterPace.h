// How long the printer's work takes at its usual pace. The virtual printer keeps this pace and
// the procedures announce their durations from it, so the two cannot drift apart.
#pragma once

#include <cstdint>
#include <span>

#include "link/Frames.h"
#include "link/Protocol.h"

namespace vantor::pace {

// Cleanings by kind: 4 the host's cleaning, 6 the ink charge, the others shorter.
inline constexpr std::int64_t kCleaningMs = 45'000;
inline constexpr std::int64_t kInkChargeMs = 110'000;
inline constexpr std::int64_t kOtherCleaningMs = 30'000;
// The cleaning the ink switch starts (the head-angle steps end with one).
inline constexpr std::int64_t kSwitchCleaningMs = 35'000;
inline constexpr std::int64_t kNozzleCheckMs = 20'000;

inline constexpr std::int64_t kShortCommandMs = 200;  // CB, D1
inline constexpr std::int64_t kMoveBaseMs = 600;      // a carriage move, plus 1 ms per step
inline constexpr std::int64_t kFeedBaseMs = 500;      // a C5 move, plus 1 ms per ten steps
inline constexpr std::int64_t kPumpUnitMs = 200;      // CA, per unit

// Printing: a raster band (one pass), a text line once the page has started, a page eject.
inline constexpr std::int64_t kBandMs = 250;
inline constexpr std::int64_t kTextLineMs = 100;
inline constexpr std::int64_t kEjectMs = 3000;

// The carriage, pump and short factory frames, by code and parameters as sent; 0 for a frame
// that takes the mechanism no time (values, reads, the end of a write, cleanings: see above).
constexpr std::int64_t FrameMs(std::uint8_t code, std::span<const std::uint8_t> params) {
  const auto le16 = [&] {
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(params[2] | params[3] << 8));
  };
  switch (code) {
    case wire::kCommandCBFrame.code:
    case wire::kCommandD1Frame.code:
      return kShortCommandMs;
    case wire::kCrCAFrame.code:
      return kPumpUnitMs * (params[0] > 1 ? params[0] : 1);
    case wire::kCrC5Frame.code:
      return kFeedBaseMs + static_cast<std::uint16_t>(le16()) / 10;
    case wire::kCrCDFrame.code: {
      const int steps = le16();
      return kMoveBaseMs + (steps < 0 ? -steps : steps);
    }
    default:
      return 0;
  }
}

}  // namespace vantor::pace
