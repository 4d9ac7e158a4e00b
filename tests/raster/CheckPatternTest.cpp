// The four-page check pattern: page headers, section numbers, readouts and order.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Recorder.h"
#include "StreamDecoder.h"
#include "raster/Malraster.h"

namespace vantor::test {
namespace {

using namespace std::string_literals;

// The text items of each page, pages split at the form feeds.
std::vector<std::vector<std::string>> PageTexts(const std::vector<Item>& items) {
  std::vector<std::vector<std::string>> pages(1);
  for (const Item& item : items) {
    if (item.kind == "FF") pages.emplace_back();
    if (item.kind == "text") pages.back().push_back(item.text);
  }
  return pages;
}

// Section fields at the start of a text ("1. \0", ..., "10. \0").
std::vector<std::string> Sections(const std::vector<std::string>& texts) {
  std::vector<std::string> out;
  for (const std::string& t : texts) {
    const auto dot = t.find(". \0"s);
    if (dot != std::string::npos && dot <= 2 && t[0] >= '1' && t[0] <= '9')
      out.push_back(t.substr(0, dot));
  }
  return out;
}

std::string Header(const std::string& model, int page) {
  const std::string line =
      " CHECK PATTERN PRINT "s + std::to_string(page) + "/4 *******************\0"s;
  return model.empty() ? line : "    ******************* "s + model + '\0' + line;
}

class CheckPatternTest : public ::testing::Test {
 protected:
  std::vector<std::vector<std::string>> Print(int modelIndex) {
    printer.modelIndex = modelIndex;
    Raster raster(printer);
    EXPECT_EQ(raster.PrintCheckPattern(printer.Readouts(), printer), kOk);
    items = Decode(printer.data);
    return PageTexts(items);
  }
  Recorder printer;
  std::vector<Item> items;
};

TEST_F(CheckPatternTest, FourPagesWithHeadersAndSectionNumbers) {
  const auto pages = Print(0);
  ASSERT_EQ(pages.size(), 5u);  // the text after the last form feed is nothing
  EXPECT_TRUE(pages[4].empty());
  for (int p = 0; p < 4; ++p) EXPECT_EQ(pages[p].front(), Header("Vantor Q40", p + 1)) << p;

  EXPECT_EQ(Sections(pages[0]), (std::vector<std::string>{"1", "2", "3", "4"}));
  EXPECT_EQ(Sections(pages[1]), (std::vector<std::string>{"5"}));
  EXPECT_TRUE(Sections(pages[2]).empty());
  EXPECT_EQ(Sections(pages[3]), (std::vector<std::string>{"6", "7", "8", "9", "10"}));

  const auto& last = pages[3];
  EXPECT_NE(std::find(last.begin(), last.end(), "8. \0Head ID = \0"s + "21A2B3C4D5E12"),
            last.end());
  EXPECT_NE(std::find(last.begin(), last.end(), "9. \0USB ID = \0ABCDEFGHIJ12345678"s), last.end());
  EXPECT_NE(std::find(last.begin(), last.end(), "10. \0Protection Counter = \0"s + "3937\0"s),
            last.end());
}

TEST_F(CheckPatternTest, ModelLineFollowsTheModelIndex) {
  auto pages = Print(1);
  for (int p = 0; p < 4; ++p) EXPECT_EQ(pages[p].front(), Header("Vantor Q30", p + 1));
  printer = Recorder();
  pages = Print(-1);
  for (int p = 0; p < 4; ++p) EXPECT_EQ(pages[p].front(), Header("", p + 1));
}

TEST_F(CheckPatternTest, StepsSitAtTheirPlacesInThePrintData) {
  printer.eeprom[0x7D] = 0xFD;  // PF -3
  printer.eeprom[0x72] = 0x05;  // VSD1 black 5: its first candidate is 3
  const auto pages = Print(0);
  // The PF value is read only where page 4 prints it, right before its title.
  const auto reads = printer.Named("read-pf");
  ASSERT_EQ(reads.size(), 1u);
  std::size_t pfTitle = 0;
  for (const Item* t : OfKind(items, "text"))
    if (const auto p = t->text.find("PF pattern"); p != std::string::npos) pfTitle = t->offset + p;
  EXPECT_EQ(reads[0].at, pfTitle);
  EXPECT_NE(std::find(pages[3].begin(), pages[3].end(), "         data = \0-3\0 \0"s),
            pages[3].end());
  EXPECT_EQ(printer.Named("bid4").front(), (Call{"bid4", 3, -128}));
  // The Bi-D job is split over pages 2 and 3 inside one D1(0) .. D1(255) bracket, and the
  // head angular pattern is bracketed again on page 4 with CB before the closing D1.
  std::vector<Call> factory;
  for (const Call& c : printer.calls)
    if (c.what == "d1" || c.what == "cb") factory.push_back(c);
  EXPECT_EQ(factory, (std::vector<Call>{{"d1", 0}, {"d1", 255}, {"d1", 0}, {"cb"}, {"d1", 255}}));
}

TEST_F(CheckPatternTest, ShortReadoutsLeaveBlanksAfterTheirZeroByte) {
  printer.counter = "7";
  const auto pages = Print(0);
  const auto& last = pages[3];
  EXPECT_NE(std::find(last.begin(), last.end(), "10. \0Protection Counter = \0"s + "7\0   "s),
            last.end());
}

TEST_F(CheckPatternTest, FailureStopsWithoutEjectingThePage) {
  printer.FailOn("read-pf", 1, kPortFailure);
  Raster raster(printer);
  EXPECT_EQ(raster.PrintCheckPattern(printer.Readouts(), printer), kPortFailure);
  EXPECT_EQ(OfKind(Decode(printer.data), "FF").size(), 3u);
  EXPECT_EQ(printer.calls.back().what, "read-pf");
}

}  // namespace
}  // namespace vantor::test
