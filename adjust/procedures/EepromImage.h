// The EEPROM image file: the 256 bytes of one printer and what identifies that printer.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "adjust/procedures/EepromMap.h"
#include "link/Model.h"

namespace vantor::procedures {

inline constexpr int kEepromImageVersion = 1;

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
  std::string savedAt;  // local time, ISO 8601 with offset
  std::string program;  // the program and version that read the bytes
};

// The version of the program that writes the files.
std::string_view ProgramVersion();
// The current local time as EepromImage::savedAt holds it.
std::string LocalTimeStamp();

std::string ImageToJson(const EepromImage& image);
// False with the reason for a text that is not an image of this version, or whose
// identity does not agree with its bytes.
bool ImageFromJson(std::string_view text, EepromImage& image, std::string& why);

bool SaveImage(const std::string& path, const EepromImage& image, std::string& why);
bool LoadImage(const std::string& path, EepromImage& image, std::string& why);

}  // namespace vantor::procedures
