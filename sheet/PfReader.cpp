#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <vector>

#include "sheet/PageGeometry.h"
#include "sheet/SheetReader.h"

namespace vantor::sheet {

namespace {

using namespace detail;

// The PF sheet in printer dots: each candidate prints a bar 122 bytes wide with the last 60
// nozzles, then, after the feed, one 36 bytes further right with the first 60.
constexpr double kPfBarWidth = 488;
constexpr double kPfShift = 144;
constexpr int kPfCandidates = 9;
constexpr double kPfBarHeight = 120;  // 60 nozzles two dots apart

const char* const kNotPf =
    "this image is not a PF adjustment sheet printed by this tool (the nine candidates were not "
    "found)";

struct Joint {
  double gap = 0;               // dots, between the two edges as they stand in the frame
  double slope = 0;             // of the rows against the frame, dots down per dot along
  double apart = 0;             // dots along the row between the two edges
  double leftX = 0, leftY = 0;  // the upper bar's left end, pixels
  double height = kNaN;         // of the two bars, dots
  bool mirrored = false;        // the bars offset the other way: nothing else was measured
};

// The gap of one candidate's joint, with the frame in pixels (scale 1) at the blob.
// With `whole` false only the bars' ends are found, to line the joints up.
std::optional<Joint> MeasureJoint(const SheetImage& image, const Blob& blob, double angle,
                                  bool whole) {
  Frame f{blob.cx, blob.cy, angle, 1};
  const double reach = std::sqrt(blob.length * blob.length + blob.height * blob.height);
  // Through the middle both bars stand: the joint's whole height, from the outside in, as a
  // gap may part the middle. Not as far as the next candidate's joint.
  const double down = 0.75 * blob.height;
  const auto middle = ColumnProfile(image, f, -reach / 20, reach / 20, -down, down, 0.5);
  const long last = static_cast<long>(middle.size()) - 1;
  const double top = Crossing(middle, 0, last), bottom = Crossing(middle, last, 0);
  if (top < 0 || bottom < 0) return std::nullopt;
  const double vTop = -down + top * 0.5, vBottom = -down + bottom * 0.5;
  const double h = vBottom - vTop;
  const auto upper = Profile(image, f, -reach, reach, vTop + 0.15 * h, vTop + 0.35 * h, 0.5);
  const auto lower = Profile(image, f, -reach, reach, vBottom - 0.35 * h, vBottom - 0.15 * h, 0.5);
  const long mid = static_cast<long>(upper.size() / 2);
  const double l1 = Crossing(upper, mid, 0), r1 = Crossing(upper, mid, 2 * mid - 1);
  const double l2 = Crossing(lower, mid, 0), r2 = Crossing(lower, mid, 2 * mid - 1);
  if (l1 < 0 || r1 < 0 || l2 < 0 || r2 < 0) return std::nullopt;
  const double scale = (r1 - l1) * 0.5 / kPfBarWidth;  // pixels per dot
  const double shift = (l2 - l1) * 0.5 / scale;
  if (std::abs((r2 - l2) / (r1 - l1) - 1) > 0.1) return std::nullopt;
  // The lower bar starts left of the upper one only in a mirror image.
  if (std::abs(shift / kPfShift + 1) < 0.25) return Joint{.mirrored = true};
  if (std::abs(shift / kPfShift - 1) > 0.25) return std::nullopt;
  if (!whole) {
    const double uL1 = -reach + l1 * 0.5;
    return Joint{.leftX = f.X(uL1, vTop + 0.25 * h), .leftY = f.Y(uL1, vTop + 0.25 * h)};
  }
  // Left of the lower bar only the upper one ends; right of the upper bar only the lower one
  // starts. The two edges stand a bar's width apart along the row, so the rows' own slope is
  // taken out: a camera's lean or keystone tilts them against the column of joints.
  const double uL1 = -reach + l1 * 0.5, uL2 = -reach + l2 * 0.5;
  const double uR1 = -reach + r1 * 0.5, uR2 = -reach + r2 * 0.5;
  const double width = uL2 - uL1;
  const double inset = 0.2 * width;
  const double step = 0.5;
  struct Edges {
    double top = -1, bottom = -1;  // v, or below vTop - h when not found
    double u = 0;                  // middle of the stretch
  };
  // The outer edges of what is inked in a stretch along the row; `inner` is where the joint's
  // own edge is looked for, from inside the bar outwards.
  const auto edges = [&](double u0, double u1, double v0, double v1) {
    const auto p = ColumnProfile(image, f, u0, u1, v0, v1, step);
    const long end = static_cast<long>(p.size()) - 1;
    Edges e;
    e.u = (u0 + u1) / 2;
    const double t = Crossing(p, 0, end), b = Crossing(p, end, 0);
    e.top = t < 0 ? kNaN : v0 + t * step;
    e.bottom = b < 0 ? kNaN : v0 + b * step;
    return e;
  };
  const Edges a = edges(uL1 + inset, uL2 - inset, vTop - h / 4, vTop + h / 2);
  const Edges aEnd = edges(uL1 + inset, uL2 - inset, vTop + h / 4, vBottom);
  const Edges b = edges(uR1 + inset, uR2 - inset, vBottom - h / 2, vBottom + h / 4);
  const Edges bStart = edges(uR1 + inset, uR2 - inset, vTop, vBottom - h / 4);
  const Edges upperRight = edges(uR1 - width + inset, uR1 - inset, vTop - h / 4, vTop + h / 2);
  const Edges lowerLeft = edges(uL2 + inset, uL2 + width - inset, vBottom - h / 2, vBottom + h / 4);
  const double rowSlope = ((upperRight.top - a.top) / (upperRight.u - a.u) +
                           (b.bottom - lowerLeft.bottom) / (b.u - lowerLeft.u)) /
                          2;
  const double gap = bStart.top - aEnd.bottom;
  if (!std::isfinite(gap) || !std::isfinite(rowSlope)) return std::nullopt;
  const double height = (aEnd.bottom - a.top + b.bottom - bStart.top) / 2 / scale;
  return Joint{gap / scale,
               rowSlope,
               (b.u - a.u) / scale,
               f.X(uL1, vTop + 0.25 * h),
               f.Y(uL1, vTop + 0.25 * h),
               height};
}

// The candidates printed, and the feed's step between two of them, in dots.
constexpr int kPfLowest = -4, kPfHighest = 4;
constexpr double kPfDotsPerStep = 2;

// The candidates' joints down the page, first to last; `filled` holds those put where a lost
// one must stand.
std::vector<const Blob*> FindJoints(const std::vector<Blob>& blobs, std::vector<Blob>& filled) {
  // Solid joints, two bars offset: wider than tall, about alike.
  std::vector<const Blob*> joints;
  for (const Blob& b : blobs) {
    if (!b.edge && b.fill > 0.5 && b.length > 1.5 * b.height && b.length < 5 * b.height) {
      joints.push_back(&b);
    }
  }
  std::vector<double> sizes;
  for (const Blob* b : joints) sizes.push_back(b->length);
  const double size = Median(sizes);
  std::erase_if(joints, [size](const Blob* b) { return std::abs(b->length / size - 1) > 0.2; });
  std::sort(joints.begin(), joints.end(),
            [](const Blob* a, const Blob* b) { return a->cy < b->cy; });
  // A crease or a pen line across a joint joins it to a mark of another shape. With the first
  // and the last joint found, the others stand evenly between them: the lost one is measured
  // where it must be.
  if (joints.size() >= kPfCandidates - 2 && joints.size() < kPfCandidates) {
    const Blob& first = *joints.front();
    const Blob& last = *joints.back();
    const double dx = (last.cx - first.cx) / (kPfCandidates - 1);
    const double dy = (last.cy - first.cy) / (kPfCandidates - 1);
    bool even = dy > 0;
    std::array<const Blob*, kPfCandidates> at{};
    for (const Blob* b : joints) {
      const long k = std::lround((b->cy - first.cy) / dy);
      if (k < 0 || k >= kPfCandidates || at[static_cast<std::size_t>(k)] ||
          std::abs(b->cy - first.cy - static_cast<double>(k) * dy) > 0.1 * dy) {
        even = false;
        break;
      }
      at[static_cast<std::size_t>(k)] = b;
    }
    if (even) {
      filled.reserve(kPfCandidates);
      for (std::size_t k = 0; k < kPfCandidates; ++k) {
        if (at[k]) continue;
        Blob b = first;
        b.cx = first.cx + dx * static_cast<double>(k);
        b.cy = first.cy + dy * static_cast<double>(k);
        filled.push_back(b);
        at[k] = &filled.back();
      }
      joints.assign(at.begin(), at.end());
    }
  }
  return joints;
}

// Each joint measured in a frame along the column of joints.
std::optional<std::array<Joint, kPfCandidates>> MeasureJoints(
    const SheetImage& image, const std::vector<const Blob*>& joints, Refusal& refusal) {
  // The candidates stand one under the other, and the upper bars' left ends in a line: first
  // roughly from the joints' middles (which a growing gap moves), then from those ends.
  std::vector<std::pair<double, double>> points;
  for (const Blob* b : joints) points.emplace_back(b->cx, b->cy);
  std::array<Joint, kPfCandidates> measured{};
  for (int pass = 0; pass < 2; ++pass) {
    double mx = 0, my = 0, sxy = 0, syy = 0;
    for (const auto& [x, y] : points) {
      mx += x / kPfCandidates;
      my += y / kPfCandidates;
    }
    for (const auto& [x, y] : points) {
      sxy += (x - mx) * (y - my);
      syy += (y - my) * (y - my);
    }
    const double angle = std::atan2(-sxy, syy);
    if (std::abs(angle) > kMaxTilt) {
      return Refuse(refusal, RefusalKind::kNotASheet, kNotPf);
    }
    for (std::size_t k = 0; k < kPfCandidates; ++k) {
      const auto joint = MeasureJoint(image, *joints[k], angle, pass == 1);
      if (!joint) {
        return Refuse(refusal, RefusalKind::kDegraded,
                      "the PF sheet is too degraded to read: a candidate's joint could not be "
                      "measured");
      }
      if (joint->mirrored) return Refuse(refusal, RefusalKind::kMirrored, kMirrored);
      measured[k] = *joint;
      points[k] = {joint->leftX, joint->leftY};
    }
  }
  return measured;
}

// The gaps as the bars would meet on a page seen square, with the ink as printed.
std::optional<std::array<double, kPfCandidates>> Gaps(
    const std::array<Joint, kPfCandidates>& measured, Refusal& refusal) {
  // The rows' slope changes slowly down the page (not at all for a lean, evenly for a
  // keystone): a line through the joints' own slopes takes their noise out, fitted by medians
  // so that a joint a crease runs through does not bend it.
  std::vector<double> pairSlopes, starts;
  for (std::size_t k = 0; k < kPfCandidates; ++k) {
    for (std::size_t l = k + 1; l < kPfCandidates; ++l) {
      pairSlopes.push_back((measured[l].slope - measured[k].slope) / static_cast<double>(l - k));
    }
  }
  const double slopeTrend = Median(pairSlopes);
  for (std::size_t k = 0; k < kPfCandidates; ++k)
    starts.push_back(measured[k].slope - slopeTrend * static_cast<double>(k));
  const double slopeAt0 = Median(starts);
  // Rows leaning by more than a few degrees against the column of joints: no flat sheet seen
  // at a slight angle.
  if (std::max(std::abs(slopeAt0), std::abs(slopeAt0 + slopeTrend * (kPfCandidates - 1))) > 0.05) {
    return Refuse(refusal, RefusalKind::kAngle, kAtAnAngle);
  }
  // Ink that spreads (a copier's toner, soaking paper) makes each bar taller and the gap
  // smaller by as much; the bars' own height shows how much, the same all down the page.
  std::vector<double> heights;
  for (const Joint& j : measured) heights.push_back(j.height);
  const double inkSpread = Median(heights) - kPfBarHeight;
  std::array<double, kPfCandidates> gaps{};
  for (int k = 0; k < kPfCandidates; ++k) {
    const Joint& j = measured[static_cast<std::size_t>(k)];
    gaps[static_cast<std::size_t>(k)] = j.gap + inkSpread - (slopeAt0 + slopeTrend * k) * j.apart;
  }
  return gaps;
}

// A line through the gaps against the candidates, with the joint furthest off it left out
// once when it stands well off.
struct GapLine {
  double slope = 0, intercept = 0, n = 0, residual = 0;
};

GapLine FitGaps(const std::array<double, kPfCandidates>& gaps) {
  // The gap grows with the candidate by the feed's step; where it is nought the feed is true.
  // A joint a crease or a mark runs through stands off that line: it is left out, once.
  std::array<bool, kPfCandidates> used{};
  used.fill(true);
  GapLine line;
  double& slope = line.slope;
  double& intercept = line.intercept;
  double& n = line.n;
  double& residual = line.residual;
  for (int round = 0; round < 2; ++round) {
    double sc = 0, sg = 0, scc = 0, scg = 0;
    n = 0;
    for (int k = 0; k < kPfCandidates; ++k) {
      if (!used[static_cast<std::size_t>(k)]) continue;
      const double gap = gaps[static_cast<std::size_t>(k)];
      const double c = k - 4;
      n += 1;
      sc += c;
      sg += gap;
      scc += c * c;
      scg += c * gap;
    }
    slope = (n * scg - sc * sg) / (n * scc - sc * sc);
    intercept = (sg - slope * sc) / n;
    residual = 0;
    double worst = 0;
    int worstAt = -1;
    std::vector<double> offs;
    for (int k = 0; k < kPfCandidates; ++k) {
      const double r = gaps[static_cast<std::size_t>(k)] - (slope * (k - 4) + intercept);
      if (!used[static_cast<std::size_t>(k)]) continue;
      residual += r * r;
      offs.push_back(std::abs(r));
      if (std::abs(r) > worst) {
        worst = std::abs(r);
        worstAt = k;
      }
    }
    if (round == 0 && worstAt >= 0 && worst > std::max(1.0, 4 * Median(offs))) {
      used[static_cast<std::size_t>(worstAt)] = false;
    } else {
      break;
    }
  }
  return line;
}

// Reads the page as it stands; `reversed` is set when the gaps shrink down the page, as they do
// on a sheet turned upside down.
std::optional<PfReading> ReadPfAsItStands(const SheetImage& image, Refusal& refusal,
                                          bool& reversed) {
  reversed = false;
  const std::vector<Blob> blobs = FindBlobs(image, GuessScale(image));
  std::vector<Blob> filled;
  const std::vector<const Blob*> joints = FindJoints(blobs, filled);
  if (joints.size() != kPfCandidates) {
    return Refuse(refusal, RefusalKind::kNotASheet, kNotPf);
  }
  const auto measured = MeasureJoints(image, joints, refusal);
  if (!measured) return std::nullopt;
  const auto gaps = Gaps(*measured, refusal);
  if (!gaps) return std::nullopt;
  PfReading reading;
  reading.gaps = *gaps;
  const auto [slope, intercept, n, residual] = FitGaps(reading.gaps);
  // The pattern's own step tells the sheet's way up and whether the joints were measured at
  // all: the upper bar of each joint is printed first, so the gap grows down the page.
  if (std::abs(std::abs(slope) / kPfDotsPerStep - 1) > 0.25) {
    return Refuse(refusal, RefusalKind::kDegraded,
                  "the PF sheet is too degraded to read: the joints do not change by the "
                  "printed step from one candidate to the next");
  }
  if (slope < 0) {
    reversed = true;
    return Refuse(refusal, RefusalKind::kUpsideDown, "the sheet is upside down: turn it");
  }
  const double spread = std::sqrt(residual / (n - 2)) / std::abs(slope);
  reading.value = -intercept / slope;
  if (reading.value < kPfLowest - 0.5 || reading.value > kPfHighest + 0.5) {
    // Outside the candidates the line is extrapolated, not seen meeting.
    return Refuse(refusal, RefusalKind::kOutOfReach,
                  "the feed is off beyond the printed candidates (-4 to +4): the bars meet at "
                  "none of them, so no value can be read; have the paper feed serviced");
  }
  reading.suggested = static_cast<int>(std::lround(reading.value));
  const double sigma = std::sqrt(spread * spread / n + 0.08 * 0.08);
  reading.confidence = RoundingConfidence(reading.value, sigma);
  return reading;
}

}  // namespace

std::optional<PfReading> ReadPfSheet(const SheetImage& image, Refusal& refusal) {
  // Upright first; a sheet turned a quarter shows no joints, a sheet upside down reversed ones.
  for (const int quarters : {0, 1, 3}) {
    const SheetImage turned = Turned(image, quarters);
    bool reversed = false;
    auto reading = ReadPfAsItStands(turned, refusal, reversed);
    if (reversed) reading = ReadPfAsItStands(Turned(turned, 2), refusal, reversed);
    if (reading || refusal.kind != RefusalKind::kNotASheet) return reading;
  }
  return Refuse(refusal, RefusalKind::kNotASheet, kNotPf);
}

std::optional<PfReading> ReadPfSheet(const SheetImage& image, std::string& why) {
  Refusal refusal;
  auto reading = ReadPfSheet(image, refusal);
  if (!reading) why = refusal.words;
  return reading;
}

}  // namespace vantor::sheet
