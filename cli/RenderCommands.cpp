// render: a recorded data-channel stream printed offline by the virtual printer.
#include <CLI/CLI.hpp>
#include <fstream>
#include <iostream>
#include <memory>
#include <sstream>
#include <vector>

#include "cli/Cli.h"
#include "sim/PagePng.h"
#include "sim/VirtualPrinter.h"

namespace vantor::cli {

namespace {

namespace text {
constexpr std::string_view kNoPages = "render: --pages DIR is needed";
constexpr std::string_view kWritten = " written to ";
constexpr std::string_view kTooLarge = " is larger than any recorded job (";
constexpr std::string_view kNotEjected = "render: the stream ends before its last sheet is ejected";
}  // namespace text

// Far above the largest job the program sends (the four-page check pattern); a device that
// never ends, such as /dev/zero, stops here.
constexpr std::size_t kCaptureLimit = std::size_t{64} << 20;

struct RenderSettings {
  std::string capture;
  std::string pages;
};

int Render(CLI::App& app, const RenderSettings& settings, CommandOutput& report, std::ostream& out,
           std::ostream& err) {
  const std::string dir =
      settings.pages.empty() ? GlobalOption(app, "--pages", "") : settings.pages;
  if (dir.empty()) {
    err << "vantorctl: " << text::kNoPages << '\n';
    return kExitUsage;
  }
  std::ifstream in(settings.capture, std::ios::binary);
  if (!in) {
    err << "vantorctl: cannot read " << settings.capture << '\n';
    return kExitFailure;
  }
  sim::PageDirectory pages(dir);
  std::string why;
  if (!pages.Prepare(why)) {
    err << "vantorctl: " << why << '\n';
    return kExitFailure;
  }
  // The candidates a job sets travel in the stream, so a fresh printer of the model reads it
  // as the recording one did.
  const Model model = GlobalOption(app, "--model", "Q40") == "Q30" ? Model::Q30 : Model::Q40;
  VirtualClock clock = VirtualClock::AtSystemTime();
  sim::VirtualPrinter printer(clock, model);
  sim::PageRenderer renderer(printer.Mechanics(),
                             [&pages](sim::Page&& page) { pages.Write(page); });
  printer.SetPageListener(&renderer);
  std::vector<char> chunk(1 << 16);
  std::size_t total = 0;
  while (in) {
    in.read(chunk.data(), static_cast<std::streamsize>(chunk.size()));
    const auto got = static_cast<std::size_t>(in.gcount());
    if (got == 0) break;
    total += got;
    if (total > kCaptureLimit) {
      err << "vantorctl: " << settings.capture << text::kTooLarge << (kCaptureLimit >> 20)
          << " MiB)\n";
      return kExitFailure;
    }
    printer.FeedPrintData({reinterpret_cast<const std::uint8_t*>(chunk.data()), got});
  }
  if (in.bad()) {
    err << "vantorctl: cannot read " << settings.capture << '\n';
    return kExitFailure;
  }
  report.Set("pages_written", pages.Written());
  report.Set("directory", dir);
  out << pages.Written() << (pages.Written() == 1 ? " page" : " pages") << text::kWritten << dir
      << '\n';
  if (renderer.PageStarted()) err << "vantorctl: " << text::kNotEjected << '\n';
  if (!pages.Error().empty()) {
    err << "vantorctl: " << pages.Error() << '\n';
    return kExitFailure;
  }
  return kExitOk;
}

}  // namespace

void AddRenderCommands(Cli& cli) {
  auto settings = std::make_shared<RenderSettings>();
  CLI::App* sub = cli.App().add_subcommand(
      "render",
      "print a data-channel stream recorded with --capture onto PNG pages (give the recording's "
      "--model)");
  sub->add_option("CAPTURE", settings->capture, "the recorded stream")->required();
  sub->add_option("--pages", settings->pages, "write page-001.png, ... into DIR")->type_name("DIR");
  cli.AddOfflineCommand(
      sub,
      [&cli, settings]() {
        CommandOutput report(cli.JsonWanted());
        report.SetCommand("render");
        if (!report.JsonWanted()) return Render(cli.App(), *settings, report, std::cout, std::cerr);
        std::ostringstream words, errors;
        const int status = Render(cli.App(), *settings, report, words, errors);
        report.Write(status, words.str(), errors.str(), std::cout, std::cerr);
        return status;
      },
      true);
}

}  // namespace vantor::cli
