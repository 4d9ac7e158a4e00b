#include "tests/support/ReplayDevice.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "link/WireTrace.h"

namespace vantor::test {

namespace {

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// "W 1b 40": the tag, one blank, then two lower-case digits per byte, single blanks between.
bool ParseLine(const std::string& line, ReplayDevice::Step& step) {
  if (line.size() < 4 || line[1] != ' ') return false;
  if (line[0] != 'W' && line[0] != 'R' && line[0] != 'D') return false;
  step.kind = line[0];
  step.bytes.clear();
  for (std::size_t at = 2;; at += 3) {
    if (at + 2 > line.size()) return false;
    const int high = HexDigit(line[at]);
    const int low = HexDigit(line[at + 1]);
    if (high < 0 || low < 0) return false;
    step.bytes.push_back(std::uint8_t(high * 16 + low));
    if (at + 2 == line.size()) return true;
    if (line[at + 2] != ' ') return false;
  }
}

}  // namespace

void ReplayDevice::Append(const std::string& text, const std::string& name) {
  std::istringstream in(text);
  std::string line;
  std::vector<Step> steps;
  for (int number = 1; std::getline(in, line); ++number) {
    if (line.empty() || line[0] == '#') continue;
    Step step{};
    step.where = name + ":" + std::to_string(number);
    if (!ParseLine(line, step)) {
      ADD_FAILURE() << step.where << ": not a trace line: " << line;
      return;
    }
    steps.push_back(std::move(step));
  }
  steps_.insert(steps_.end(), steps.begin(), steps.end());
}

void ReplayDevice::AppendFile(const std::string& path) {
  std::ifstream in(path);
  ASSERT_TRUE(in.good()) << "cannot read " << path;
  std::ostringstream text;
  text << in.rdbuf();
  Append(text.str(), std::filesystem::path(path).filename().string());
}

void ReplayDevice::Fail(std::string message) {
  if (!failure_.empty()) return;
  failure_ = std::move(message);
  ADD_FAILURE() << failure_;
}

bool ReplayDevice::Expect(char kind, const char* what) {
  if (!failure_.empty()) return false;
  if (next_ == steps_.size()) {
    Fail(std::string("the host ") + what + " after the last line of the trace");
    return false;
  }
  const Step& step = steps_[next_];
  if (step.kind != kind) {
    Fail(step.where + ": the host " + what + ", the trace has " + step.kind + " " +
         WireTrace::Hex(step.bytes));
    return false;
  }
  return true;
}

IoResult ReplayDevice::Write(std::span<const std::uint8_t> bytes, std::int64_t) {
  if (!Expect('W', "writes")) return {false, 0};
  const Step& step = steps_[next_];
  if (!std::equal(bytes.begin(), bytes.end(), step.bytes.begin(), step.bytes.end())) {
    Fail(step.where + ": the host wrote other bytes\n  expected W " + WireTrace::Hex(step.bytes) +
         "\n  actual   W " + WireTrace::Hex(bytes));
    return {false, 0};
  }
  ++next_;
  return {true, bytes.size()};
}

// A byte stream: a read may take part of a line or run on into the next reply line.
IoResult ReplayDevice::Read(std::span<std::uint8_t> buffer, std::int64_t) {
  std::size_t got = 0;
  while (got < buffer.size() && next_ < steps_.size() && steps_[next_].kind == 'R' &&
         failure_.empty()) {
    const Step& step = steps_[next_];
    const std::size_t n = std::min(buffer.size() - got, step.bytes.size() - offset_);
    std::memcpy(buffer.data() + got, step.bytes.data() + offset_, n);
    got += n;
    offset_ += n;
    if (offset_ == step.bytes.size()) {
      ++next_;
      offset_ = 0;
    }
  }
  if (got == 0 && !Expect('R', "reads")) return {false, 0};
  return {true, got};
}

// Whole replies, as a USB port gives them: one line per read, in pieces if the buffer is short.
IoResult ReplayDevice::ReadReply(std::span<std::uint8_t> buffer, std::int64_t) {
  if (!Expect('R', "reads")) return {false, 0};
  const Step& step = steps_[next_];
  const std::size_t n = std::min(buffer.size(), step.bytes.size() - offset_);
  std::memcpy(buffer.data(), step.bytes.data() + offset_, n);
  offset_ += n;
  if (offset_ == step.bytes.size()) {
    ++next_;
    offset_ = 0;
  }
  return {true, n};
}

std::size_t ReplayDevice::DeviceId(std::span<std::uint8_t> buffer) {
  if (!Expect('D', "asks for the device ID")) return 0;
  const Step& step = steps_[next_++];
  const std::size_t n = std::min(buffer.size(), step.bytes.size());
  std::memcpy(buffer.data(), step.bytes.data(), n);
  return n;
}

std::string ReplayDevice::Report() const {
  if (!failure_.empty()) return failure_;
  if (next_ < steps_.size()) {
    const Step& step = steps_[next_];
    return step.where + ": not played: " + step.kind + " " + WireTrace::Hex(step.bytes);
  }
  return {};
}

}  // namespace vantor::test
