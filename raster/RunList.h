// Raster lines as lists of repeat runs, and the bands built from them.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace vantor::raster {

// count copies of value; sent as one RepeatSend.
struct Run {
  std::uint8_t count;
  std::uint8_t value;
};
using RunList = std::span<const Run>;

template <std::size_t N>
using Runs = std::array<Run, N>;

constexpr int Width(RunList runs) {
  int width = 0;
  for (const Run& run : runs) width += run.count;
  return width;
}

template <std::size_t... N>
constexpr Runs<(N + ...)> Join(const Runs<N>&... parts) {
  Runs<(N + ...)> joined{};
  std::size_t at = 0;
  ((([&] {
     for (const Run& run : parts) joined[at++] = run;
   })()),
   ...);
  return joined;
}

template <std::size_t Times, std::size_t N>
constexpr Runs<Times * N> Repeat(const Runs<N>& runs) {
  Runs<Times * N> repeated{};
  for (std::size_t i = 0; i < Times * N; ++i) repeated[i] = runs[i % N];
  return repeated;
}

// Which run list each raster line of a band carries.
struct BandLines {
  RunList odd;          // odd-numbered lines, or every line when `even` is empty
  RunList even = {};    // even-numbered lines
  RunList marked = {};  // lines markFirst..markLast, when given
  int markFirst = 0;
  int markLast = -1;
  int firstLine = 1;  // the number of the band's first line

  constexpr RunList At(int line) const {
    if (line >= markFirst && line <= markLast) return marked;
    if (!even.empty() && line % 2 == 0) return even;
    return odd;
  }
};

// A band with the same run list on lines first..last and `other` elsewhere.
constexpr BandLines Marked(RunList marked, int first, int last, RunList other, int firstLine = 1) {
  return BandLines{other, {}, marked, first, last, firstLine};
}
constexpr BandLines EveryLine(RunList line) {
  return BandLines{line};
}
constexpr BandLines OddEven(RunList odd, RunList even) {
  return BandLines{odd, even};
}

// True when a run list is exactly `width` bytes and every run fits one RepeatSend.
constexpr bool Fits(RunList runs, int width) {
  for (const Run& run : runs)
    if (run.count < 1 || run.count > 129) return false;
  return Width(runs) == width;
}

// True when every line a band can carry fits `width`.
constexpr bool Fits(const BandLines& lines, int width) {
  if (!Fits(lines.odd, width)) return false;
  if (!lines.even.empty() && !Fits(lines.even, width)) return false;
  if (lines.markFirst <= lines.markLast && !Fits(lines.marked, width)) return false;
  return true;
}

}  // namespace vantor::raster
