// Reads the Bi-D adjustment sheets this tool prints back from scans or photographs,
// and suggests the values that make the printer true.
//
// The sheets carry their own geometry: the rows of bars are the anchors, so rotation by a few
// degrees, any resolution from 150 dpi up, an uneven crop, uneven lighting, noise and blur are
// taken out before anything is measured. A reading that is not sure says so through its
// confidence; an image that is not one of the sheets is refused with words.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "sheet/SheetImage.h"

namespace vantor::sheet {

// Below this a row's suggestion is only a hint; the technician judges by eye.
inline constexpr double kTrustedConfidence = 0.6;

struct BidRowReading {
  int dotType = 0;      // 4 VSD1, 5 VSD2, 6 VSD3, 7 ECO
  bool colour = false;  // the colour value of the dot type, else the black one
  bool read = false;    // false: the row's blocks were not found on the pages given
  // Step between the two passes of each candidate, in 1/360 inch, NaN where unreadable.
  std::array<double, 3> steps{};
  int best = -1;  // 0, 1, 2: the candidate whose passes meet best; -1 when none was readable
  // The true value in value steps from the middle candidate (the stored value at print time),
  // interpolated between candidates, and the whole steps to register.
  double offset = 0;
  int suggested = 0;
  double confidence = 0;  // 0 to 1
};

struct BidReading {
  // Rows in the order of the input panel: VSD1 black, VSD1 colour, VSD2 black, ..., ECO colour.
  std::array<BidRowReading, 8> rows{};
};

// Reads the pages of one Bi-D print (both sheets, or one), in any order. On refusal the
// words say why.
std::optional<BidReading> ReadBidSheets(const std::vector<SheetImage>& pages, std::string& why);

}  // namespace vantor::sheet
