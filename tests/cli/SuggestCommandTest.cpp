// vantorctl bid suggest on the virtual printer, whose true Bi-D values are its factory ones
// (its head squared):
// print, read, apply, print again, and the second reading says the printer is true; also
// through pages rotated and rescaled as a scanner gives them.
#include <gtest/gtest.h>
#include <png.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "cli/Cli.h"
#include "tests/support/CliRunner.h"
#include "tests/support/TempPath.h"

namespace vantor::test {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

constexpr const char* kRowKeys[8] = {"vsd1-black", "vsd1-color", "vsd2-black", "vsd2-color",
                                     "vsd3-black", "vsd3-color", "eco-black",  "eco-color"};

// Rotates a page by degrees about its centre and rescales it from 360 dpi to dpi, averaging
// the page over each output pixel as a scanner's sensor does; grey lid outside the sheet.
void Rescan(const fs::path& from, const fs::path& to, double degrees, double dpi) {
  png_image in{};
  in.version = PNG_IMAGE_VERSION;
  ASSERT_TRUE(png_image_begin_read_from_file(&in, from.string().c_str())) << in.message;
  in.format = PNG_FORMAT_RGB;
  std::vector<std::uint8_t> src(PNG_IMAGE_SIZE(in));
  ASSERT_TRUE(png_image_finish_read(&in, nullptr, src.data(), 0, nullptr)) << in.message;
  const int w = static_cast<int>(in.width), h = static_cast<int>(in.height);
  const double s = dpi / 360, a = degrees * M_PI / 180;
  const int ow = static_cast<int>(w * s), oh = static_cast<int>(h * s);
  const int n = static_cast<int>(std::ceil(1 / s));
  std::vector<std::uint8_t> out(static_cast<std::size_t>(ow) * oh * 3, 200);
  for (int y = 0; y < oh; ++y) {
    for (int x = 0; x < ow; ++x) {
      const double dx = x + 0.5 - ow / 2.0, dy = y + 0.5 - oh / 2.0;
      const double sx = (std::cos(a) * dx + std::sin(a) * dy) / s + w / 2.0;
      const double sy = (-std::sin(a) * dx + std::cos(a) * dy) / s + h / 2.0;
      int sum[3] = {0, 0, 0}, count = 0;
      for (int j = 0; j < n; ++j) {
        for (int i = 0; i < n; ++i) {
          const int px = static_cast<int>(sx - 0.5 / s + (i + 0.5) / (n * s));
          const int py = static_cast<int>(sy - 0.5 / s + (j + 0.5) / (n * s));
          if (px < 0 || py < 0 || px >= w || py >= h) continue;
          for (int c = 0; c < 3; ++c)
            sum[c] += src[(static_cast<std::size_t>(py) * w + px) * 3 + c];
          ++count;
        }
      }
      for (int c = 0; c < 3 && count > 0; ++c)
        out[(static_cast<std::size_t>(y) * ow + x) * 3 + c] =
            static_cast<std::uint8_t>(sum[c] / count);
    }
  }
  png_image o{};
  o.version = PNG_IMAGE_VERSION;
  o.width = static_cast<png_uint_32>(ow);
  o.height = static_cast<png_uint_32>(oh);
  o.format = PNG_FORMAT_RGB;
  ASSERT_TRUE(png_image_write_to_file(&o, to.string().c_str(), 0, out.data(), 0, nullptr))
      << o.message;
}

class SuggestCommand : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(root.path());
    // The factory unit's head is tilted, which the reader names instead of reading through:
    // squared here, the rest of the mechanism as the factory left it.
    std::ofstream(state.string() + ".mechanism") << "tilt=0\n";
  }

  // Prints the Bi-D pattern into a fresh folder and gives its pages, rescanned if asked.
  std::vector<std::string> Print(const std::string& name, double degrees = 0, double dpi = 0) {
    const fs::path pages = root / name;
    const CliOutcome o =
        RunVantorctl({"--virtual=" + state.string(), "--pages", pages.string(), "bid", "print"});
    EXPECT_EQ(o.status, cli::kExitOk) << o.err;
    std::vector<std::string> files;
    for (const char* page : {"page-001.png", "page-002.png"}) {
      fs::path file = pages / page;
      if (dpi > 0) {
        const fs::path scanned = pages / (std::string("scan-") + page);
        Rescan(file, scanned, degrees, dpi);
        file = scanned;
      }
      files.push_back(file.string());
    }
    return files;
  }

  json Suggest(const std::vector<std::string>& files, std::vector<std::string> extra = {}) {
    std::vector<std::string> args = {"--json", "--virtual=" + state.string(), "bid", "suggest"};
    args.insert(args.end(), files.begin(), files.end());
    args.insert(args.end(), extra.begin(), extra.end());
    const CliOutcome o = RunVantorctl(args);
    last = o;
    return json::parse(o.out.empty() ? "{}" : o.out);
  }

  json Stored() {
    const CliOutcome o = RunVantorctl({"--json", "--virtual=" + state.string(), "bid"});
    EXPECT_EQ(o.status, cli::kExitOk) << o.err;
    return json::parse(o.out)["bid"];
  }

  TempPath root{"suggest"};
  fs::path state = root / "q40.bin";
  CliOutcome last{};
};

TEST_F(SuggestCommand, AppliedSuggestionMakesThePrinterTrueAlsoFromRescannedPages) {
  for (const auto& [degrees, dpi] :
       std::vector<std::pair<double, double>>{{0, 0}, {2.5, 300}, {-3, 150}}) {
    SCOPED_TRACE(std::to_string(degrees) + " degrees, " + std::to_string(dpi) + " dpi");
    fs::remove(state);
    const json before = Stored();
    const json first = Suggest(Print("first", degrees, dpi), {"--apply", "--yes"});
    ASSERT_EQ(last.status, cli::kExitOk) << last.err;
    const json after = Stored();
    for (std::size_t i = 0; i < 8; ++i) {
      const json& row = first["suggested"][kRowKeys[i]];
      ASSERT_TRUE(row["trusted"].get<bool>()) << kRowKeys[i] << " " << row.dump();
      EXPECT_EQ(after[kRowKeys[i]].get<int>(),
                before[kRowKeys[i]].get<int>() + row["change"].get<int>());
      // A unit fresh from the line is off by about a candidate step in every row.
      EXPECT_GE(std::abs(row["change"].get<int>()), 1) << kRowKeys[i];
      // Only the rows that were off are written.
      EXPECT_EQ(first["applied"].contains(kRowKeys[i]), row["change"].get<int>() != 0)
          << kRowKeys[i];
    }
    const json second = Suggest(Print("second", degrees, dpi));
    ASSERT_EQ(last.status, cli::kExitOk) << last.err;
    for (const char* key : kRowKeys) {
      EXPECT_EQ(second["suggested"][key]["change"], 0) << key;
      EXPECT_TRUE(second["suggested"][key]["trusted"].get<bool>()) << key;
    }
  }
}

// The PF sheet's candidates are values, not changes: the value read is the true one, the
// same from rescanned copies, and after it is registered the next sheet meets there.
TEST_F(SuggestCommand, PfValueReadIsTrueAndSurvivesRescanning) {
  const CliOutcome print = RunVantorctl(
      {"--virtual=" + state.string(), "--pages", (root / "pf").string(), "pf", "print"});
  ASSERT_EQ(print.status, cli::kExitOk) << print.err;
  const fs::path page = root / "pf" / "page-001.png";
  auto suggestPf = [this](const fs::path& file, std::vector<std::string> extra = {}) {
    std::vector<std::string> args = {"--json", "--virtual=" + state.string(), "pf", "suggest",
                                     file.string()};
    args.insert(args.end(), extra.begin(), extra.end());
    last = RunVantorctl(args);
    return json::parse(last.out.empty() ? "{}" : last.out);
  };
  const json first = suggestPf(page);
  ASSERT_EQ(last.status, cli::kExitOk) << last.err;
  const int value = first["suggested"]["value"].get<int>();
  EXPECT_TRUE(first["suggested"]["trusted"].get<bool>());
  // A fresh unit feeds off: the stored value is not where the bars meet.
  const CliOutcome stored = RunVantorctl({"--json", "--virtual=" + state.string(), "pf"});
  EXPECT_NE(json::parse(stored.out)["pf"].get<int>(), value);
  for (const auto& [degrees, dpi] : std::vector<std::pair<double, double>>{{2.5, 300}, {-3, 150}}) {
    const fs::path scanned = root / ("pf-" + std::to_string(static_cast<int>(dpi)) + ".png");
    Rescan(page, scanned, degrees, dpi);
    const json again = suggestPf(scanned);
    ASSERT_EQ(last.status, cli::kExitOk) << dpi << ": " << last.err;
    EXPECT_EQ(again["suggested"]["value"], value) << dpi;
    EXPECT_TRUE(again["suggested"]["trusted"].get<bool>()) << dpi;
  }
  suggestPf(page, {"--apply", "--yes"});
  ASSERT_EQ(last.status, cli::kExitOk) << last.err;
  const CliOutcome now = RunVantorctl({"--json", "--virtual=" + state.string(), "pf"});
  EXPECT_EQ(json::parse(now.out)["pf"].get<int>(), value);
  fs::remove_all(root / "pf");
  ASSERT_EQ(RunVantorctl(
                {"--virtual=" + state.string(), "--pages", (root / "pf").string(), "pf", "print"})
                .status,
            cli::kExitOk);
  const json second = suggestPf(page);
  EXPECT_EQ(second["suggested"]["value"], value);
  // At the registered value the two bars meet within a fraction of a dot.
  EXPECT_LT(
      std::abs(second["suggested"]["gaps"][static_cast<std::size_t>(value + 4)].get<double>()),
      0.5);

  // A Bi-D sheet is no PF sheet.
  const auto bid = Print("bid");
  suggestPf(bid[0]);
  EXPECT_EQ(last.status, cli::kExitUsage);
  EXPECT_NE(last.err.find("not a PF adjustment sheet"), std::string::npos) << last.err;
}

// Sheets of a print older than the last registration are refused (exit 2, with the next step);
// insisted on, their changes go onto the values they were printed with, never onto today's.
TEST_F(SuggestCommand, SheetsOfAnEarlierPrintAreRefusedUnlessForced) {
  const auto pages = Print("old");
  Suggest(pages, {"--apply", "--yes"});
  ASSERT_EQ(last.status, cli::kExitOk) << last.err;
  const json registered = Stored();

  Suggest(pages, {"--apply", "--yes"});
  EXPECT_EQ(last.status, cli::kExitUsage);
  EXPECT_NE(last.err.find("earlier print"), std::string::npos) << last.err;
  EXPECT_NE(last.err.find("--force"), std::string::npos) << last.err;
  EXPECT_EQ(Stored(), registered);

  Suggest(pages, {"--apply", "--yes", "--force"});
  EXPECT_EQ(last.status, cli::kExitOk) << last.err;
  EXPECT_EQ(Stored(), registered);

  // A new print is the latest again.
  Suggest(Print("new"), {"--apply", "--yes"});
  EXPECT_EQ(last.status, cli::kExitOk) << last.err;

  // PF: the same once a value was registered after the print.
  ASSERT_EQ(RunVantorctl(
                {"--virtual=" + state.string(), "--pages", (root / "pf").string(), "pf", "print"})
                .status,
            cli::kExitOk);
  const std::string page = (root / "pf" / "page-001.png").string();
  ASSERT_EQ(RunVantorctl({"--virtual=" + state.string(), "pf", "set", "3"}).status, cli::kExitOk);
  last = RunVantorctl({"--virtual=" + state.string(), "pf", "suggest", page, "--apply", "--yes"});
  EXPECT_EQ(last.status, cli::kExitUsage);
  EXPECT_NE(last.err.find("earlier print"), std::string::npos) << last.err;
  last = RunVantorctl(
      {"--virtual=" + state.string(), "pf", "suggest", page, "--apply", "--yes", "--force"});
  EXPECT_EQ(last.status, cli::kExitOk) << last.err;
}

TEST_F(SuggestCommand, ApplyWithoutAnAnswerWritesNothing) {
  const auto pages = Print("pages");
  const json before = Stored();
  // --json never asks: without --yes the confirmation goes unanswered.
  const json cancelled = Suggest(pages, {"--apply"});
  EXPECT_EQ(last.status, cli::kExitCancelled) << last.err;
  EXPECT_EQ(cancelled["class"], "cancelled");
  EXPECT_EQ(Stored(), before);

  // Without --apply no port is opened at all: no printer is needed.
  const CliOutcome offline = RunVantorctl({"bid", "suggest", pages[0], pages[1]});
  EXPECT_EQ(offline.status, cli::kExitOk) << offline.err;
  EXPECT_NE(offline.out.find("confidence"), std::string::npos);
}

TEST_F(SuggestCommand, UnreadablePageIsRefusedWithWords) {
  const fs::path blank = root / "blank.png";
  std::vector<std::uint8_t> white(600u * 800u, 250);
  png_image o{};
  o.version = PNG_IMAGE_VERSION;
  o.width = 600;
  o.height = 800;
  o.format = PNG_FORMAT_GRAY;
  ASSERT_TRUE(png_image_write_to_file(&o, blank.string().c_str(), 0, white.data(), 0, nullptr));
  const json failed = Suggest({blank.string()}, {"--apply", "--yes"});
  EXPECT_EQ(last.status, cli::kExitUsage);
  EXPECT_NE(last.err.find("not a Bi-D adjustment sheet"), std::string::npos) << last.err;
  const CliOutcome text = RunVantorctl({"bid", "suggest", (root / "missing.png").string()});
  EXPECT_EQ(text.status, cli::kExitUsage);
  EXPECT_NE(text.err.find("not a readable PNG image"), std::string::npos) << text.err;
}

}  // namespace
}  // namespace vantor::test
