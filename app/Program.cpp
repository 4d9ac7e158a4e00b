#include "app/Program.h"

#include <QImage>
#include <fstream>
#include <iostream>
#include <iterator>
#include <new>
#include <optional>
#include <vector>

#include "adjust/panels/Malformadjust.h"
#include "link/FactoryCommands.h"
#include "link/backends/PortDefaults.h"
#include "adjust/panels/DialogService.h"
#include "shell/TAboutBox.h"
#include "shell/TFormBoot.h"
#include "shell/TFormQuit.h"
#include "app/VirtualConsole.h"
#include "sim/PagePng.h"
#include "sim/VirtualPrinter.h"

namespace vantor {

// The virtual printer's sheets, shown on its console and written as PNG when asked for.
struct Program::PrintedPages {
  PrintedPages(sim::VirtualPrinter& p, const std::string& dir)
      : printer(p), renderer(p.Mechanics(), [this](sim::Page&& page) { Take(page); }) {
    if (!dir.empty()) directory.emplace(dir);
    printer.SetPageListener(&renderer);
  }
  ~PrintedPages() { printer.SetPageListener(nullptr); }

  void Take(const sim::Page& page) {
    if (directory) {
      const bool failedBefore = !directory->Error().empty();
      directory->Write(page);
      if (!failedBefore && !directory->Error().empty()) {
        std::cerr << "vantor-adjust: " << directory->Error() << "\n";
      }
    }
    if (console) {
      const QImage view(page.rgb.data(), page.width, page.height, page.width * 3,
                        QImage::Format_RGB888);
      console->AddPage(view.copy());
    }
  }

  sim::VirtualPrinter& printer;
  std::optional<sim::PageDirectory> directory;
  VirtualConsole* console = nullptr;
  sim::PageRenderer renderer;
};

Program::Program(Clock& clock, DialogService& dialogs) : clock_(clock), dialogs_(dialogs) {}

// Windows go first: they hold the link, which holds the printer's device.
Program::~Program() {
  pages_.reset();
  console_.reset();
  about_.reset();
  quit_.reset();
  adjust_.reset();
  boot_.reset();
  link_.reset();
}

bool Program::CreateLink() {
  try {
    link_ = std::make_unique<Link>(table_, clock_);
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}

Model Program::ModelFromStateFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return Model::Q40;
  const std::vector<char> image{std::istreambuf_iterator<char>(in), {}};
  if (image.size() != 256) return Model::Q40;
  return std::uint8_t(image[eeprom::kModelDefault]) == 0x95 ? Model::Q30 : Model::Q40;
}

bool Program::Configure(const ProgramOptions& options, std::string& error) {
  if (options.virtualPrinter) {
    const Model model =
        options.stateFile.empty() ? Model::Q40 : ModelFromStateFile(options.stateFile);
    printer_ = std::make_unique<sim::VirtualPrinter>(clock_, model);
    if (!options.stateFile.empty() && !printer_->UseStateFile(options.stateFile, error)) {
      return false;
    }
    pages_ = std::make_unique<PrintedPages>(*printer_, options.pagesDir);
    if (pages_->directory && !pages_->directory->Prepare(error)) return false;
    printer_->AttachTo(table_);
  } else {
    AddDefaultPorts(table_);
  }
  for (const auto& [name, path] : options.devices) {
    std::string why;
    if (!OverridePort(table_, name, path, why)) {
      error = "--device " + name + "=" + path + ": " + why;
      return false;
    }
  }
  if (!options.traceFile.empty()) {
    trace_ = WireTrace::ToFile(options.traceFile);
    if (!trace_) {
      error = "cannot write the trace file " + options.traceFile;
      return false;
    }
    link_->port.SetTrace(trace_.get());
  }
  return true;
}

void Program::CreateWindows() {
  boot_ = std::make_unique<TFormBoot>(*link_, dialogs_);
  adjust_ = std::make_unique<TFormAdjust>(*link_, dialogs_);
  quit_ = std::make_unique<TFormQuit>(boot_.get());
  about_ = std::make_unique<TAboutBox>();
  boot_->SetWindows(adjust_.get(), about_.get());
  adjust_->SetQuitWindow(quit_.get());
  for (auto& module : MakeWorkflowModules()) adjust_->AddModule(std::move(module));
  if (printer_) console_ = std::make_unique<VirtualConsole>(*printer_);
  if (pages_) pages_->console = console_.get();
}

}  // namespace vantor
