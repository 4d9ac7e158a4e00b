#include <algorithm>

#include "raster/Malbid.h"
#include "raster/Malraster.h"
#include "raster/PatternTables.h"

namespace vantor {

using namespace raster;

namespace {

constexpr char kModelLineQ40[] = "    ******************* Vantor Q40";
constexpr char kModelLineQ30[] = "    ******************* Vantor Q30";
constexpr char kPageLine1[] = " CHECK PATTERN PRINT 1/4 *******************";
constexpr char kPageLine2[] = " CHECK PATTERN PRINT 2/4 *******************";
constexpr char kPageLine3[] = " CHECK PATTERN PRINT 3/4 *******************";
constexpr char kPageLine4[] = " CHECK PATTERN PRINT 4/4 *******************";
constexpr char kSectionTen[] = "10. ";
constexpr char kHeadIdLead[] = "Head ID = ";
constexpr char kUsbIdLead[] = "USB ID = ";
constexpr char kCounterLead[] = "Protection Counter = ";
static_assert(sizeof kModelLineQ40 == 35 && sizeof kModelLineQ30 == 35);
static_assert(sizeof kPageLine1 == 45 && sizeof kPageLine4 == 45);
static_assert(sizeof kSectionTen == 5 && sizeof kHeadIdLead == 11);
static_assert(sizeof kUsbIdLead == 10 && sizeof kCounterLead == 22);

constexpr const char (*kPageLines[])[45] = {&kPageLine1, &kPageLine2, &kPageLine3, &kPageLine4};

// A readout field: blanks and a closing zero byte, overwritten by the text with its own zero.
// All but the closing byte are sent.
template <std::size_t N>
std::array<char, N> Field(const std::array<char, N>& text) {
  std::array<char, N> field;
  field.fill(' ');
  field[N - 1] = '\0';
  const auto end = std::find(text.begin(), text.begin() + (N - 1), '\0');
  const auto copied = std::copy(text.begin(), end, field.begin());
  if (copied != field.end()) *copied = '\0';
  return field;
}

template <std::size_t N>
std::span<const std::uint8_t> FieldBytes(const std::array<char, N>& field) {
  return {reinterpret_cast<const std::uint8_t*>(field.data()), N - 1};
}

}  // namespace

Result Raster::PrintCheckPattern(const CheckReadouts& readouts, JobSteps& steps) {
  const auto wait = [&] { return steps.WaitUntilReady(); };
  // The Bi-D candidates centre on the stored values.
  const auto s = [&](std::size_t i) {
    return static_cast<int>(static_cast<std::int8_t>(readouts.bid[i]));
  };

  const int model = readouts.model;
  const auto header = [&](int page) -> Result {
    if (model == 0) VANTOR_TRY(SendText(kModelLineQ40));
    if (model == 1) VANTOR_TRY(SendText(kModelLineQ30));
    VANTOR_TRY(SendText(*kPageLines[page - 1]));
    return LineFeed(2);
  };
  char sectionField[] = "1. ";
  bool firstSection = true;
  const auto section = [&]() -> Result {
    if (!firstSection) ++sectionField[0];
    firstSection = false;
    return SendText(sectionField);
  };

  // Page 1: solid blocks, nozzle checks, alignment, column shift.
  VANTOR_TRY(header(1));
  VANTOR_TRY(wait());
  VANTOR_TRY(section());
  VANTOR_TRY(PrintBetaPattern());
  VANTOR_TRY(LineFeed(6));
  VANTOR_TRY(wait());
  VANTOR_TRY(section());
  VANTOR_TRY(PrintNozzleCheckPattern());
  VANTOR_TRY(LineFeed(1));
  VANTOR_TRY(PrintNozzleCheckVsd2());
  VANTOR_TRY(LineFeed(7));
  VANTOR_TRY(PrintNozzleCheckVsd3());
  VANTOR_TRY(LineFeed(7));
  VANTOR_TRY(wait());
  VANTOR_TRY(section());
  VANTOR_TRY(PrintAlignmentPattern());
  VANTOR_TRY(LineFeed(7));
  VANTOR_TRY(wait());
  VANTOR_TRY(section());
  VANTOR_TRY(PrintNozzleColumnShift());
  VANTOR_TRY(wait());
  VANTOR_TRY(FormFeed());
  VANTOR_TRY(wait());

  // Page 2: Bi-D VSD1 and VSD2.
  VANTOR_TRY(header(2));
  VANTOR_TRY(steps.FactoryCommandD1(0));
  VANTOR_TRY(section());
  VANTOR_TRY(SendText(kBidTitle));
  VANTOR_TRY(LineFeed(1));
  VANTOR_TRY(Bid(kVsd1, s(0), s(1), steps));
  VANTOR_TRY(Bid(kVsd2, s(2), s(3), steps));
  VANTOR_TRY(FormFeed());
  VANTOR_TRY(wait());

  // Page 3: Bi-D VSD3 and ECO.
  VANTOR_TRY(header(3));
  VANTOR_TRY(Bid(kVsd3, s(4), s(5), steps));
  VANTOR_TRY(Bid(kEco, s(6), s(7), steps));
  VANTOR_TRY(steps.FactoryCommandD1(255));
  VANTOR_TRY(FormFeed());
  VANTOR_TRY(wait());

  // Page 4: head angular, PF and the readouts.
  VANTOR_TRY(header(4));
  VANTOR_TRY(steps.FactoryCommandD1(0));
  VANTOR_TRY(section());
  VANTOR_TRY(PrintHeadAngularPattern(steps));
  VANTOR_TRY(InitPrinter());
  VANTOR_TRY(steps.FactoryCommandCB());
  VANTOR_TRY(steps.FactoryCommandD1(255));
  VANTOR_TRY(LineFeed(4));
  VANTOR_TRY(section());
  std::uint8_t pf = 0;
  VANTOR_TRY(steps.ReadPfValue(pf));
  VANTOR_TRY(PrintCurrentPfPattern(pf));
  VANTOR_TRY(LineFeed(6));
  VANTOR_TRY(section());
  VANTOR_TRY(SendText(kHeadIdLead));
  VANTOR_TRY(Send(FieldBytes(Field(readouts.headId))));
  VANTOR_TRY(LineFeed(3));
  VANTOR_TRY(section());
  VANTOR_TRY(SendText(kUsbIdLead));
  VANTOR_TRY(Send(FieldBytes(Field(readouts.usbId))));
  VANTOR_TRY(LineFeed(3));
  VANTOR_TRY(SendText(kSectionTen));
  VANTOR_TRY(SendText(kCounterLead));
  VANTOR_TRY(Send(FieldBytes(Field(readouts.counter))));
  VANTOR_TRY(LineFeed(2));
  return FormFeed();
}

}  // namespace vantor
