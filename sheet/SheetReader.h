// Reads the Bi-D and PF adjustment sheets this tool prints back from scans or photographs,
// and suggests the values that make the printer true.
//
// The sheets carry their own geometry: the rows of bars and the joints are the anchors, so a
// quarter turn or a half turn, rotation by a few degrees, the lean and the keystone of a photo
// taken at a slight angle, any resolution from 75 dpi up, an uneven crop, uneven lighting,
// noise and blur are taken out before anything is measured. What that correction cannot
// explain lowers the confidence; a reading that is not sure says so. An image that cannot be
// read is refused with its reason and what to do.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "sheet/SheetImage.h"

namespace vantor::sheet {

// Why an image was refused; every kind is a refusal of the image, not a fault of the tool.
enum class RefusalKind {
  kNone,
  kFile,        // no readable image file
  kNotASheet,   // no sheet of the kind asked for in the image
  kWrongPages,  // pages missing, doubled or too many for one print
  kPartial,     // only part of a page: a group of rows cannot be named
  kUpsideDown,  // a sheet that can only be read turned
  kMirrored,    // scanned through the paper or by a front camera
  kAngle,       // photographed at an angle beyond what can be corrected
  kHeadTilted,  // the bars slant as a tilted head prints them
  kDegraded,    // too damaged, faint or blurred to measure
  kOutOfReach,  // a value outside what the printed candidates can show
};

struct Refusal {
  RefusalKind kind = RefusalKind::kNone;
  std::string words;  // the reason and the next step
};

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

// Reads the pages of one Bi-D print (both sheets, or one), in any order and orientation.
std::optional<BidReading> ReadBidSheets(const std::vector<SheetImage>& pages, Refusal& refusal);
// The same with the words alone.
std::optional<BidReading> ReadBidSheets(const std::vector<SheetImage>& pages, std::string& why);

struct PfReading {
  // Dots from the upper bar's lower edge to the lower bar's upper edge at each candidate -4 to
  // 4: a gap above 0, an overlap below.
  std::array<double, 9> gaps{};
  double value = 0;   // the candidate at which the bars meet, interpolated
  int suggested = 0;  // the whole value to register
  double confidence = 0;
};

// Reads the page of a PF print: the nine candidates' joints down the page, in any orientation.
std::optional<PfReading> ReadPfSheet(const SheetImage& page, Refusal& refusal);
std::optional<PfReading> ReadPfSheet(const SheetImage& page, std::string& why);

}  // namespace vantor::sheet
