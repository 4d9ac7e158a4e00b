// Where the printed marks stand on a scan: frames, profiles along them, and the marks found.
// Shared by the Bi-D and the PF reader.
#pragma once

#include <complex>
#include <cstdint>
#include <limits>
#include <numbers>
#include <optional>
#include <string>
#include <vector>

#include "sheet/SheetImage.h"
#include "sheet/SheetReader.h"

namespace vantor::sheet::detail {

using Complex = std::complex<double>;
inline constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
inline constexpr double kA4WidthDots = 2976, kA4LengthDots = 4209;
inline constexpr const char* kAtAnAngle =
    "photographed at an angle: hold the phone square or use a scanner";
inline constexpr const char* kMirrored =
    "the image is mirrored (scanned through the paper, or taken with a front camera): scan or "
    "photograph the printed side as it is";
// Beyond this the image is no sheet laid on a scanner or held before a camera.
inline constexpr double kMaxTilt = 11 * std::numbers::pi / 180;

// Sets the refusal; for `return Refuse(...)` in readers that return an optional.
std::nullopt_t Refuse(Refusal& refusal, RefusalKind kind, std::string words);

double Wrap(double d, double period);
double Median(std::vector<double> v);
double AngleNear0(double a);
double NormalCdf(double x);
// The chance that rounding `value` gives the right whole number when its error is `sigma`.
double RoundingConfidence(double value, double sigma);

// A frame on the page: u along the rows of the pattern, v down the sheet, both in dots.
struct Frame {
  double cx = 0, cy = 0;  // origin in pixels
  double angle = 0;       // of the u axis against the image rows
  double scale = 1;       // pixels per dot
  // How far the v axis leans towards u, in dots of u per dot of v: the shear a camera held at
  // an angle gives.
  double lean = 0;

  double X(double u, double v) const;
  double Y(double u, double v) const;
};

// Mean darkness along u over the v range, sampled every `step` dots from u0 to u1.
std::vector<double> Profile(const SheetImage& image, const Frame& f, double u0, double u1,
                            double v0, double v1, double step);
// Mean darkness along v over the u range (a column profile).
std::vector<double> ColumnProfile(const SheetImage& image, const Frame& f, double u0, double u1,
                                  double v0, double v1, double step);
// Fourier coefficient of a profile at the given period, positions from u0 in `step`s.
Complex Coefficient(const std::vector<double>& p, double u0, double step, double period,
                    std::size_t from = 0, std::size_t to = SIZE_MAX);
// Where bars of the period stand, modulo the period.
double Phase(Complex c, double period);
// Where a profile crosses halfway between its ink and its paper, from index from towards to;
// -1 when it does not.
double Crossing(const std::vector<double>& p, long from, long to);

struct Blob {
  double cx = 0, cy = 0;  // pixels
  double angle = 0;
  double length = 0, height = 0;  // pixels, along and across
  double fill = 0;                // share of the box that is inked
  bool edge = false;              // touches the image border: a crop or the scanner lid
};

std::vector<Blob> FindBlobs(const SheetImage& image, double guessScale);
double GuessScale(const SheetImage& image);

// The image turned by quarter turns clockwise.
SheetImage Turned(const SheetImage& image, int quarters);

}  // namespace vantor::sheet::detail
