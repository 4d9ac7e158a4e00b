#include "sim/Faults.h"

#include <algorithm>

namespace vantor::sim {

bool Faults::Take(int& budget) {
  if (budget == 0) return false;
  if (budget > 0) --budget;
  return true;
}

std::optional<std::uint8_t> Faults::TakeErrorReply(std::uint8_t socket) {
  if (!errorReply || errorReply->socket != socket) return std::nullopt;
  const std::uint8_t error = errorReply->error;
  errorReply.reset();
  return error;
}

std::optional<std::string> Faults::TakeControlReply() {
  std::optional<std::string> text = std::move(controlReply);
  controlReply.reset();
  return text;
}

std::size_t Faults::ReadLimit(std::size_t want) const {
  return readChunk > 0 ? std::min(want, readChunk) : want;
}

}  // namespace vantor::sim
