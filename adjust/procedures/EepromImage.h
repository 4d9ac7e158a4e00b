// The EEPROM image file: the 256 bytes of one printer and what identifies that printer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "adjust/procedures/EepromMap.h"
#include "link/Model.h"

namespace vantor::procedures {

// Version 2 adds the checksum; version 1 files are still read.
inline constexpr int kEepromImageVersion = 2;
// Far above any image (about 1 KB); a device that never ends, such as /dev/zero, stops here.
inline constexpr std::size_t kImageFileLimit = std::size_t{64} << 10;

// What the bytes say about their printer; empty where the stored bytes form no valid ID.
struct PrinterIdentity {
  std::optional<std::string> headId;  // 13 characters
  std::optional<std::string> usbId;   // 18 characters
  std::optional<std::string> serial;  // the USB ID's first 10 characters
};
PrinterIdentity IdentityOf(const EepromBytes& bytes);

struct EepromImage {
  Model model = Model::Q40;
  EepromBytes bytes{};
  std::string savedAt;                // local time, ISO 8601 with offset
  std::string program;                // the program and version that read the bytes
  int version = kEepromImageVersion;  // as read: 1 carries no checksum
};

// CRC-32 as in zip and PNG (reflected polynomial 0xEDB88320).
std::uint32_t Crc32(std::span<const std::uint8_t> bytes);

// The version of the program that writes the files.
std::string_view ProgramVersion();
// The current local time as EepromImage::savedAt holds it.
std::string LocalTimeStamp();

std::string ImageToJson(const EepromImage& image);
// False with the reason for a text that is not an image of a known version, whose identity or
// model does not agree with its bytes, or whose checksum does not match.
bool ImageFromJson(std::string_view text, EepromImage& image, std::string& why);

// Refuses a file above kImageFileLimit before reading the rest of it.
bool LoadImage(const std::string& path, EepromImage& image, std::string& why);

}  // namespace vantor::procedures
