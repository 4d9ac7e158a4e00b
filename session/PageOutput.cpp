#include "session/PageOutput.h"

#include <cstdio>
#include <filesystem>

namespace vantor {

namespace {

std::string PageName(int number) {
  char name[32];
  std::snprintf(name, sizeof name, "page-%03d.png", number);
  return name;
}

}  // namespace

int NextPageNumber(const std::string& dir) {
  int highest = 0;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(dir, ec)) {
    const std::string name = entry.path().filename().string();
    int number = 0;
    int end = 0;
    // page-1000.png and beyond sort after page-999.png by number, not by name.
    if (std::sscanf(name.c_str(), "page-%d.png%n", &number, &end) == 1 && end == int(name.size()) &&
        number > highest) {
      highest = number;
    }
  }
  return highest + 1;
}

bool PageOutput::Attach(sim::VirtualPrinter& printer, const std::string& dir, Observer observer,
                        std::string& why) {
  Detach();
  dir_ = dir;
  written_.clear();
  error_.clear();
  if (!dir.empty()) {
    sim::PageDirectory directory(dir);
    if (!directory.Prepare(why)) return false;
    next_ = NextPageNumber(dir);
  }
  observer_ = std::move(observer);
  renderer_ = std::make_unique<sim::PageRenderer>(printer.Mechanics(),
                                                  [this](sim::Page&& page) { Write(page); });
  printer_ = &printer;
  printer.SetPageListener(renderer_.get());
  return true;
}

void PageOutput::Write(const sim::Page& page) {
  std::string file;
  if (!dir_.empty()) {
    const std::string path = (std::filesystem::path(dir_) / PageName(next_++)).string();
    std::string why;
    if (sim::WritePng(page, path, why)) {
      written_.push_back(path);
      file = path;
    } else if (error_.empty()) {
      // Keeps the first failure; later pages are still tried.
      error_ = why;
    }
  }
  if (observer_) observer_(page, file);
}

void PageOutput::Detach() {
  if (printer_) printer_->SetPageListener(nullptr);
  printer_ = nullptr;
}

}  // namespace vantor
