#include "WireTrace.h"

#include <fstream>

namespace vantor {

std::unique_ptr<WireTrace> WireTrace::ToFile(const std::string& path) {
  auto file = std::make_unique<std::ofstream>(path, std::ios::out | std::ios::trunc);
  if (!*file) return nullptr;
  std::unique_ptr<WireTrace> trace(new WireTrace());
  trace->out_ = file.get();
  trace->owned_ = std::move(file);
  return trace;
}

std::string WireTrace::Hex(std::span<const std::uint8_t> bytes) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string text;
  text.reserve(bytes.size() * 3);
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (i) text.push_back(' ');
    text.push_back(kDigits[bytes[i] >> 4]);
    text.push_back(kDigits[bytes[i] & 0x0F]);
  }
  return text;
}

void WireTrace::Line(char tag, std::span<const std::uint8_t> bytes) {
  *out_ << tag << ' ' << Hex(bytes) << '\n';
  out_->flush();
}

void WireTrace::Comment(std::string_view text) {
  *out_ << "# " << text << '\n';
  out_->flush();
}

bool WireTrace::Flush() {
  out_->flush();
  return static_cast<bool>(*out_);
}

}  // namespace vantor
