#include <algorithm>
#include <cmath>
#include <optional>

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

const char* const kNotPf =
    "this image is not a PF adjustment sheet printed by this tool (the nine candidates were not "
    "found)";

// Where a profile crosses halfway between its ink and its paper, from index from towards to;
struct Joint {
  double gap = 0;               // dots
  double leftX = 0, leftY = 0;  // the upper bar's left end, pixels
};

// The gap of one candidate's joint, with the frame in pixels (scale 1) at the blob.
std::optional<Joint> MeasureJoint(const SheetImage& image, const Blob& blob, double angle) {
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
  if (std::abs(shift / kPfShift - 1) > 0.25 || std::abs((r2 - l2) / (r1 - l1) - 1) > 0.1) {
    return std::nullopt;
  }
  // Left of the lower bar only the upper one ends; right of the upper bar only the lower one
  // starts.
  const double uL1 = -reach + l1 * 0.5, uL2 = -reach + l2 * 0.5;
  const double uR1 = -reach + r1 * 0.5, uR2 = -reach + r2 * 0.5;
  const double inset = 0.2 * (uL2 - uL1);
  const auto aOnly = ColumnProfile(image, f, uL1 + inset, uL2 - inset, vTop - h / 4, vBottom, 0.5);
  const auto bOnly = ColumnProfile(image, f, uR1 + inset, uR2 - inset, vTop, vBottom + h / 4, 0.5);
  // From inside each bar outwards to its edge at the joint.
  const double upperEnd =
      Crossing(aOnly, static_cast<long>(h / 2 / 0.5), static_cast<long>(aOnly.size()) - 1);
  const double lowerStart = Crossing(bOnly, static_cast<long>(0.75 * h / 0.5), 0);
  if (upperEnd < 0 || lowerStart < 0) return std::nullopt;
  const double vUpperEnd = vTop - h / 4 + upperEnd * 0.5;
  const double vLowerStart = vTop + lowerStart * 0.5;
  return Joint{(vLowerStart - vUpperEnd) / scale, f.X(uL1, vTop + 0.25 * h),
               f.Y(uL1, vTop + 0.25 * h)};
}

}  // namespace

std::optional<PfReading> ReadPfSheet(const SheetImage& image, std::string& why) {
  const std::vector<Blob> blobs = FindBlobs(image, GuessScale(image));
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
  if (joints.size() != kPfCandidates) {
    why = kNotPf;
    return std::nullopt;
  }
  std::sort(joints.begin(), joints.end(),
            [](const Blob* a, const Blob* b) { return a->cy < b->cy; });
  // The candidates stand one under the other, and the upper bars' left ends in a line: first
  // roughly from the joints' middles (which a growing gap moves), then from those ends.
  std::vector<std::pair<double, double>> points;
  for (const Blob* b : joints) points.emplace_back(b->cx, b->cy);
  double angle = 0;
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
    angle = std::atan2(-sxy, syy);
    if (std::abs(angle) > kMaxTilt) {
      why = kNotPf;
      return std::nullopt;
    }
    for (std::size_t k = 0; k < kPfCandidates; ++k) {
      const auto joint = MeasureJoint(image, *joints[k], angle);
      if (!joint) {
        why = "the PF sheet is too degraded to read: a candidate's joint could not be measured";
        return std::nullopt;
      }
      measured[k] = *joint;
      points[k] = {joint->leftX, joint->leftY};
    }
  }
  PfReading reading;
  double sc = 0, sg = 0, scc = 0, scg = 0;
  for (int k = 0; k < kPfCandidates; ++k) {
    const double gap = measured[static_cast<std::size_t>(k)].gap;
    reading.gaps[static_cast<std::size_t>(k)] = gap;
    const double c = k - 4;
    sc += c;
    sg += gap;
    scc += c * c;
    scg += c * gap;
  }
  // The gap grows with the candidate by the feed's step; where it is nought the feed is true.
  const double n = kPfCandidates;
  const double slope = (n * scg - sc * sg) / (n * scc - sc * sc);
  const double intercept = (sg - slope * sc) / n;
  if (std::abs(slope) < 0.5) {
    why =
        "the PF sheet is too degraded to read: the joints do not change from one candidate to "
        "the next";
    return std::nullopt;
  }
  double residual = 0;
  for (int k = 0; k < kPfCandidates; ++k) {
    const double r = reading.gaps[static_cast<std::size_t>(k)] - (slope * (k - 4) + intercept);
    residual += r * r;
  }
  const double spread = std::sqrt(residual / (n - 2)) / std::abs(slope);
  reading.value = -intercept / slope;
  reading.suggested = static_cast<int>(std::lround(reading.value));
  const double sigma = std::sqrt(spread * spread / n + 0.08 * 0.08);
  const double off = std::abs(reading.value - reading.suggested);
  reading.confidence =
      std::clamp(NormalCdf((0.5 - off) / sigma) + NormalCdf((0.5 + off) / sigma) - 1, 0.0, 1.0);
  return reading;
}

}  // namespace vantor::sheet
