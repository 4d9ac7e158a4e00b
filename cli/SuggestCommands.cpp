// bid suggest: the Bi-D values read back from scans of the printed sheets.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "cli/Cli.h"
#include "sheet/SheetReader.h"

namespace vantor::cli {

namespace {

constexpr const char* kRowNames[8] = {"VSD1 black", "VSD1 colour", "VSD2 black", "VSD2 colour",
                                      "VSD3 black", "VSD3 colour", "ECO black",  "ECO colour"};

int SuggestBid(const std::vector<std::string>& files) {
  std::vector<sheet::SheetImage> pages;
  for (const std::string& file : files) {
    sheet::SheetImage image;
    std::string error;
    if (!sheet::LoadPng(file, image, error)) {
      std::cerr << error << "\n";
      return kExitFailure;
    }
    pages.push_back(std::move(image));
  }
  std::string why;
  const auto reading = sheet::ReadBidSheets(pages, why);
  if (!reading) {
    std::cerr << "Cannot read the sheets: " << why << "\n";
    return kExitFailure;
  }
  // The sheet carries candidates around the values stored when it was printed, so the
  // reading is a change to those values.
  std::cout << "Change to the values stored when the sheet was printed:\n";
  for (std::size_t i = 0; i < reading->rows.size(); ++i) {
    const auto& r = reading->rows[i];
    char line[128];
    if (!r.read) {
      std::snprintf(line, sizeof line, "  %-12s not on these pages\n", kRowNames[i]);
    } else {
      std::snprintf(line, sizeof line, "  %-12s %+d (%.1f)  confidence %.2f%s\n", kRowNames[i],
                    r.suggested, r.offset, r.confidence,
                    r.confidence < sheet::kTrustedConfidence ? "  unsure: judge by eye" : "");
    }
    std::cout << line;
  }
  return kExitOk;
}

}  // namespace

void AddSuggestCommands(Cli& cli) {
  CLI::App* bid = cli.App().get_subcommand("bid");
  auto files = std::make_shared<std::vector<std::string>>();
  auto* suggest =
      bid->add_subcommand("suggest", "read scans (PNG) of a Bi-D print and suggest the values");
  suggest->add_option("PAGE", *files, "the one or two scanned pages")->required();
  cli.AddOfflineCommand(suggest, [files] { return SuggestBid(*files); });
}

}  // namespace vantor::cli
