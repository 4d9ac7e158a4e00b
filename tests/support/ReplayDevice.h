// A port device that plays a wire trace: it answers the host's reads from the trace's R and D
// lines and checks every host write against the next W line. The first write that differs,
// or a transfer the trace does not expect next, fails the test, naming the trace line with the
// expected and actual bytes; from then on every transfer fails so the host stops.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "link/PortDevice.h"

namespace vantor::test {

class ReplayDevice final : public PortDevice {
 public:
  struct Step {
    char kind;  // 'W' host write, 'R' printer reply, 'D' device-ID reply
    std::vector<std::uint8_t> bytes;
    std::string where;  // "name:line"
  };

  ReplayDevice() = default;
  // Appends the lines of a trace, named for the messages; a malformed line fails the test and
  // appends nothing.
  void Append(const std::string& text, const std::string& name);
  void AppendFile(const std::string& path);

  IoResult Write(std::span<const std::uint8_t> bytes, std::int64_t limitMs) override;
  IoResult Read(std::span<std::uint8_t> buffer, std::int64_t limitMs) override;
  IoResult ReadReply(std::span<std::uint8_t> buffer, std::int64_t limitMs) override;
  std::size_t DeviceId(std::span<std::uint8_t> buffer) override;

  // Every line played and nothing failed.
  bool Finished() const { return failure_.empty() && next_ == steps_.size(); }
  // The first failure; else, when lines are left, the first of them; else empty.
  std::string Report() const;
  const std::vector<Step>& Steps() const { return steps_; }

 private:
  bool Expect(char kind, const char* what);
  void Fail(std::string message);

  std::vector<Step> steps_;
  std::size_t next_ = 0;
  std::size_t offset_ = 0;  // bytes of steps_[next_] already read
  std::string failure_;
};

}  // namespace vantor::test
