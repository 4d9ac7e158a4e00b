#include <algorithm>
#include <array>
#include <cmath>
#include <numeric>
#include <optional>

#include "sheet/PageGeometry.h"
#include "sheet/SheetReader.h"

namespace vantor::sheet {

namespace {

using namespace detail;

// The sheets' geometry in printer dots (1/360 inch), as the patterns print them.
constexpr double kBarPitch = 40;           // Bi-D bars stand 10 bytes apart
constexpr int kBarsPerBlock = 34;          // in each of the black and the colour block
constexpr double kHalfHeight = 60;         // each pass of a Bi-D block
constexpr double kColourFromBlack = 1520;  // colour bars start 380 bytes right of the black ones
constexpr double kBidDotsPerStep = 1;      // a Bi-D value step moves the return pass one dot
// Each pass is measured from kPassTo to kPassFrom dots off the meeting line: clear of the other
// pass by more than a coarse scan's blur, which would mix a large step into both.
constexpr double kPassFrom = kHalfHeight - 6, kPassTo = 12;
constexpr double kPassesApart = kPassFrom + kPassTo;  // between the middles of the two ranges
constexpr double kTiltedSlant = 0.025;

struct BarBlock {
  Frame frame;           // origin at the left end of the meeting line
  double u0 = 0;         // first bar, dots from the blob's centre
  double step = kNaN;    // lower pass minus upper pass, dots
  double error = kNaN;   // standard error of the step, dots
  double agreement = 0;  // share of the bars that agree with the step
  double v = 0, u = 0;   // position of the meeting line's centre in the page frame, dots
  double slant = 0;      // dots across per dot down within one pass
  // The upper pass's bars in the first and the last third of the block, pixels.
  std::array<double, 2> leftThird{}, rightThird{};
};

// Where the block's meeting line stands, in dots down from the frame's origin: the middle of
// the block's height, where bars of the pitch stand. Only the bars count: the value labels
// close above and noise on the paper have no pitch. Short stretches, as the scale is known
// only roughly yet.
std::optional<double> FindMeetingLine(const SheetImage& image, const Frame& f) {
  const double half = (kBarsPerBlock * kBarPitch) / 2;
  constexpr double kRowStep = 2;
  std::vector<double> column;
  for (double v = -2 * kHalfHeight; v < 2 * kHalfHeight; v += kRowStep) {
    const auto row = Profile(image, f, -half * 0.8, half * 0.8, v, v + kRowStep, 1.0);
    double strength = 0;
    constexpr std::size_t kStretch = 4 * static_cast<std::size_t>(kBarPitch);
    for (std::size_t from = 0; from + kStretch <= row.size(); from += kStretch) {
      strength += std::abs(Coefficient(row, -half * 0.8, 1.0, kBarPitch, from, from + kStretch));
    }
    column.push_back(strength);
  }
  std::vector<double> sorted = column;
  std::nth_element(sorted.begin(), sorted.begin() + static_cast<long>(sorted.size() / 10),
                   sorted.end());
  const double floor = sorted[sorted.size() / 10];
  const double peak = *std::max_element(column.begin(), column.end());
  if (peak <= floor) return std::nullopt;
  // The run of rows around the strongest; a colour block's passes are of two inks, one of
  // them lighter, so the run goes down to a quarter.
  const double threshold = floor + (peak - floor) / 4;
  const auto strongest = std::max_element(column.begin(), column.end()) - column.begin();
  std::ptrdiff_t top = strongest, bottom = strongest;
  while (top > 0 && column[static_cast<std::size_t>(top - 1)] > threshold) --top;
  while (bottom + 1 < static_cast<std::ptrdiff_t>(column.size()) &&
         column[static_cast<std::size_t>(bottom + 1)] > threshold)
    ++bottom;
  const double height = static_cast<double>(bottom - top + 1) * kRowStep;
  if (height < 1.6 * kHalfHeight || height > 2.4 * kHalfHeight) return std::nullopt;
  return -2 * kHalfHeight + static_cast<double>(top + bottom + 1) * kRowStep / 2;
}

// The bars' period in dots as the frame's scale sees it: the pitch fixes the scale to within
// a fraction of a percent. One pass alone, as two passes half a pitch apart would show half
// the pitch.
double FindPeriod(const SheetImage& image, const Frame& f, double span, double sample) {
  const auto both = Profile(image, f, -span, span, -kPassFrom, -kPassTo, sample);
  double bestPeriod = kBarPitch, bestPower = 0;
  for (double p = kBarPitch * 0.85; p <= kBarPitch * 1.15; p += 0.25) {
    const double power = std::abs(Coefficient(both, -span, sample, p));
    if (power > bestPower) {
      bestPower = power;
      bestPeriod = p;
    }
  }
  const double coarse = bestPeriod;
  for (double p = coarse - 0.25; p <= coarse + 0.25; p += 0.02) {
    const double power = std::abs(Coefficient(both, -span, sample, p));
    if (power > bestPower) {
      bestPower = power;
      bestPeriod = p;
    }
  }
  return bestPeriod;
}

// Which 34 bar positions of a pass's profile hold bars: the start of the strongest run.
std::optional<double> RunStart(const std::vector<double>& pass, double span, double sample) {
  const double phase = Phase(Coefficient(pass, -span, sample, kBarPitch), kBarPitch);
  std::vector<double> strength;
  const double first = phase - kBarPitch * std::ceil((phase + span) / kBarPitch);
  for (double b = first; b < span; b += kBarPitch) {
    auto at = [&](double u) {
      const long i = std::lround((u + span) / sample);
      if (i < 0 || i >= static_cast<long>(pass.size())) return 0.0;
      return pass[static_cast<std::size_t>(i)];
    };
    strength.push_back(at(b) - (at(b - kBarPitch / 2) + at(b + kBarPitch / 2)) / 2);
  }
  if (strength.size() < kBarsPerBlock) return std::nullopt;
  double best = -1e9;
  std::size_t firstBar = 0;
  for (std::size_t s = 0; s + kBarsPerBlock <= strength.size(); ++s) {
    const double total =
        std::accumulate(strength.begin() + static_cast<long>(s),
                        strength.begin() + static_cast<long>(s) + kBarsPerBlock, 0.0);
    if (total > best) {
      best = total;
      firstBar = s;
    }
  }
  return first + static_cast<double>(firstBar) * kBarPitch;
}

// The step between the passes from each bar on its own first: the share that agrees with the
// others tells how sure the block is, and a bar far off (a smudge, a speck) is left out.
void MeasureStep(BarBlock& block, const std::vector<double>& upper,
                 const std::vector<double>& lower, double span, double sample) {
  std::vector<double> steps;
  std::vector<Complex> pairs;
  for (int i = 0; i < kBarsPerBlock; ++i) {
    const double c = block.u0 + i * kBarPitch;
    const auto from = static_cast<std::size_t>(std::max(0.0, (c - kBarPitch / 2 + span) / sample));
    const auto to = static_cast<std::size_t>(std::max(0.0, (c + kBarPitch / 2 + span) / sample));
    const Complex cu = Coefficient(upper, -span, sample, kBarPitch, from, to);
    const Complex cl = Coefficient(lower, -span, sample, kBarPitch, from, to);
    pairs.push_back(cl * std::conj(cu));
    steps.push_back(Phase(pairs.back(), kBarPitch));
  }
  // A bar narrower than a pixel lands on the pixel grid, so single bars scatter by up to a
  // pixel either way, in whole pixels: the median would pick one of the grid's values, while
  // the bars together, each as strong as it printed, average the grid out.
  const double median = Median(steps);
  const double window = 1.5 / block.frame.scale + 1.5;
  Complex together = 0;
  std::vector<double> kept;
  for (std::size_t i = 0; i < steps.size(); ++i) {
    if (std::abs(Wrap(steps[i] - median, kBarPitch)) > window) continue;
    together += pairs[i];
    kept.push_back(steps[i]);
  }
  const int agree = static_cast<int>(kept.size());
  block.step = Phase(together, kBarPitch);
  double square = 0;
  for (const double k : kept)
    square += Wrap(k - block.step, kBarPitch) * Wrap(k - block.step, kBarPitch);
  block.error = std::sqrt(square / std::max(1, agree - 1) / std::max(1, agree));
  block.agreement = static_cast<double>(agree) / kBarsPerBlock;
}

// Measures one block of bars around a blob: the period fixes the scale, the phase the bars,
// and the phase difference between the two passes the step.
std::optional<BarBlock> MeasureBarBlock(const SheetImage& image, const Blob& blob, double angle,
                                        double scale, int attempt = 0) {
  Frame f{blob.cx, blob.cy, angle, scale};
  const double half = (kBarsPerBlock * kBarPitch) / 2, sample = 0.5;
  const auto mid = FindMeetingLine(image, f);
  if (!mid) return std::nullopt;
  f.cx = f.X(0, *mid);
  f.cy = f.Y(0, *mid);
  const double span = half + 3 * kBarPitch;
  f.scale = scale * FindPeriod(image, f, span, sample) / kBarPitch;
  // The upper pass in its top and bottom halves: bars that slant within one pass are a tilted
  // head (or a photo's lean, which the page's geometry tells apart).
  constexpr double kPassMiddle = (kPassFrom + kPassTo) / 2;
  const auto upperTop = Profile(image, f, -span, span, -kPassFrom, -kPassMiddle, sample);
  const auto upperBottom = Profile(image, f, -span, span, -kPassMiddle, -kPassTo, sample);
  std::vector<double> upper(upperTop.size());
  for (std::size_t i = 0; i < upper.size(); ++i) upper[i] = (upperTop[i] + upperBottom[i]) / 2;
  const auto lower = Profile(image, f, -span, span, kPassTo, kPassFrom, sample);
  // Which 34 bar positions hold bars: the strongest run of them.
  const auto upperStart = RunStart(upper, span, sample);
  if (!upperStart) return std::nullopt;
  // A run against the end of the window may go on past it: a blob cut short (by the edge of a
  // dark surround) is centred off its block. The window moves that way and the block is
  // measured again.
  const bool pinnedLeft = *upperStart < -span + kBarPitch;
  const bool pinnedRight = *upperStart + kBarsPerBlock * kBarPitch > span - kBarPitch;
  if ((pinnedLeft || pinnedRight) && attempt < 2) {
    Blob moved = blob;
    const double by = (pinnedLeft ? -3 : 3) * kBarPitch * scale;
    moved.cx += by * std::cos(angle);
    moved.cy += by * std::sin(angle);
    return MeasureBarBlock(image, moved, angle, scale, attempt + 1);
  }
  BarBlock block;
  block.u0 = *upperStart;
  // The upper pass in the block's first and last third: black blocks print it one way only,
  // in one column down the page, so these show how the photo leans.
  const auto where = [&](int from, int to) {
    const double centre = block.u0 + (from + to - 1) / 2.0 * kBarPitch;
    const auto lo = static_cast<std::size_t>(
        std::max(0.0, (block.u0 + (from - 0.5) * kBarPitch + span) / sample));
    const auto hi = static_cast<std::size_t>(
        std::max(0.0, (block.u0 + (to - 0.5) * kBarPitch + span) / sample));
    const double at = Phase(Coefficient(upper, -span, sample, kBarPitch, lo, hi), kBarPitch);
    const double u = centre + Wrap(at - centre, kBarPitch);
    const double v = -kPassesApart / 2;
    return std::array<double, 2>{f.X(u, v), f.Y(u, v)};
  };
  block.leftThird = where(0, kBarsPerBlock / 3);
  block.rightThird = where(kBarsPerBlock - kBarsPerBlock / 3, kBarsPerBlock);
  block.frame = f;
  MeasureStep(block, upper, lower, span, sample);
  block.slant = Wrap(Phase(Coefficient(upperBottom, -span, sample, kBarPitch), kBarPitch) -
                         Phase(Coefficient(upperTop, -span, sample, kBarPitch), kBarPitch),
                     kBarPitch) /
                (kPassFrom - kPassMiddle);
  return block;
}

constexpr double kMaxForeign = 800;  // dots: anything longer that is not a block is foreign

// Meeting lines of the black blocks down one Bi-D sheet, from the first: three candidates of
// one dot type, then three of the next. A candidate takes 424 rows, a dot type 664 more.
constexpr std::array<double, 6> kBidSlots = {0, 424, 848, 1512, 1936, 2360};
constexpr double kColourBelowBlack = 62;
// The dot type's title line, above the first black meeting line of its three candidates.
constexpr double kTitleFrom = -300, kTitleTo = -265;
constexpr double kShortTitle = 360;  // "ECO DOT" is about 250 dots long, the others 470

struct PageBlocks {
  std::array<std::optional<BarBlock>, 6> black, colour;
  bool second = false;     // VSD3 and ECO
  double noise = 0;        // the scan's grain
  bool leaned = false;     // the photo's lean was measured and taken out
  double lean = 0;         // the largest lean taken out, dots across per dot down
  double unexplained = 0;  // dots the black column strays from the corrected geometry
  bool tilted = false;     // the bars slant within each pass
};

const char* const kNotBid =
    "this image is not a Bi-D adjustment sheet printed by this tool (no rows of Bi-D bars found)";

struct Placed {
  BarBlock block;
  double u, v;  // page frame, dots
};

// The rows of bars among the blobs, with the angle and scale their shapes give roughly.
struct Bars {
  std::vector<const Blob*> blobs;
  double angle = 0, scale = 1;
};

// What else the page holds must be no foreign print.
std::optional<Bars> FindBars(const std::vector<Blob>& blobs, double guess, Refusal& refusal) {
  std::vector<const Blob*> bars;
  for (const Blob& b : blobs) {
    const double aspect = b.length / std::max(1.0, b.height);
    const double length = b.length / guess;
    if (aspect > 6 && aspect < 18 && length > 900 && length < 1900 && b.fill < 0.3 &&
        std::abs(AngleNear0(b.angle)) < kMaxTilt) {
      bars.push_back(&b);
    }
  }
  if (bars.size() < 3) {
    return Refuse(refusal, RefusalKind::kNotASheet, kNotBid);
  }
  std::vector<double> angles, lengths;
  for (const Blob* b : bars) {
    angles.push_back(AngleNear0(b->angle));
    lengths.push_back(b->length);
  }
  const double roughScale = Median(lengths) / (kBarsPerBlock * kBarPitch);
  for (const Blob& b : blobs) {
    const bool isBar = std::find(bars.begin(), bars.end(), &b) != bars.end();
    // A row of bars that the grain broke in two is no foreign mark; it is only not measured.
    const bool brokenRow = b.length / roughScale < 1.1 * kBarsPerBlock * kBarPitch &&
                           std::abs(b.height / roughScale / (2 * kHalfHeight) - 1) < 0.4 &&
                           b.length > 4 * b.height && b.fill < 0.3 &&
                           std::abs(AngleNear0(b.angle)) < kMaxTilt;
    if (!isBar && !brokenRow && !b.edge &&
        std::max(b.length, b.height) / roughScale > kMaxForeign) {
      return Refuse(refusal, RefusalKind::kNotASheet,
                    "this image holds more than a Bi-D adjustment sheet (a check pattern or "
                    "another print?); scan the Bi-D sheets alone");
    }
  }
  return Bars{bars, Median(angles), roughScale};
}

// Each row of bars measured and placed in the page's frame; `scale` becomes the bars' own.
std::vector<Placed> PlaceBlocks(const SheetImage& image, const Bars& bars, double& scale) {
  const double angle = bars.angle;
  std::vector<BarBlock> blocks;
  for (const Blob* b : bars.blobs) {
    if (auto block = MeasureBarBlock(image, *b, bars.angle, bars.scale)) blocks.push_back(*block);
  }
  if (blocks.empty()) return {};
  // The bars' pitch gives the scale far better than the blobs' lengths, which a crop or a dark
  // surround shortens.
  std::vector<double> scales;
  for (const BarBlock& block : blocks) scales.push_back(block.frame.scale);
  scale = Median(scales);
  std::vector<Placed> placed;
  for (const BarBlock& block : blocks) {
    const Frame& f = block.frame;
    const double u = (f.cx * std::cos(angle) + f.cy * std::sin(angle)) / scale;
    const double v = (-f.cx * std::sin(angle) + f.cy * std::cos(angle)) / scale;
    placed.push_back({block, u + block.u0 * f.scale / scale, v});
  }
  return placed;
}

// The black column is the one with the colour column 1520 dots to its right.
std::optional<double> FindBlackColumn(const SheetImage& image, const std::vector<Placed>& placed,
                                      double angle, double scale, Refusal& refusal) {
  std::optional<double> blackU;
  for (const Placed& a : placed) {
    for (const Placed& b : placed) {
      if (std::abs(b.u - a.u - kColourFromBlack) < 60 &&
          std::abs(b.v - a.v - kColourBelowBlack) < 40) {
        if (!blackU || a.u < *blackU) blackU = a.u;
      }
    }
  }
  if (!blackU) {
    // Turned half round, the pairs stand as they do upright (which the titles tell apart); in
    // a mirror image the right block of a pair stands above the left one.
    for (const Placed& a : placed) {
      for (const Placed& b : placed) {
        if (std::abs(b.u - a.u - kColourFromBlack) < 60 &&
            std::abs(a.v - b.v - kColourBelowBlack) < 40) {
          return Refuse(refusal, RefusalKind::kMirrored, kMirrored);
        }
      }
    }
    // A crop through the colour blocks leaves the black column alone: the leftmost column of
    // blocks, when the colour one would stand past the image's right edge.
    std::vector<double> us;
    for (const Placed& p : placed) us.push_back(p.u);
    const double left = *std::min_element(us.begin(), us.end());
    const auto inColumn =
        std::count_if(us.begin(), us.end(), [&](double u) { return u - left < 60; });
    const Frame f{0, 0, angle, scale};
    bool colourCut = inColumn >= 2;
    for (const Placed& p : placed) {
      const double u = left + kColourFromBlack + kBarsPerBlock * kBarPitch;
      if (p.u - left < 60 && f.X(u, p.v) < image.width) colourCut = false;
    }
    if (!colourCut) return Refuse(refusal, RefusalKind::kNotASheet, kNotBid);
    blackU = left;
  }
  return blackU;
}

struct Lean {
  double at = 0, lean = 0, residual = 0;  // pixels across; dots across per dot down; pixels
};

// A line through the upper passes' bars in one third of each block of the black column, down
// the column, in pixels across per pixel down.
Lean FitLean(const std::vector<const BarBlock*>& column, double angle, double scale, bool right) {
  const double cosA = std::cos(angle), sinA = std::sin(angle);
  const auto across = [&](const std::array<double, 2>& px) { return px[0] * cosA + px[1] * sinA; };
  const auto down = [&](const std::array<double, 2>& px) { return -px[0] * sinA + px[1] * cosA; };
  const double pitch = kBarPitch * scale;  // pixels
  Lean l;
  double n = 0, su = 0, sv = 0, svv = 0, suv = 0;
  // Each block's bars are placed by the run of its bars, which a bar lost at an end moves
  // by a pitch: a line through the medians of the pairs' slopes sets the lean roughly (a
  // steep lean moves the column by more than half a pitch from one block to the next), and
  // each block is taken at the pitch nearest to it.
  std::vector<std::array<double, 2>> points;
  for (const BarBlock* c : column) {
    const auto& px = right ? c->rightThird : c->leftThird;
    points.push_back({across(px), down(px)});
  }
  std::vector<double> pairSlopes, offsets;
  for (std::size_t i = 0; i < points.size(); ++i) {
    for (std::size_t j = i + 1; j < points.size(); ++j) {
      if (std::abs(points[j][1] - points[i][1]) > pitch)
        pairSlopes.push_back((points[j][0] - points[i][0]) / (points[j][1] - points[i][1]));
    }
  }
  const double rough = pairSlopes.empty() ? 0 : Median(pairSlopes);
  for (const auto& [u, v] : points) offsets.push_back(u - rough * v);
  // One of the blocks' own places, not a mean of two a pitch apart.
  std::nth_element(offsets.begin(), offsets.begin() + static_cast<long>(offsets.size() / 2),
                   offsets.end());
  const double through = offsets.empty() ? 0 : offsets[offsets.size() / 2];
  for (auto& [u, v] : points) u = through + rough * v + Wrap(u - through - rough * v, pitch);
  for (const auto& [u, v] : points) {
    n += 1;
    su += u;
    sv += v;
    svv += v * v;
    suv += u * v;
  }
  if (n < 2) return l;
  l.at = su / n;
  l.lean = (n * suv - su * sv) / (n * svv - sv * sv);
  const double a = (su - l.lean * sv) / n;
  double square = 0;
  for (const auto& [u, v] : points) square += (u - a - l.lean * v) * (u - a - l.lean * v);
  l.residual = n > 2 ? std::sqrt(square / (n - 2)) : 0;
  return l;
}

// How the photo leans, taken out of every block's step; whether the bars still slant within
// their passes, as a tilted head prints them.
void TakeOutLean(std::vector<Placed>& placed, double blackU, double angle, double scale,
                 PageBlocks& page) {
  // From the black column's upper passes, at the left and the right of the column: a keystone
  // leans the left and the right of the sheet apart.
  std::vector<const BarBlock*> column;
  for (const Placed& p : placed) {
    if (std::abs(p.u - blackU) < 60) column.push_back(&p.block);
  }
  const double cosA = std::cos(angle), sinA = std::sin(angle);
  const auto across = [&](const std::array<double, 2>& px) { return px[0] * cosA + px[1] * sinA; };
  std::sort(column.begin(), column.end(), [&](const BarBlock* a, const BarBlock* b) {
    return -a->leftThird[0] * sinA + a->leftThird[1] * cosA <
           -b->leftThird[0] * sinA + b->leftThird[1] * cosA;
  });
  const Lean left = FitLean(column, angle, scale, false),
             right = FitLean(column, angle, scale, true);
  page.leaned = column.size() >= 2;
  page.unexplained = std::max(left.residual, right.residual) / scale;
  std::vector<double> slants;
  if (page.leaned) {
    for (Placed& p : placed) {
      const Frame& f = p.block.frame;
      const double centre = p.block.u0 + (kBarsPerBlock - 1) * kBarPitch / 2;
      const double u = across({f.X(centre, 0), f.Y(centre, 0)});
      const double lean =
          left.lean + (right.lean - left.lean) * (u - left.at) / (right.at - left.at);
      // The lower pass stands a pass's height below the upper one: a lean moves it across.
      p.block.step -= lean * kPassesApart;
      page.lean = std::max(page.lean, std::abs(lean));
      slants.push_back(p.block.slant - lean);
    }
  }
  // A lever step tilts the head by a twentieth of a dot per dot; half of that is no lean a
  // photo leaves once its geometry is taken out.
  page.tilted = !slants.empty() && std::abs(Median(slants)) > kTiltedSlant;
}

// The slots: the first black meeting line that puts the most blocks on a slot; its place.
double AssignSlots(const std::vector<Placed>& placed, double blackU, PageBlocks& page) {
  std::vector<double> blackV;
  for (const Placed& p : placed) {
    if (std::abs(p.u - blackU) < 60) blackV.push_back(p.v);
    if (std::abs(p.u - blackU - kColourFromBlack) < 60) blackV.push_back(p.v - kColourBelowBlack);
  }
  double origin = 0;
  int bestHits = -1;
  for (const double v : blackV) {
    for (const double slot : kBidSlots) {
      int hits = 0;
      for (const double w : blackV) {
        for (const double s : kBidSlots) hits += std::abs(w - (v - slot) - s) < 40;
      }
      if (hits > bestHits) {
        bestHits = hits;
        origin = v - slot;
      }
    }
  }
  for (const Placed& p : placed) {
    const bool black = std::abs(p.u - blackU) < 60;
    const bool colour = std::abs(p.u - blackU - kColourFromBlack) < 60;
    const double v = p.v - (colour ? kColourBelowBlack : 0) - origin;
    for (std::size_t s = 0; s < kBidSlots.size(); ++s) {
      if (std::abs(v - kBidSlots[s]) >= 40) continue;
      if (black) page.black[s] = p.block;
      if (colour) page.colour[s] = p.block;
    }
  }
  return origin;
}

// Which group is which is read from the titles above them: the second sheet's lower dot type
// is ECO, the only short title. A page seen whole shows its two groups, one under the other; a
// part of a page shows one, which only the short title names. False when they cannot be named.
bool NameGroups(const SheetImage& image, double blackU, double angle, double scale, double origin,
                PageBlocks& page, Refusal& refusal) {
  bool upperSeen = false, lowerSeen = false;
  for (std::size_t s = 0; s < kBidSlots.size(); ++s) {
    const bool seen = page.black[s] || page.colour[s];
    (s < 3 ? upperSeen : lowerSeen) = (s < 3 ? upperSeen : lowerSeen) || seen;
  }
  // The title's length in dots from the left end of the black bars, where it starts; 0 when
  // there is none. Measured from inside the sheet, so a dark surround does not lengthen it, and
  // from the group's first block where it was found, whose frame a photo's perspective turns
  // and scales as it does the title.
  const auto titleLength = [&](std::size_t slot) {
    Frame f{0, 0, angle, scale};
    double from = blackU, v = origin + kBidSlots[slot];
    if (const auto& first = page.black[slot]) {
      f = first->frame;
      from = first->u0;
      v = 0;
    }
    const auto title = Profile(image, f, from + 4, from + 700, v + kTitleFrom, v + kTitleTo, 2.0);
    const double peak = title.empty() ? 0 : *std::max_element(title.begin(), title.end());
    if (peak < 0.05) return 0.0;
    int last = -1;
    for (std::size_t i = 0; i < title.size(); ++i) {
      if (title[i] > peak / 3) last = static_cast<int>(i);
    }
    return 4 + (last + 1) * 2.0;
  };
  const double upperTitle = titleLength(0);
  const double lowerTitle = titleLength(3);
  // Turned half round, the colour column passes for the black one, but no title stands above
  // a group.
  if (upperSeen && lowerSeen && upperTitle == 0 && lowerTitle == 0) {
    Refuse(refusal, RefusalKind::kUpsideDown, "the sheet is upside down: turn it");
    return false;
  }
  if (upperSeen && lowerSeen) {
    // Which sheet it is comes from the lower title alone; unread, it is not guessed.
    if (lowerTitle == 0) {
      Refuse(refusal, RefusalKind::kDegraded,
             "the title above the lower rows of bars cannot be read, so it is not known "
             "which sheet this is: scan the whole sheet, square and in focus");
      return false;
    }
    page.second = lowerTitle < kShortTitle;
  } else {
    // One group: named only when it is ECO, which then is the lower one.
    const double only = upperSeen ? upperTitle : lowerTitle;
    if (!(only > 0 && only < kShortTitle)) {
      Refuse(refusal, RefusalKind::kPartial,
             "only part of the page: scan the whole sheet (the rows of bars seen "
             "cannot be named)");
      return false;
    }
    if (upperSeen) {
      std::rotate(page.black.begin(), page.black.begin() + 3, page.black.end());
      std::rotate(page.colour.begin(), page.colour.begin() + 3, page.colour.end());
    }
    page.second = true;
  }
  return true;
}

std::optional<PageBlocks> ReadBidPage(const SheetImage& image, Refusal& refusal) {
  const double guess = GuessScale(image);
  const std::vector<Blob> blobs = FindBlobs(image, guess);
  const auto bars = FindBars(blobs, guess, refusal);
  if (!bars) return std::nullopt;
  double scale = bars->scale;
  std::vector<Placed> placed = PlaceBlocks(image, *bars, scale);
  if (placed.empty()) return Refuse(refusal, RefusalKind::kNotASheet, kNotBid);
  const auto blackU = FindBlackColumn(image, placed, bars->angle, scale, refusal);
  if (!blackU) return std::nullopt;
  PageBlocks page;
  page.noise = image.noise;
  TakeOutLean(placed, *blackU, bars->angle, scale, page);
  const double origin = AssignSlots(placed, *blackU, page);
  if (!NameGroups(image, *blackU, bars->angle, scale, origin, page, refusal)) return std::nullopt;
  return page;
}

// One Bi-D row from its three candidates' steps: each candidate says where the true value is,
// as sure as its bars agree; where the candidates agree too the value between them is trusted.
// The confidence is the chance that the whole value to register is the right one.
BidRowReading ReadBidRow(const std::array<std::optional<BarBlock>, 3>& blocks, double sign,
                         const PageBlocks& page) {
  const double noise = page.noise;
  BidRowReading row;
  row.read = true;
  std::vector<double> estimates, variances;
  double bestStep = 1e9;
  double agreement = 1;
  double pixel = 0;  // dots
  for (int k = 0; k < 3; ++k) {
    const auto& b = blocks[static_cast<std::size_t>(k)];
    row.steps[static_cast<std::size_t>(k)] = b ? b->step * sign : kNaN;
    if (!b || b->agreement < 0.5) continue;
    const double s = b->step * sign;
    if (std::abs(s) < bestStep) {
      bestStep = std::abs(s);
      row.best = k;
    }
    estimates.push_back(2.0 * (k - 1) - s / kBidDotsPerStep);
    // Far from meeting a print's step may not be linear in the value: the meeting candidate
    // counts most.
    const double model = 0.03 + 0.01 * std::abs(s);
    variances.push_back(b->error * b->error + model * model);
    agreement = std::min(agreement, b->agreement);
    pixel = std::max(pixel, 1 / b->frame.scale);
  }
  if (row.best < 0) {
    row.read = false;
    return row;
  }
  if (estimates.empty()) {
    row.offset = 2.0 * (row.best - 1);
    row.suggested = 2 * (row.best - 1);
    row.confidence = 0.2;
    return row;
  }
  // The bars repeat every pitch, so each candidate gives the value modulo the pitch: the
  // candidates are brought together first, then the value is the one within half a pitch.
  // Steps of 18 or 19 thus read as large, not as a neighbour candidate's small one.
  for (double& e : estimates) e = estimates.front() + Wrap(e - estimates.front(), kBarPitch);
  double sum = 0, wsum = 0;
  for (std::size_t i = 0; i < estimates.size(); ++i) {
    sum += estimates[i] / variances[i];
    wsum += 1 / variances[i];
  }
  const double turns = kBarPitch * std::round(sum / wsum / kBarPitch);
  for (double& e : estimates) e -= turns;
  row.offset = sum / wsum - turns;
  double spread = 0, chi2 = 0;
  for (std::size_t i = 0; i < estimates.size(); ++i) {
    const double d = estimates[i] - row.offset;
    spread = std::max(spread, std::abs(d));
    chi2 += d * d / variances[i];
  }
  // Candidates that disagree beyond their own errors widen the error by as much; a floor for
  // what no scan shows (paper stretch, a pass that wanders).
  double sigma2 = 1 / wsum;
  if (estimates.size() > 1)
    sigma2 *= std::max(1.0, chi2 / static_cast<double>(estimates.size() - 1));
  // Grain on a coarse scan moves the bars by parts of a pixel the same way in every candidate,
  // which no spread shows.
  const double grain = 7 * noise * pixel;
  // What the page's geometry did not explain; a lean that could not be measured (one block of
  // the black column seen) may be as large as a hand-held photo gives.
  const double geometry = page.leaned ? page.unexplained : 0.3;
  const double sigma = std::sqrt(sigma2 + 0.08 * 0.08 + grain * grain + geometry * geometry);
  row.suggested = static_cast<int>(std::lround(row.offset));
  const double off = std::abs(row.offset - row.suggested);
  double confidence = NormalCdf((0.5 - off) / sigma) + NormalCdf((0.5 + off) / sigma) - 1;
  // Bars lost to a smudge or a speck, and a single candidate without a second opinion.
  confidence *= std::min(1.0, agreement / 0.8);
  if (estimates.size() < 2) confidence *= 0.8;
  row.confidence = std::clamp(confidence, 0.0, 1.0);
  if (spread > 1.0) {
    // The candidates disagree by more than a value: say only which one meets best, when one
    // nearly meets; far from all of them keep the reading, unsure.
    if (bestStep < 3) {
      row.suggested = 2 * (row.best - 1);
      row.offset = row.suggested;
    }
    row.confidence = std::min(row.confidence, 0.3);
  }
  // Half a pitch either way shows the same bars.
  if (std::abs(row.offset) > kBarPitch / 2 - 0.5) row.confidence = std::min(row.confidence, 0.3);
  return row;
}

}  // namespace

std::optional<BidReading> ReadBidSheets(const std::vector<SheetImage>& pages, Refusal& refusal) {
  if (pages.empty() || pages.size() > 2) {
    return Refuse(refusal, RefusalKind::kWrongPages, "give the one or two pages of one Bi-D print");
  }
  std::array<std::optional<PageBlocks>, 2> sheets;
  for (const SheetImage& image : pages) {
    auto page = ReadBidPage(image, refusal);
    if (!page && refusal.kind == RefusalKind::kUpsideDown)
      page = ReadBidPage(Turned(image, 2), refusal);
    if (!page) return std::nullopt;
    auto& slot = sheets[page->second ? 1 : 0];
    if (slot) {
      return Refuse(refusal, RefusalKind::kWrongPages,
                    page->second
                        ? "both pages are the second sheet (VSD3 and ECO) of a Bi-D print"
                        : "both pages are the first sheet (VSD1 and VSD2) of a Bi-D print");
    }
    slot = *page;
  }
  for (const auto& sheet : sheets) {
    if (sheet && sheet->tilted) {
      return Refuse(refusal, RefusalKind::kHeadTilted,
                    "the head looks tilted: adjust the head angle first (the bars slant within "
                    "each pass)");
    }
  }
  BidReading reading;
  // The colour blocks' passes are printed the other way round.
  constexpr double kBlackSign = 1, kColourSign = 1;
  for (std::size_t row = 0; row < 8; ++row) {
    const std::size_t type = row / 2;  // VSD1, VSD2, VSD3, ECO
    const bool colour = row % 2 == 1;
    BidRowReading r;
    const auto& sheet = sheets[type / 2];
    if (sheet) {
      const auto& column = colour ? sheet->colour : sheet->black;
      const std::size_t from = (type % 2) * 3;
      r = ReadBidRow({column[from], column[from + 1], column[from + 2]},
                     colour ? kColourSign : kBlackSign, *sheet);
    }
    r.dotType = static_cast<int>(4 + type);
    r.colour = colour;
    reading.rows[row] = r;
  }
  bool any = false;
  for (const auto& r : reading.rows) any = any || (r.read && r.confidence > 0);
  if (!any) {
    return Refuse(refusal, RefusalKind::kDegraded,
                  "the sheet is too degraded to read: no row of bars could be measured");
  }
  return reading;
}

std::optional<BidReading> ReadBidSheets(const std::vector<SheetImage>& pages, std::string& why) {
  Refusal refusal;
  auto reading = ReadBidSheets(pages, refusal);
  if (!reading) why = refusal.words;
  return reading;
}

}  // namespace vantor::sheet
