#include "sim/Misalignment.h"

#include <charconv>
#include <cstdint>
#include <string_view>

#include "link/FactoryCommands.h"

namespace vantor::sim {

namespace {

std::string_view Trimmed(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

// A signed whole number, '+' allowed, within limit either way.
bool Number(std::string_view text, int limit, int& value) {
  text = Trimmed(text);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return !text.empty() && error == std::errc{} && end == text.data() + text.size() &&
         value >= -limit && value <= limit;
}

std::string Range(int limit) {
  return "a whole number from -" + std::to_string(limit) + " to +" + std::to_string(limit);
}

int Signed(const EepromBytes& stored, std::uint8_t address) {
  return static_cast<std::int8_t>(stored[address]);
}

}  // namespace

bool ParseMisalignment(const std::string& text, Misalignment& out, std::string& why) {
  Misalignment result;
  std::string_view rest = text;
  while (!rest.empty()) {
    const auto semicolon = rest.find(';');
    const std::string_view part = Trimmed(rest.substr(0, semicolon));
    rest = semicolon == std::string_view::npos ? std::string_view{} : rest.substr(semicolon + 1);
    if (part.empty()) continue;
    const auto equals = part.find('=');
    const std::string_view key = Trimmed(part.substr(0, equals));
    const std::string_view value =
        equals == std::string_view::npos ? std::string_view{} : part.substr(equals + 1);
    const auto single = [&](std::optional<int>& into, int limit) {
      int v = 0;
      if (!Number(value, limit, v)) {
        why = "misalignment " + std::string(key) + ": expected " + Range(limit) + ", got \"" +
              std::string(Trimmed(value)) + "\"";
        return false;
      }
      into = v;
      return true;
    };
    if (key == "pf") {
      if (!single(result.pf, kMaxPfError)) return false;
    } else if (key == "tilt") {
      if (!single(result.tilt, kMaxTiltError)) return false;
    } else if (key == "top") {
      if (!single(result.top, kMaxTopError)) return false;
    } else if (key == "bid") {
      std::string_view rows = value;
      if (Trimmed(rows).empty()) {
        why = "misalignment bid: expected ROW:STEPS[,ROW:STEPS...], rows " +
              std::string(kBidRowNames[2]) + " to " + std::string(kBidRowNames[1]);
        return false;
      }
      while (!rows.empty()) {
        const auto comma = rows.find(',');
        const std::string_view entry = Trimmed(rows.substr(0, comma));
        rows = comma == std::string_view::npos ? std::string_view{} : rows.substr(comma + 1);
        const auto colon = entry.find(':');
        const std::string_view name = Trimmed(entry.substr(0, colon));
        std::size_t row = kBidRowNames.size();
        for (std::size_t i = 0; i < kBidRowNames.size(); ++i) {
          if (name == kBidRowNames[i]) row = i;
        }
        if (row == kBidRowNames.size() || colon == std::string_view::npos) {
          why = "misalignment bid: unknown row \"" + std::string(name) +
                "\" (rows: vsd1-black, vsd1-color, vsd2-black, vsd2-color, vsd3-black, "
                "vsd3-color, eco-black, eco-color)";
          return false;
        }
        int v = 0;
        if (!Number(entry.substr(colon + 1), kMaxBidError, v)) {
          why = "misalignment bid " + std::string(name) + ": expected " + Range(kMaxBidError);
          return false;
        }
        result.bid[row] = v;
      }
    } else {
      why = "misalignment: unknown part \"" + std::string(key) + "\" (parts: bid, pf, tilt, top)";
      return false;
    }
  }
  out = result;
  return true;
}

TrueMechanism ApplyMisalignment(const Misalignment& errors, TrueMechanism base,
                                const EepromBytes& stored, int lever) {
  for (std::size_t i = 0; i < base.bid.size(); ++i) {
    if (!errors.bid[i]) continue;
    const int value = Signed(stored, static_cast<std::uint8_t>(eeprom::kBidFirst + i));
    base.bid[i] = static_cast<std::int8_t>(value + *errors.bid[i]);
  }
  if (errors.pf) base.pf = Signed(stored, eeprom::kPfValue) + *errors.pf;
  if (errors.tilt) base.squareLever = lever - *errors.tilt;
  if (errors.top) base.topMarginOffset = *errors.top;
  return base;
}

Misalignment ErrorsOf(const TrueMechanism& mechanism, const EepromBytes& stored, int lever) {
  Misalignment errors;
  for (std::size_t i = 0; i < errors.bid.size(); ++i) {
    errors.bid[i] =
        mechanism.bid[i] - Signed(stored, static_cast<std::uint8_t>(eeprom::kBidFirst + i));
  }
  errors.pf = mechanism.pf - Signed(stored, eeprom::kPfValue);
  errors.tilt = lever - mechanism.squareLever;
  errors.top = mechanism.topMarginOffset;
  return errors;
}

std::string FormatMisalignment(const Misalignment& errors) {
  // Appended, not prefixed: GCC 12 at -O3 takes a prefix for an overlapping copy.
  const auto signedText = [](int v) {
    std::string t(v >= 0 ? "+" : "");
    t += std::to_string(v);
    return t;
  };
  std::string text;
  std::string rows;
  // Panel order reads as the sheets print.
  for (const std::size_t i : {2, 3, 4, 5, 6, 7, 0, 1}) {
    if (!errors.bid[i]) continue;
    if (!rows.empty()) rows += ',';
    rows += kBidRowNames[i];
    rows += ':';
    rows += signedText(*errors.bid[i]);
  }
  const auto add = [&](std::string_view name, const std::string& value) {
    if (!text.empty()) text += ';';
    text += name;
    text += value;
  };
  if (!rows.empty()) add("bid=", rows);
  if (errors.pf) add("pf=", signedText(*errors.pf));
  if (errors.tilt) add("tilt=", signedText(*errors.tilt));
  if (errors.top) add("top=", signedText(*errors.top));
  return text;
}

}  // namespace vantor::sim
