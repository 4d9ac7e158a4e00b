#include "link/backends/DeviceIdReply.h"

#include <algorithm>
#include <cctype>

namespace vantor {

namespace {

std::string CleanText(std::span<const std::uint8_t> bytes) {
  std::string text(bytes.begin(), bytes.end());
  // Some ports pad with NULs or end the ID with one; nothing after it is part of the ID.
  if (const auto nul = text.find('\0'); nul != std::string::npos) text.resize(nul);
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) text.pop_back();
  return text;
}

bool LooksLikeIdText(std::span<const std::uint8_t> bytes) {
  return !bytes.empty() && std::isprint(bytes[0]) &&
         std::isprint(bytes.size() > 1 ? bytes[1] : 'A');
}

std::string Upper(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return out;
}

}  // namespace

DeviceIdText ParseDeviceId(std::span<const std::uint8_t> reply) {
  DeviceIdText result;
  if (reply.size() < 2) return result;
  const std::size_t bigEndian = reply[0] * 256u + reply[1];
  const std::size_t littleEndian = reply[1] * 256u + reply[0];
  const auto body = reply.subspan(2);

  if (bigEndian == 0 && littleEndian == 0) {
    // A zero length followed by text is a port that left the prefix blank.
    if (LooksLikeIdText(body)) {
      result.shape = DeviceIdShape::NoPrefix;
      result.text = CleanText(body);
      if (result.text.empty()) result.shape = DeviceIdShape::Empty;
    }
    return result;
  }
  if (bigEndian + 2 == reply.size()) {
    // A prefix that leaves itself out of the count.
    result.shape = DeviceIdShape::Exact;
    result.text = CleanText(body);
  } else if (bigEndian >= 2 && bigEndian <= reply.size()) {
    result.shape = DeviceIdShape::Exact;
    result.text = CleanText(reply.subspan(2, bigEndian - 2));
  } else if (bigEndian > reply.size() && littleEndian >= 2 && littleEndian <= reply.size()) {
    result.shape = DeviceIdShape::SwappedPrefix;
    result.text = CleanText(reply.subspan(2, littleEndian - 2));
  } else if (bigEndian > reply.size() && bigEndian <= 0x3FFF && !LooksLikeIdText(reply)) {
    result.shape = DeviceIdShape::Truncated;
    result.text = CleanText(body);
  } else if (LooksLikeIdText(reply)) {
    result.shape = DeviceIdShape::NoPrefix;
    result.text = CleanText(reply);
  } else {
    result.shape = DeviceIdShape::Truncated;
    result.text = CleanText(body);
  }
  if (result.text.empty()) result.shape = DeviceIdShape::Empty;
  return result;
}

std::string DeviceIdField(std::string_view text, std::string_view key) {
  const std::string wanted = Upper(key);
  std::string alias;
  if (wanted == "MFG") alias = "MANUFACTURER";
  if (wanted == "MDL") alias = "MODEL";
  if (wanted == "CMD") alias = "COMMAND SET";
  if (wanted == "CLS") alias = "CLASS";
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t end = text.find(';', pos);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view field = text.substr(pos, end - pos);
    if (const auto colon = field.find(':'); colon != std::string_view::npos) {
      std::string name = Upper(field.substr(0, colon));
      while (!name.empty() && name.front() == ' ') name.erase(name.begin());
      if (name == wanted || (!alias.empty() && name == alias)) {
        return std::string(field.substr(colon + 1));
      }
    }
    pos = end + 1;
  }
  return {};
}

std::size_t WriteDeviceIdReply(std::string_view text, std::span<std::uint8_t> out) {
  if (out.size() < 2 || text.empty()) return 0;
  const std::size_t room = std::min<std::size_t>({text.size(), out.size() - 2, 0xFFFF - 2});
  const std::size_t total = room + 2;
  out[0] = static_cast<std::uint8_t>(total >> 8);
  out[1] = static_cast<std::uint8_t>(total & 0xFF);
  std::copy_n(text.begin(), room, out.begin() + 2);
  return total;
}

std::string_view DescribeShape(DeviceIdShape shape) {
  switch (shape) {
    case DeviceIdShape::Empty:
      return "no device ID";
    case DeviceIdShape::Exact:
      return "device ID";
    case DeviceIdShape::SwappedPrefix:
      return "device ID (length in little-endian order)";
    case DeviceIdShape::Truncated:
      return "device ID (cut short)";
    case DeviceIdShape::NoPrefix:
      return "device ID (no length prefix)";
  }
  return "";
}

}  // namespace vantor
