// Printed sheets as PNG files.
#pragma once

#include <cstdio>
#include <string>

#include "sim/PageRenderer.h"

namespace vantor::sim {

bool WritePng(const Page& page, std::FILE* file, std::string& error);
bool WritePng(const Page& page, const std::string& path, std::string& error);

// page-001.png, page-002.png ... in one directory, numbered from 1 for each run.
class PageDirectory {
 public:
  explicit PageDirectory(std::string dir) : dir_(std::move(dir)) {}
  // Creates the directory when it is missing.
  bool Prepare(std::string& error);
  // Keeps the first failure; later pages are still tried.
  void Write(const Page& page);
  int Written() const { return written_; }
  const std::string& Error() const { return error_; }
  std::string PathOf(int number) const;

 private:
  std::string dir_;
  int next_ = 1;
  int written_ = 0;
  std::string error_;
};

}  // namespace vantor::sim
