#include "sim/Faults.h"

#include <algorithm>
#include <cstdlib>
#include <sstream>

namespace vantor::sim {

bool Faults::Take(int& budget) {
  if (budget == 0) return false;
  if (budget > 0) --budget;
  return Fired();
}

bool Faults::Fired() {
  if (!firstFiredMs_ && clock_ != nullptr) firstFiredMs_ = clock_->NowMs();
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

namespace {
// A count or "all" (-1); false for anything else.
bool ParseCount(const std::string& text, int& value, bool allowAll) {
  if (allowAll && text == "all") {
    value = -1;
    return true;
  }
  if (text.empty() || text.size() > 9 ||
      text.find_first_not_of("0123456789") != std::string::npos) {
    return false;
  }
  value = std::atoi(text.c_str());
  return true;
}
}  // namespace

bool Faults::Apply(const std::string& setting, std::string& why) {
  if (setting == "off") {
    Clock* const clock = clock_;
    *this = Faults{};
    clock_ = clock;
    return true;
  }
  std::istringstream parts(setting);
  std::string kind;
  std::getline(parts, kind, ',');
  int after = 0, count = 1, ms = 11'000;  // late by more than the 10-second rule
  for (std::string part; std::getline(parts, part, ',');) {
    const auto eq = part.find('=');
    const std::string key = part.substr(0, eq);
    const std::string value = eq == std::string::npos ? "" : part.substr(eq + 1);
    const bool ok = key == "after"   ? ParseCount(value, after, false)
                    : key == "count" ? ParseCount(value, count, true)
                    : key == "ms"    ? ParseCount(value, ms, false)
                                     : false;
    if (!ok) {
      why = "fault " + setting + ": " + part + " is not after=N, count=N|all or ms=N";
      return false;
    }
  }
  if (kind == "no-reply") {
    dropReplies = count;
  } else if (kind == "late-reply") {
    delayedReplies = count;
    replyDelayMs = ms;
  } else if (kind == "garbled" || kind == "truncated" || kind == "bit-flip" || kind == "oversize") {
    spoil = kind == "garbled"     ? Spoil::Garbled
            : kind == "truncated" ? Spoil::Truncated
            : kind == "bit-flip"  ? Spoil::BitFlip
                                  : Spoil::Oversize;
    spoiltReplies = count;
  } else if (kind == "short-write") {
    shortWrites = count;
  } else if (kind == "power-loss") {
    powerLoss = true;
  } else if (kind == "busy") {
    busyAnswers = count;
  } else {
    why = "unknown fault " + kind + " (" + std::string(kKinds) + ")";
    return false;
  }
  armAfterReplies = after;
  return true;
}

void Faults::ReplyLeaving(std::vector<std::uint8_t>& reply) {
  if (!Armed()) {
    --armAfterReplies;
    return;
  }
  if (spoil == Spoil::None || !Take(spoiltReplies)) return;
  switch (spoil) {
    case Spoil::Garbled:
      // Everything but the length, so the stream keeps its framing.
      for (std::size_t i = 0; i < reply.size(); ++i) {
        if (i != 2 && i != 3) reply[i] ^= 0xA5;
      }
      break;
    case Spoil::Truncated:
      reply.resize(std::max<std::size_t>(1, reply.size() / 2));
      break;
    case Spoil::BitFlip:
      if (reply.size() > 1) reply[1] ^= 0x01;  // the socket the reply claims to come from
      break;
    case Spoil::Oversize:
      if (reply.size() > 3) reply[2] = reply[3] = 0xFF;
      break;
    case Spoil::None:
      break;
  }
}

}  // namespace vantor::sim
