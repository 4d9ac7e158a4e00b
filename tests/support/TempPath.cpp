#include "tests/support/TempPath.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <iterator>

namespace vantor::test {

namespace {

std::string Unique(std::string_view name) {
  static int counter = 0;
  const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string test = info ? std::string(info->test_suite_name()) + "." + info->name() : "global";
  for (char& c : test) {
    if (c == '/') c = '_';  // parameterised names
  }
  return "vantor-" + std::to_string(::getpid()) + "-" + test + "-" + std::to_string(++counter) +
         "-" + std::string(name);
}

}  // namespace

TempPath::TempPath(std::string_view name)
    : path_(std::filesystem::path(::testing::TempDir()) / Unique(name)) {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

TempPath::~TempPath() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

std::string FileContents(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

}  // namespace vantor::test
