#include "adjust/procedures/EepromImage.h"

#include <ctime>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "ids/Malheadid.h"
#include "ids/Malusbid.h"
#include "link/Hex.h"

namespace vantor::procedures {

namespace {

constexpr std::string_view kFormat = "vantor-adjust EEPROM image";
constexpr std::size_t kRowBytes = 16;

using nlohmann::json;

json Optional(const std::optional<std::string>& text) {
  return text ? json(*text) : json();
}

std::optional<Model> ModelNamed(std::string_view name) {
  for (const Model m : {Model::Q40, Model::Q30}) {
    if (ModelName(m) == name) return m;
  }
  return std::nullopt;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

bool IsAlphanumeric(std::uint8_t c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

}  // namespace

PrinterIdentity IdentityOf(const EepromBytes& bytes) {
  PrinterIdentity id;
  headid::Values values{};
  for (std::size_t i = 0; i < values.size(); ++i) values[i] = bytes[headid::kAddresses[i]];
  if (const headid::Formatted f = headid::Format(values); f.detail == headid::kNoFault) {
    id.headId = f.text;
  }
  std::string usb;
  for (std::size_t i = 0; i < usbid::kLength; ++i) {
    const std::uint8_t c = bytes[usbid::kFirstAddress + i];
    if (!IsAlphanumeric(c)) break;
    usb += static_cast<char>(c);
  }
  if (usb.size() >= usbid::kSerialLength) id.serial = usb.substr(0, usbid::kSerialLength);
  if (usb.size() == usbid::kLength) id.usbId = usb;
  return id;
}

std::string_view ProgramVersion() {
  return VANTOR_PROGRAM_VERSION;
}

std::string LocalTimeStamp() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char text[40];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S%z", &local);
  return text;
}

std::string ImageToJson(const EepromImage& image) {
  const PrinterIdentity id = IdentityOf(image.bytes);
  json rows = json::array();
  for (std::size_t r = 0; r < image.bytes.size() / kRowBytes; ++r) {
    std::string row;
    for (std::size_t c = 0; c < kRowBytes; ++c) {
      row += ByteHex(image.bytes[r * kRowBytes + c]);
    }
    rows.push_back(row);
  }
  // ordered_json keeps the fields in the documented order for a reader of the file.
  nlohmann::ordered_json file;
  file["format"] = kFormat;
  file["version"] = kEepromImageVersion;
  file["model"] = ModelName(image.model);
  file["headId"] = Optional(id.headId);
  file["usbId"] = Optional(id.usbId);
  file["serialNumber"] = Optional(id.serial);
  file["savedAt"] = image.savedAt;
  file["program"] = image.program;
  file["eeprom"] = rows;
  return file.dump(2) + "\n";
}

bool ImageFromJson(std::string_view text, EepromImage& image, std::string& why) {
  const json file = json::parse(text, nullptr, false);
  if (file.is_discarded() || !file.is_object()) {
    why = "not a JSON file";
    return false;
  }
  const auto field = [&](const char* name) -> const json* {
    const auto it = file.find(name);
    return it == file.end() ? nullptr : &*it;
  };
  const json* format = field("format");
  if (!format || !format->is_string() || format->get<std::string>() != kFormat) {
    why = "not an EEPROM image";
    return false;
  }
  const json* version = field("version");
  if (!version || !version->is_number_integer() || version->get<int>() != kEepromImageVersion) {
    why = "image format version " + (version ? version->dump() : std::string("(none)")) +
          " is not " + std::to_string(kEepromImageVersion);
    return false;
  }
  EepromImage loaded;
  const json* model = field("model");
  const auto m = model && model->is_string() ? ModelNamed(model->get<std::string>()) : std::nullopt;
  if (!m) {
    why = "unknown model";
    return false;
  }
  loaded.model = *m;
  const json* rows = field("eeprom");
  if (!rows || !rows->is_array() || rows->size() != loaded.bytes.size() / kRowBytes) {
    why = "the EEPROM bytes are not 16 rows";
    return false;
  }
  for (std::size_t r = 0; r < rows->size(); ++r) {
    const json& row = (*rows)[r];
    const std::string hex = row.is_string() ? row.get<std::string>() : std::string();
    if (hex.size() != 2 * kRowBytes) {
      why = "EEPROM row " + std::to_string(r) + " is not 32 hexadecimal digits";
      return false;
    }
    for (std::size_t c = 0; c < kRowBytes; ++c) {
      const int hi = HexDigit(hex[2 * c]), lo = HexDigit(hex[2 * c + 1]);
      if (hi < 0 || lo < 0) {
        why = "EEPROM row " + std::to_string(r) + " is not 32 hexadecimal digits";
        return false;
      }
      loaded.bytes[r * kRowBytes + c] = static_cast<std::uint8_t>(hi * 16 + lo);
    }
  }
  // The identity is written from the bytes; a disagreement means one of them was changed.
  const PrinterIdentity id = IdentityOf(loaded.bytes);
  const std::pair<const char*, const std::optional<std::string>*> identity[] = {
      {"headId", &id.headId}, {"usbId", &id.usbId}, {"serialNumber", &id.serial}};
  for (const auto& [name, value] : identity) {
    const json* stored = field(name);
    if (!stored || *stored != Optional(*value)) {
      why = std::string(name) + " does not agree with the EEPROM bytes";
      return false;
    }
  }
  const json* savedAt = field("savedAt");
  const json* program = field("program");
  loaded.savedAt = savedAt && savedAt->is_string() ? savedAt->get<std::string>() : "";
  loaded.program = program && program->is_string() ? program->get<std::string>() : "";
  image = loaded;
  return true;
}

bool SaveImage(const std::string& path, const EepromImage& image, std::string& why) {
  const std::string temp = path + ".part";
  {
    std::ofstream file(temp, std::ios::trunc);
    file << ImageToJson(image);
    file.close();
    if (!file) {
      why = "cannot write " + temp;
      return false;
    }
  }
  if (std::rename(temp.c_str(), path.c_str()) != 0) {
    why = "cannot write " + path;
    std::remove(temp.c_str());
    return false;
  }
  return true;
}

bool LoadImage(const std::string& path, EepromImage& image, std::string& why) {
  std::ifstream file(path);
  if (!file) {
    why = "cannot read " + path;
    return false;
  }
  std::ostringstream text;
  text << file.rdbuf();
  if (!ImageFromJson(text.str(), image, why)) {
    why = path + ": " + why;
    return false;
  }
  return true;
}

}  // namespace vantor::procedures
