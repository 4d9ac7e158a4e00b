// A folder of its own per test for the virtual printer's state files, removed afterwards.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace vantor::sim::test {

class StateFileSafety : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = std::filesystem::temp_directory_path() /
          ("vantor-safety-" + std::to_string(::getpid()) + "-" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    path = (dir / "eeprom.bin").string();
  }
  void TearDown() override { std::filesystem::remove_all(dir); }
  static int ByteAt(const std::filesystem::path& file, std::streamoff at) {
    std::ifstream in(file, std::ios::binary);
    in.seekg(at);
    return in.get();
  }
  std::filesystem::path dir;
  std::string path;
};

}  // namespace vantor::sim::test
