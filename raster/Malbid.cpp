#include "raster/Malbid.h"

#include <charconv>
#include <span>

#include "link/Fatal.h"
#include "raster/Malraster.h"
#include "raster/PatternTables.h"

namespace vantor {

using namespace raster;

namespace {

constexpr std::string_view kDotTypeError = "ドットサイズ指定エラー(Raster.Bid())";
constexpr int kNotANumber = 100;
static_assert(kNotANumber > kBidMax, "no number must be refused as out of range");
// SetBidValues leaves a field holding this value unchanged in the printer.
constexpr int kUnchanged = -128;

bool IsBidDotType(int dotType) {
  return dotType >= kVsd1 && dotType <= kEco;
}

std::span<const char> BidTitle(int dotType) {
  switch (dotType) {
    case kVsd1:
      return kBidVsd1Title;
    case kVsd2:
      return kBidVsd2Title;
    case kVsd3:
      return kBidVsd3Title;
    case kEco:
      return kBidEcoTitle;
    default:
      FatalProgramError(kDotTypeError);
  }
}

// nullptr for a dot type outside 4..7.
const fields::Field* BidFieldOf(std::uint8_t which, std::uint8_t dotType) {
  if (!IsBidDotType(dotType)) return nullptr;
  // The frame numbers the dot types from 1 (see FactoryCommands::SetBidValues).
  return fields::BidField(dotType - kVsd1 + 1, which != kBidBlack);
}

}  // namespace

std::uint8_t BidAddress(std::uint8_t which, std::uint8_t dotType) {
  const fields::Field* field = BidFieldOf(which, dotType);
  return field != nullptr ? field->address : 0;
}

std::uint16_t BidRangeCode(std::uint8_t which, std::uint8_t dotType) {
  if (!IsBidDotType(dotType)) return 0;
  const auto index = static_cast<std::uint16_t>(dotType - kVsd1);
  return static_cast<std::uint16_t>((which == kBidBlack ? 0x1001 : 0x1005) + index);
}

int TextToInt(std::string_view text, int otherwise) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  if (text.empty()) return otherwise;
  int value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc{} || end != text.data() + text.size()) return otherwise;
  return value;
}

Result ReadBidValue(const FactoryRead& read, std::uint8_t which, std::uint8_t dotType, int& value) {
  value = 0;
  if (!IsBidDotType(dotType)) return kOk;
  std::uint8_t stored = 0;
  VANTOR_TRY(read(BidAddress(which, dotType), stored));
  value = static_cast<std::int8_t>(stored);
  return kOk;
}

int BidEntryValue(std::string_view text) {
  return TextToInt(text, kNotANumber);
}

Result WriteBidValue(const BidWrite& write, std::uint16_t& errorCode, std::uint8_t which,
                     std::uint8_t dotType, int value) {
  // An unknown dot type is refused too: its value would reach the printer unchecked.
  if (!IsBidDotType(dotType) || value < kBidMin || value > kBidMax) {
    errorCode = BidRangeCode(which, dotType);
    return kBidRangeFailure;
  }
  if (which == kBidBlack) return write(dotType, value, kUnchanged);
  return write(dotType, kUnchanged, value);
}

Result Raster::Bid(int dotType, int black, int colour, JobSteps& steps) {
  const std::span<const char> title = BidTitle(dotType);
  const auto t = static_cast<std::uint8_t>(dotType);
  VANTOR_TRY(Send({reinterpret_cast<const std::uint8_t*>(title.data()), title.size()}));
  VANTOR_TRY(LineFeed(1));
  VANTOR_TRY(Flush());
  VANTOR_TRY(InitPrinter());
  VANTOR_TRY(steps.WaitUntilReady());

  bool candidateSent = false;
  Result result = [&]() -> Result {
    for (int k = 0; k < 3; ++k) {
      const int blackCandidate = black - 2 + 2 * k;
      const int colourCandidate = colour - 2 + 2 * k;
      candidateSent = true;
      VANTOR_TRY(steps.SetBidValues(t, blackCandidate, kUnchanged));
      VANTOR_TRY(steps.SetBidValues(t, kUnchanged, colourCandidate));
      VANTOR_TRY(PrintValuePair(blackCandidate, colourCandidate));
      VANTOR_TRY(Flush());
      VANTOR_TRY(InitPrinter());
      VANTOR_TRY(BidCandidates(t));
    }
    return Flush();
  }();

  // The stored values go back even when the job failed, so no candidate stays in force.
  if (candidateSent) {
    const auto restore = [&] {
      const Result blackBack = steps.SetBidValues(t, black, kUnchanged);
      const Result colourBack = steps.SetBidValues(t, kUnchanged, colour);
      return blackBack != kOk ? blackBack : colourBack;
    };
    if (result == kOk) {
      result = restore();
    } else {
      (void)steps.AfterFailure(restore);
    }
  }
  VANTOR_TRY(result);
  return LineFeed(3);
}

// One candidate block: black reference and candidate bars twice, then the colour bars twice.
Result Raster::BidCandidates(std::uint8_t dotType) {
  for (int pass = 0; pass < 2; ++pass) {
    VANTOR_TRY(SetRasterMode(kUnit360, kUnidirectional, dotType, kMonochrome));
    VANTOR_TRY(Band(kBlack, 720, 180, kBidBlackReference, true));
    VANTOR_TRY(SetRasterMode(kUnit360, kBidirectional, dotType, kMonochrome));
    VANTOR_TRY(Band(kBlack, 720, 180, kBidBlackCandidate, true));
    VANTOR_TRY(SetVerticalPosition(1));
  }
  for (int pass = 0; pass < 2; ++pass) {
    VANTOR_TRY(SetRasterMode(kUnit360, kBidirectional, dotType, kColour));
    VANTOR_TRY(Band(kMagenta, 720, 60, kBidMagenta, true));
    VANTOR_TRY(SetRasterMode(kUnit360, kBidirectional, dotType, kColour));
    VANTOR_TRY(Band(kCyan, 720, 60, kBidCyan, true));
    VANTOR_TRY(SetVerticalPosition(1));
  }
  VANTOR_TRY(InitPrinter());
  VANTOR_TRY(LineFeed(6));
  return Flush();
}

Result Raster::PrintBidPattern(const StoredBid& stored, JobSteps& steps) {
  const auto s = [&](std::size_t i) {
    return static_cast<int>(static_cast<std::int8_t>(stored[i]));
  };

  VANTOR_TRY(SendText(kBidTitle));
  VANTOR_TRY(LineFeed(1));
  VANTOR_TRY(steps.FactoryCommandD1(0));
  VANTOR_TRY(Bid(kVsd1, s(0), s(1), steps));
  VANTOR_TRY(Bid(kVsd2, s(2), s(3), steps));
  VANTOR_TRY(FormFeed());
  VANTOR_TRY(Bid(kVsd3, s(4), s(5), steps));
  VANTOR_TRY(Bid(kEco, s(6), s(7), steps));
  return steps.FactoryCommandD1(255);
}

}  // namespace vantor
