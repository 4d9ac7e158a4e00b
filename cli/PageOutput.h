// Every sheet the virtual printer ejects, written into a directory as page-NNN.png.
#pragma once

#include <memory>
#include <string>

#include "sim/PagePng.h"
#include "sim/PageRenderer.h"
#include "sim/VirtualPrinter.h"

namespace vantor::cli {

struct PageOutput {
  std::unique_ptr<sim::PageDirectory> directory;
  std::unique_ptr<sim::PageRenderer> renderer;

  bool Attach(sim::VirtualPrinter& printer, const std::string& dir, std::string& why) {
    directory = std::make_unique<sim::PageDirectory>(dir);
    if (!directory->Prepare(why)) return false;
    renderer = std::make_unique<sim::PageRenderer>(
        printer.Mechanics(), [d = directory.get()](sim::Page&& page) { d->Write(page); });
    printer.SetPageListener(renderer.get());
    return true;
  }
  // The first failed page write, if any.
  std::string Error() const { return directory ? directory->Error() : std::string(); }
};

}  // namespace vantor::cli
