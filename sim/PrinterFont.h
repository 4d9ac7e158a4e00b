// The printer's own character set: 5 x 7 dots, printable ASCII.
#pragma once

#include <array>
#include <cstdint>

namespace vantor::sim {

inline constexpr int kGlyphWidth = 5;
inline constexpr int kGlyphHeight = 7;

// One byte per column, the top dot in the least significant bit.
using Glyph = std::array<std::uint8_t, kGlyphWidth>;

// Characters outside the set print as a hollow box.
const Glyph& GlyphOf(char c);

}  // namespace vantor::sim
