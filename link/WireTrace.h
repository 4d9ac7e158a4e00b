// Records every port transfer, one line each, for field diagnosis and byte-exact tests.
#pragma once

#include <cstdint>
#include <memory>
#include <ostream>
#include <span>
#include <string>
#include <string_view>

namespace vantor {

class WireTrace {
 public:
  explicit WireTrace(std::ostream& out) : out_(&out) {}
  // Opens FILE for writing; nullptr when it cannot be created.
  static std::unique_ptr<WireTrace> ToFile(const std::string& path);

  void Write(std::span<const std::uint8_t> bytes) { Line('W', bytes); }
  void Read(std::span<const std::uint8_t> bytes) { Line('R', bytes); }
  void DeviceId(std::span<const std::uint8_t> bytes) { Line('D', bytes); }
  void Comment(std::string_view text);
  // False when some line could not be written (a full disk, a closed pipe).
  bool Flush();

  static std::string Hex(std::span<const std::uint8_t> bytes);

 private:
  WireTrace() = default;
  void Line(char tag, std::span<const std::uint8_t> bytes);
  std::unique_ptr<std::ostream> owned_;
  std::ostream* out_ = nullptr;
};

}  // namespace vantor
