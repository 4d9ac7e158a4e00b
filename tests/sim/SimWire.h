// A host's-eye view of the virtual printer for the tests: raw packets in, raw replies out.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "link/Clock.h"
#include "sim/VirtualPrinter.h"

namespace vantor::sim::test {

using Bytes = std::vector<std::uint8_t>;

inline Bytes Cat(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// A channel packet: both sockets, big-endian length counting the header, credit 0, control 0.
inline Bytes ChannelPacket(std::uint8_t socket, const Bytes& payload) {
  const std::size_t n = payload.size() + 6;
  return Cat({socket, socket, std::uint8_t(n >> 8), std::uint8_t(n & 0xFF), 0x00, 0x00}, payload);
}

inline const Bytes kEntryPacket = {0x00, 0x00, 0x00, 0x1B, 0x01, '@', 'Z', 'J',  'L',
                                   ' ',  '1',  '2',  '8',  '4',  '.', '4', '\n', '@',
                                   'Z',  'J',  'L',  '\n', '@',  'Z', 'J', 'L',  '\n'};
inline const Bytes kInitPacket = {0x00, 0x00, 0x00, 0x08, 0x01, 0x00, 0x00, 0x10};
inline Bytes OpenPacket(std::uint8_t s) {
  return {0x00, 0x00, 0x00, 0x11, 0x01, 0x00, 0x01, s, s, 0x04, 0x00, 0x04, 0x00, 0, 0, 0, 0};
}
inline Bytes ClosePacket(std::uint8_t s) {
  return {0x00, 0x00, 0x00, 0x0A, 0x01, 0x00, 0x02, s, s, 0x00};
}
inline Bytes CreditPacket(std::uint8_t s, std::uint16_t n) {
  return {0x00, 0x00, 0x00, 0x0B, 0x01, 0x00, 0x03, s, s, std::uint8_t(n >> 8), std::uint8_t(n)};
}
inline Bytes CreditRequestPacket(std::uint8_t s, std::uint16_t n) {
  return {0x00,           0x00, 0x00, 0x0D, 0x01, 0x00,
          0x04,           s,    s,    0x00, 0x00, std::uint8_t(n >> 8),
          std::uint8_t(n)};
}
inline const Bytes kStatusCommand = {'s', 't', 0x01, 0x00, 0x01};

struct Wire {
  explicit Wire(Model model = Model::Q40, InterfaceKind kind = InterfaceKind::Usb)
      : printer(clock, model), device(printer.Connect(kind)) {}

  void Write(const Bytes& bytes) { device->Write(bytes, 10'000); }
  Bytes Reply(std::int64_t limitMs = 50) {
    std::array<std::uint8_t, 1024> buffer{};
    const IoResult io = device->ReadReply(buffer, limitMs);
    return Bytes(buffer.begin(), buffer.begin() + io.count);
  }
  Bytes Exchange(const Bytes& packet) {
    Write(packet);
    return Reply();
  }
  // Entry, Init, both channels open, data credits both ways.
  void Up() {
    Exchange(kEntryPacket);
    Exchange(kInitPacket);
    Exchange(OpenPacket(0x02));
    Exchange(OpenPacket(0x40));
    Exchange(CreditPacket(0x40, 20));
    Exchange(CreditRequestPacket(0x40, 20));
  }
  // The text of a control command's reply (header stripped).
  std::string Control(const Bytes& payload) {
    const Bytes r = Exchange(ChannelPacket(0x02, payload));
    if (r.size() < 6 || r[0] != 0x02) return "<not a control reply>";
    return std::string(r.begin() + 6, r.end());
  }
  void Data(const Bytes& payload) { Write(ChannelPacket(0x40, payload)); }

  VirtualClock clock;
  VirtualPrinter printer;
  std::unique_ptr<PortDevice> device;
};

}  // namespace vantor::sim::test
