// Candidates set, labelled and put back: the Bi-D and PF patterns, and the Bi-D values.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Recorder.h"
#include "StreamDecoder.h"
#include "raster/Malbid.h"
#include "raster/Malraster.h"

namespace vantor::test {
namespace {

using namespace std::string_literals;

// The 5-byte number field: digits, their zero byte, then what is left of "    \0".
std::string Field(const std::string& digits) {
  std::string field = "    "s + '\0';
  field.replace(0, digits.size(), digits);
  if (digits.size() < 5) field[digits.size()] = '\0';
  return field;
}
std::string PairLine(const std::string& a, const std::string& b) {
  return "  data = \0"s + Field(a) + std::string(30, ' ') + '\0' + "  data = \0"s + Field(b);
}
std::string Label(const std::string& v) {
  return "         data = \0"s + Field(v);
}

// Offset of the text item with exactly this text; npos when absent.
std::size_t TextAt(const std::vector<Item>& items, const std::string& text) {
  for (const Item* item : OfKind(items, "text"))
    if (item->text == text) return item->offset;
  return std::string::npos;
}

TEST(BidPattern, CandidatesAroundTheStoredValuesThenRestore) {
  Recorder printer;
  Raster raster(printer);
  ASSERT_EQ(raster.Bid(4, -3, 5, printer), kOk);
  const std::vector<Call> expected = {{"bid4", -5, -128}, {"bid4", -128, 3},  {"bid4", -3, -128},
                                      {"bid4", -128, 5},  {"bid4", -1, -128}, {"bid4", -128, 7},
                                      {"bid4", -3, -128}, {"bid4", -128, 5}};
  const auto calls = printer.Named("bid4");
  EXPECT_EQ(calls, expected);

  const auto items = Decode(printer.data);
  EXPECT_EQ(OfKind(items, "text").front()->text, "Variable1 DOT\0"s);
  // Each pair is set before its label and before the next candidate's label.
  const std::size_t labels[] = {TextAt(items, PairLine("-5", "3")),
                                TextAt(items, PairLine("-3", "5")),
                                TextAt(items, PairLine("-1", "7"))};
  for (int k = 0; k < 3; ++k) {
    ASSERT_NE(labels[k], std::string::npos) << k;
    EXPECT_LE(calls[2 * k + 1].at, labels[k]);
    if (k > 0) {
      EXPECT_GT(calls[2 * k].at, labels[k - 1]);
    }
  }
  // The restores come after the last band, each a command of its own.
  EXPECT_EQ(calls[6].at, calls[7].at);
  EXPECT_GT(calls[6].at, OfKind(items, "band").back()->offset);
  EXPECT_EQ(Decode(printer.data).size(), items.size());
  EXPECT_EQ(OfKind(items, "band").size(), 24u);
}

TEST(BidPattern, AFailureAfterACandidatePutsTheStoredValuesBack) {
  Recorder printer;
  Raster raster(printer);
  printer.FailOn("flush", 40, kPortFailure);  // inside the first candidate's bands
  EXPECT_EQ(raster.Bid(6, 10, -20, printer), kPortFailure);
  const auto calls = printer.Named("bid6");
  ASSERT_EQ(calls.size(), 4u);
  EXPECT_EQ(calls[2], (Call{"bid6", 10, -128}));
  EXPECT_EQ(calls[3], (Call{"bid6", -128, -20}));
  EXPECT_EQ(printer.calls.back().what, "bid6");

  // Before any candidate nothing needs restoring.
  Recorder early;
  Raster second(early);
  early.FailOn("wait", 1, kNotReady);
  EXPECT_EQ(second.Bid(7, 0, 0, early), kNotReady);
  EXPECT_TRUE(early.Named("bid7").empty());
}

TEST(BidPattern, PrintBidPatternEjectsOnePageBetweenVsd2AndVsd3) {
  Recorder printer;
  printer.eeprom[0x72] = 0xFD;  // -3
  printer.eeprom[0x70] = 0x0C;  // ECO black 12
  Raster raster(printer);
  ASSERT_EQ(raster.PrintBidPattern(printer.Stored(), printer), kOk);
  const auto items = Decode(printer.data);
  const auto feeds = OfKind(items, "FF");
  ASSERT_EQ(feeds.size(), 1u);
  EXPECT_GT(feeds[0]->offset, TextAt(items, "Variable2 DOT\0"s));
  EXPECT_LT(feeds[0]->offset, TextAt(items, "Variable3 DOT\0"s));

  // The stored values arrive in read order: VSD1 black first, ECO black seventh.
  EXPECT_EQ(printer.calls.front(), (Call{"d1", 0}));
  EXPECT_EQ(printer.Named("bid4").front(), (Call{"bid4", -5, -128}));
  EXPECT_EQ(printer.Named("bid7").front(), (Call{"bid7", 10, -128}));
  EXPECT_EQ(printer.Named("d1").front(), (Call{"d1", 0}));
  EXPECT_EQ(printer.calls.back(), (Call{"d1", 255}));
}

TEST(BidValues, ReadGivesTheSignedValueFromTheDataChannel) {
  Recorder printer;
  printer.eeprom[0x71] = 0xC4;
  int value = 0;
  ASSERT_EQ(ReadBidValue(printer.Read(), kBidColour, 7, value), kOk);
  EXPECT_EQ(value, -60);
  EXPECT_EQ(printer.calls, (std::vector<Call>{{"factory-read", 0x71}}));
  ASSERT_EQ(ReadBidValue(printer.Read(), kBidBlack, 9, value), kOk);
  EXPECT_EQ(value, 0);
  EXPECT_EQ(printer.calls.size(), 1u);
}

TEST(BidValues, WriteChecksTheRangeBeforeSending) {
  Recorder printer;
  std::uint16_t code = 0;
  EXPECT_EQ(WriteBidValue(printer.Write(), code, kBidBlack, 4, BidEntryValue("60")), kOk);
  EXPECT_EQ(WriteBidValue(printer.Write(), code, kBidColour, 7, BidEntryValue(" -60 ")), kOk);
  EXPECT_EQ(printer.calls, (std::vector<Call>{{"bid4", 60, -128}, {"bid7", -128, -60}}));

  // What is no number is refused as out of range.
  for (const char* text : {"61", "-61", "abc", "", "6 0", "99999999999"}) {
    code = 0;
    EXPECT_EQ(WriteBidValue(printer.Write(), code, kBidBlack, 4, BidEntryValue(text)),
              kBidRangeFailure)
        << text;
    EXPECT_EQ(code, 0x1001) << text;
  }
  EXPECT_EQ(WriteBidValue(printer.Write(), code, kBidColour, 5, 70), kBidRangeFailure);
  EXPECT_EQ(code, 0x1006);
  EXPECT_EQ(WriteBidValue(printer.Write(), code, kBidBlack, 7, -100), kBidRangeFailure);
  EXPECT_EQ(code, 0x1004);
  EXPECT_EQ(printer.calls.size(), 2u);
}

TEST(PfPattern, NineCandidatesEachSetBeforeItsBlockAndLabelledAfterIt) {
  Recorder printer;
  Raster raster(printer);
  ASSERT_EQ(raster.PrintPfCandidates(printer.SetPf()), kOk);

  std::vector<int> set;
  for (const Call& c : printer.Named("pf")) set.push_back(c.a);
  EXPECT_EQ(set, (std::vector<int>{-4, -3, -2, -1, 0, 1, 2, 3, 4}));

  const auto items = Decode(printer.data);
  const auto pf = printer.Named("pf");
  for (int v = -4; v <= 4; ++v) {
    const std::size_t label = TextAt(items, Label(std::to_string(v)));
    ASSERT_NE(label, std::string::npos) << v;
    const std::size_t k = static_cast<std::size_t>(v + 4);
    EXPECT_GT(label, pf[k].at) << v;  // after its own block
    if (k + 1 < 9) {
      EXPECT_LT(label, pf[k + 1].at) << v;
    }
  }
  // The page stays in: the caller restores the stored value first.
  EXPECT_TRUE(OfKind(items, "FF").empty());
  EXPECT_EQ(printer.calls.back().what, "flush");
  EXPECT_EQ(OfKind(items, "band").size(), 9u * 4);
}

TEST(PfPattern, AFailedCandidateStopsTheJob) {
  Recorder printer;
  Raster raster(printer);
  int sets = 0;
  EXPECT_EQ(
      raster.PrintPfCandidates([&](std::int8_t) { return ++sets == 3 ? kChannelFailure : kOk; }),
      kChannelFailure);
  EXPECT_EQ(sets, 3);
  EXPECT_EQ(OfKind(Decode(printer.data), "band").size(), 2u * 4);
}

TEST(PfPattern, CurrentPatternLabelsTheStoredValue) {
  Recorder printer;
  Raster raster(printer);
  ASSERT_EQ(raster.PrintCurrentPfPattern(0xFE), kOk);
  const auto items = Decode(printer.data);
  EXPECT_NE(TextAt(items, Label("-2")), std::string::npos);
  EXPECT_TRUE(printer.Named("pf").empty());
  EXPECT_TRUE(OfKind(items, "FF").empty());
  EXPECT_EQ(OfKind(items, "band").size(), 4u);
}

}  // namespace
}  // namespace vantor::test
