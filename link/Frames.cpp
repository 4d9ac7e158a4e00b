#include "Frames.h"

namespace vantor::wire {

namespace {

// Model bytes, code, its complement and sub-code: the head of every service frame's body.
std::size_t PutBodyHead(ServiceFrame& f, std::size_t at, ModelBytes model, FrameCode code) {
  f.bytes[at] = model[0];
  f.bytes[at + 1] = model[1];
  f.bytes[at + 2] = code.code;
  f.bytes[at + 3] = static_cast<std::uint8_t>(~code.code);
  f.bytes[at + 4] = code.sub;
  return at + 5;
}

ServiceFrame EepromFrame(ModelBytes model, FrameCode code) {
  ServiceFrame f;
  f.bytes[0] = kFrameMark;
  f.bytes[1] = kFrameMark;
  f.bytes[2] = code.length;
  f.bytes[3] = 0x00;
  f.size = PutBodyHead(f, 4, model, code);
  return f;
}

}  // namespace

ServiceFrame EepromReadFrame(ModelBytes model, std::uint8_t address) {
  ServiceFrame f = EepromFrame(model, kEepromReadFrame);
  f.bytes[f.size++] = address;
  return f;
}

ServiceFrame EepromWriteFrame(ModelBytes model, std::uint8_t address, std::uint8_t value) {
  ServiceFrame f = EepromFrame(model, kEepromWriteFrame);
  f.bytes[f.size++] = address;
  f.bytes[f.size++] = value;
  return f;
}

ServiceFrame FactoryFrame(ModelBytes model, FrameCode code, std::span<const std::uint8_t> params) {
  ServiceFrame f;
  const std::size_t body = 5 + params.size();
  f.bytes[0] = 0x1B;
  f.bytes[1] = 0x7C;
  f.bytes[2] = 0x00;
  f.bytes[3] = static_cast<std::uint8_t>(body & 0xFF);
  f.bytes[4] = static_cast<std::uint8_t>(body >> 8);
  f.size = PutBodyHead(f, 5, model, code);
  for (const std::uint8_t p : params) f.bytes[f.size++] = p;
  return f;
}

}  // namespace vantor::wire
