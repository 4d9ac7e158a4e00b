// The mechanical errors of the virtual printer written as text, so that a training set, a test
// or a technician's own scans can start from any misalignment:
//
//   bid=vsd1-black:+18,eco-color:-3;pf=-2;tilt=1;top=+4
//
// Parts apart by ';', each optional. bid: per row, the steps the return pass lands off at the
// stored value (the value a Bi-D sheet then suggests); pf: the steps the feed is off at the
// stored value; tilt: lever steps from square; top: units the first line lands below the
// margin asked for. What is not named keeps its present error.
#pragma once

#include <array>
#include <optional>
#include <string>

#include "link/EepromAddresses.h"
#include "sim/EepromStore.h"
#include "sim/Mechanism.h"

namespace vantor::sim {

struct Misalignment {
  std::array<std::optional<int>, 8> bid{};  // EEPROM order, 0x70 to 0x77
  std::optional<int> pf, tilt, top;
};

// The row names, in EEPROM order.
inline constexpr const auto& kBidRowNames = eeprom::kBidKeys;

// Bi-D and PF errors within what the EEPROM byte and a feed can hold.
inline constexpr int kMaxBidError = 40;
inline constexpr int kMaxPfError = 20;
inline constexpr int kMaxTiltError = 10;
inline constexpr int kMaxTopError = 120;

// False with words naming the bad part.
bool ParseMisalignment(const std::string& text, Misalignment& out, std::string& why);

// The mechanism that shows these errors against the stored values and the lever; the rest as
// `base` has it.
TrueMechanism ApplyMisalignment(const Misalignment& errors, TrueMechanism base,
                                const EepromBytes& stored, int lever);

// The errors of `mechanism` against the stored values and the lever, every part named.
Misalignment ErrorsOf(const TrueMechanism& mechanism, const EepromBytes& stored, int lever);
std::string FormatMisalignment(const Misalignment& errors);

}  // namespace vantor::sim
