// The printer's service frames, built in one place: the EEPROM byte frames of the control
// channel and the factory frames (ESC "|") of the data channel. Both carry the model bytes and
// a code with its complement, so that a printer of another model ignores them.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "Model.h"

namespace vantor::wire {

// EEPROM frames on the control channel: 0x7C 0x7C, length, 0, model bytes, code, ~code, sub.
inline constexpr std::uint8_t kFrameMark = 0x7C;
struct FrameCode {
  std::uint8_t code, sub, length;  // length: the least body length the frame needs
};
inline constexpr FrameCode kEepromReadFrame{0x41, 0xA0, 6};
inline constexpr FrameCode kEepromWriteFrame{0x42, 0x21, 7};
// Factory frames (ESC "|" on the data channel); the EEPROM read above is one of them too.
inline constexpr FrameCode kBidValuesFrame{0x00, 0x00, 10};
inline constexpr FrameCode kPfValueFrame{0x04, 0x02, 6};
inline constexpr FrameCode kFinishAdjustWriteFrame{0x50, 0x28, 5};
inline constexpr FrameCode kCleanOrChargeFrame{0x84, 0x42, 6};
inline constexpr FrameCode kCrC5Frame{0xC5, 0xE2, 9};
inline constexpr FrameCode kCrCAFrame{0xCA, 0x65, 6};
inline constexpr FrameCode kCommandCBFrame{0xCB, 0xE5, 5};
inline constexpr FrameCode kCrCDFrame{0xCD, 0xE6, 9};
inline constexpr FrameCode kCommandD1Frame{0xD1, 0xE8, 6};
// The reply to an EEPROM read of either channel begins so.
inline constexpr std::string_view kEepromReplyPrefix = "@BDC PS";

// A built frame; the longest factory frame has 27 parameter bytes.
struct ServiceFrame {
  std::array<std::uint8_t, 32> bytes{};
  std::size_t size = 0;
  std::span<const std::uint8_t> View() const { return {bytes.data(), size}; }
};

ServiceFrame EepromReadFrame(ModelBytes model, std::uint8_t address);
ServiceFrame EepromWriteFrame(ModelBytes model, std::uint8_t address, std::uint8_t value);
// ESC "|" 0, the little-endian body length, then the body: model bytes, code, ~code, sub,
// params.
ServiceFrame FactoryFrame(ModelBytes model, FrameCode code, std::span<const std::uint8_t> params);

}  // namespace vantor::wire
