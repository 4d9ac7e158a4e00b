// Reading printed sheets as a technician does: where bars stand and where they meet.
#pragma once

#include <cstdlib>
#include <optional>
#include <vector>

#include "sim/PageRenderer.h"

namespace vantor::test {

enum class InkSeen { Black, Magenta, Cyan };

inline bool Shows(const sim::Page& page, int x, int y, InkSeen ink) {
  const std::uint8_t* p = page.Pixel(x, y);
  switch (ink) {
    case InkSeen::Black:
      return p[0] < 100 && p[1] < 100 && p[2] < 100;
    case InkSeen::Magenta:
      return p[0] > 150 && p[1] < 100;
    case InkSeen::Cyan:
      return p[0] < 100 && p[1] > 100 && p[2] > 150;
  }
  return false;
}

// First column from x0 (inclusive) to x1 (exclusive) in row y that shows the ink.
inline std::optional<int> FirstInk(const sim::Page& page, int y, int x0, int x1, InkSeen ink) {
  for (int x = x0; x < x1 && x < page.width; ++x) {
    if (Shows(page, x, y, ink)) return x;
  }
  return std::nullopt;
}

struct RowRun {
  int first;
  int last;
};

// Runs of rows that show the ink somewhere between x0 and x1, top to bottom.
inline std::vector<RowRun> InkedRows(const sim::Page& page, int x0, int x1, InkSeen ink) {
  std::vector<RowRun> runs;
  for (int y = 0; y < page.height; ++y) {
    if (!FirstInk(page, y, x0, x1, ink)) continue;
    if (!runs.empty() && runs.back().last == y - 1) {
      runs.back().last = y;
    } else {
      runs.push_back({y, y});
    }
  }
  return runs;
}

}  // namespace vantor::test
