// Every sheet the virtual printer ejects: written into a directory as page-NNN.png, and handed
// to an observer (the desktop program's console) when there is one, with the file it went to
// so the observer need not keep the pixels. Numbering continues after
// the highest page already in the directory, so a second run never overwrites the first.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "sim/PagePng.h"
#include "sim/PageRenderer.h"
#include "sim/VirtualPrinter.h"

namespace vantor {

class PageOutput {
 public:
  // file: where the sheet was written; empty without a directory or when the write failed.
  using Observer = std::function<void(const sim::Page&, const std::string& file)>;

  PageOutput() = default;
  PageOutput(const PageOutput&) = delete;
  PageOutput& operator=(const PageOutput&) = delete;
  ~PageOutput() { Detach(); }

  // dir may be empty (no files); false with the reason when dir cannot be used.
  bool Attach(sim::VirtualPrinter& printer, const std::string& dir, Observer observer,
              std::string& why);
  void Detach();
  // The first failed page write, if any.
  const std::string& Error() const { return error_; }
  const std::string& Directory() const { return dir_; }
  // The files written so far, in order.
  const std::vector<std::string>& Written() const { return written_; }
  const sim::Page* SheetInPrinter() const {
    return renderer_ ? renderer_->SheetInPrinter() : nullptr;
  }

 private:
  void Write(const sim::Page& page);

  sim::VirtualPrinter* printer_ = nullptr;
  std::unique_ptr<sim::PageRenderer> renderer_;
  Observer observer_;
  std::string dir_;
  int next_ = 1;
  std::vector<std::string> written_;
  std::string error_;
};

// The number after the highest page-NNN.png in dir (1 when there is none).
int NextPageNumber(const std::string& dir);

}  // namespace vantor
