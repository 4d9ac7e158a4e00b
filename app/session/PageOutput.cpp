#include "app/session/PageOutput.h"

namespace vantor {

bool PageOutput::Attach(sim::VirtualPrinter& printer, const std::string& dir, Observer observer,
                        std::string& why) {
  Detach();
  if (!dir.empty()) {
    directory_ = std::make_unique<sim::PageDirectory>(dir);
    if (!directory_->Prepare(why)) return false;
  }
  observer_ = std::move(observer);
  renderer_ = std::make_unique<sim::PageRenderer>(printer.Mechanics(), [this](sim::Page&& page) {
    if (directory_) directory_->Write(page);
    if (observer_) observer_(page);
  });
  printer_ = &printer;
  printer.SetPageListener(renderer_.get());
  return true;
}

void PageOutput::Detach() {
  if (printer_) printer_->SetPageListener(nullptr);
  printer_ = nullptr;
}

}  // namespace vantor
