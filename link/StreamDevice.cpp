#include "StreamDevice.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <fstream>
#include <iterator>

#include "PrinterPort.h"

namespace vantor {

namespace {

constexpr std::size_t kHeader = 6;

}  // namespace

std::int64_t SteadyMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

std::string ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return {};
  return std::string(std::istreambuf_iterator<char>(in), {});
}

std::size_t DeviceIdFromFile(const DeviceFileOptions& options, std::span<std::uint8_t> buffer) {
  const std::string file =
      options.deviceIdFile.empty() ? DeviceIdFileFor(options.path) : options.deviceIdFile;
  const std::string raw = ReadWholeFile(file);
  const std::size_t n = std::min(raw.size(), buffer.size());
  std::memcpy(buffer.data(), raw.data(), n);
  return n;
}

IoResult StreamDevice::Read(std::span<std::uint8_t> buffer, std::int64_t limitMs) {
  if (buffer.empty()) return {true, 0};
  if (!pending_.empty()) return {true, TakePending(buffer)};
  return ReadSome(buffer, limitMs);
}

IoResult StreamDevice::ReadReply(std::span<std::uint8_t> buffer, std::int64_t limitMs) {
  if (buffer.empty()) return {true, 0};
  // The rest of a reply longer than the last buffer comes first.
  if (!pending_.empty()) return {true, TakePending(buffer)};
  std::uint8_t header[kHeader];
  IoResult first = ReadSome(header, limitMs);
  if (!first.ok || first.count == 0) return first;
  std::vector<std::uint8_t> frame(header, header + first.count);
  const std::int64_t deadline = SteadyMs() + kTransferLimitMs;
  const auto absurd = [&frame] {
    return frame.size() >= kHeader && frame[2] * 256u + frame[3] > kPortBufferSize;
  };
  const auto wanted = [&frame, &absurd] {
    if (frame.size() < kHeader) return kHeader;
    // No reply is longer than the port takes: such a length is not waited for.
    return absurd() ? frame.size() : std::max<std::size_t>(kHeader, frame[2] * 256u + frame[3]);
  };
  while (frame.size() < wanted()) {
    const std::int64_t left = deadline - SteadyMs();
    if (left <= 0) break;  // deliver what came; the link judges a short reply
    std::uint8_t chunk[1024];
    const std::size_t ask = std::min(sizeof chunk, wanted() - frame.size());
    const IoResult io = ReadSome({chunk, ask}, left);
    if (!io.ok) return io;
    frame.insert(frame.end(), chunk, chunk + io.count);
  }
  if (absurd()) {
    // What has come of it goes up whole, for the port to refuse.
    std::uint8_t chunk[1024];
    const IoResult io = ReadSome(chunk, 0);
    if (io.ok) frame.insert(frame.end(), chunk, chunk + io.count);
  }
  pending_ = std::move(frame);
  return {true, TakePending(buffer)};
}

std::size_t StreamDevice::TakePending(std::span<std::uint8_t> buffer) {
  const std::size_t n = std::min(buffer.size(), pending_.size());
  std::memcpy(buffer.data(), pending_.data(), n);
  pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(n));
  return n;
}

}  // namespace vantor
