// A path of the test's own under the test temporary folder. Test cases run in parallel
// processes, so the name holds the process, the test and a counter; whatever lies there is
// removed before and after.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace vantor::test {

class TempPath {
 public:
  // name ends the path ("state.bin", "pages"); nothing is created.
  explicit TempPath(std::string_view name);
  ~TempPath();
  TempPath(const TempPath&) = delete;
  TempPath& operator=(const TempPath&) = delete;

  const std::filesystem::path& path() const { return path_; }
  std::string string() const { return path_.string(); }
  std::filesystem::path operator/(std::string_view child) const { return path_ / child; }

 private:
  std::filesystem::path path_;
};

// The whole content of a file; empty when it cannot be read.
std::string FileContents(const std::filesystem::path& file);

}  // namespace vantor::test
