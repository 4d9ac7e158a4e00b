// Every sheet the virtual printer ejects: written into a directory as page-NNN.png, and handed
// to an observer (the desktop program's console) when there is one.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "sim/PagePng.h"
#include "sim/PageRenderer.h"
#include "sim/VirtualPrinter.h"

namespace vantor {

class PageOutput {
 public:
  using Observer = std::function<void(const sim::Page&)>;

  PageOutput() = default;
  PageOutput(const PageOutput&) = delete;
  PageOutput& operator=(const PageOutput&) = delete;
  ~PageOutput() { Detach(); }

  // dir may be empty (no files); false with the reason when dir cannot be used.
  bool Attach(sim::VirtualPrinter& printer, const std::string& dir, Observer observer,
              std::string& why);
  void Detach();
  // The first failed page write, if any.
  std::string Error() const { return directory_ ? directory_->Error() : std::string(); }

 private:
  sim::VirtualPrinter* printer_ = nullptr;
  std::unique_ptr<sim::PageDirectory> directory_;
  std::unique_ptr<sim::PageRenderer> renderer_;
  Observer observer_;
};

}  // namespace vantor
