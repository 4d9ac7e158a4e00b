#include "adjust/procedures/EepromImage.h"

#include <cstdio>
#include <ctime>
#include <fstream>
#include <nlohmann/json.hpp>

#include "ids/Malheadid.h"
#include "ids/Malusbid.h"
#include "link/EepromAddresses.h"
#include "link/Hex.h"

namespace vantor::procedures {

namespace {

constexpr std::string_view kFormat = "vantor-adjust EEPROM image";

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

bool IsAlphanumeric(std::uint8_t c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

// Over the bytes, then the model and identity fields as written, so an edit of any of them
// shows.
std::string Checksum(Model model, const EepromBytes& bytes, const PrinterIdentity& id) {
  std::string text(bytes.begin(), bytes.end());
  text += std::string(ModelName(model)) + '\n' + id.headId.value_or("") + '\n' +
          id.usbId.value_or("") + '\n' + id.serial.value_or("");
  char hex[12];
  std::snprintf(hex, sizeof hex, "%08X",
                unsigned{Crc32({reinterpret_cast<const std::uint8_t*>(text.data()), text.size()})});
  return hex;
}

// The model byte decides what the printer is; a file must not say otherwise.
bool ModelAgrees(Model model, std::uint8_t byte) {
  return (model == Model::Q30) == (byte == eeprom::kModelQ30);
}

}  // namespace

std::uint32_t Crc32(std::span<const std::uint8_t> bytes) {
  std::uint32_t crc = 0xFFFFFFFF;
  for (const std::uint8_t b : bytes) {
    crc ^= b;
    for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320 & (0U - (crc & 1)));
  }
  return ~crc;
}

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
  file["eeprom"] = HexRows(image.bytes);
  file["checksum"] = Checksum(image.model, image.bytes, id);
  return file.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n";
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
  if (!version || !version->is_number_integer() ||
      (version->get<int>() != 1 && version->get<int>() != kEepromImageVersion)) {
    why = "image format version " + (version ? version->dump() : std::string("(none)")) +
          " is not 1 or " + std::to_string(kEepromImageVersion);
    return false;
  }
  EepromImage loaded;
  loaded.version = version->get<int>();
  const json* model = field("model");
  const auto m = model && model->is_string() ? ModelNamed(model->get<std::string>()) : std::nullopt;
  if (!m) {
    why = "unknown model";
    return false;
  }
  loaded.model = *m;
  const json* rows = field("eeprom");
  if (!rows || !rows->is_array() || rows->size() != kHexRows) {
    why = "the EEPROM bytes are not 16 rows";
    return false;
  }
  for (std::size_t r = 0; r < rows->size(); ++r) {
    const json& row = (*rows)[r];
    const std::string hex = row.is_string() ? row.get<std::string>() : std::string();
    if (!ParseHexRow(hex,
                     std::span(loaded.bytes).subspan(r * kHexRowBytes).first<kHexRowBytes>())) {
      why = "EEPROM row " + std::to_string(r) + " is not 32 hexadecimal digits";
      return false;
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
  if (!ModelAgrees(loaded.model, loaded.bytes[eeprom::kModelDefault])) {
    why = "the model " + std::string(ModelName(loaded.model)) +
          " does not agree with the model byte 0xB0 (" +
          ByteHex(loaded.bytes[eeprom::kModelDefault]) + ")";
    return false;
  }
  if (loaded.version >= 2) {
    const json* checksum = field("checksum");
    if (!checksum || !checksum->is_string() ||
        checksum->get<std::string>() != Checksum(loaded.model, loaded.bytes, id)) {
      why = "the checksum does not match: the file was changed or damaged";
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

bool LoadImage(const std::string& path, EepromImage& image, std::string& why) {
  std::ifstream file(path);
  if (!file) {
    why = "cannot read " + path;
    return false;
  }
  std::string text(kImageFileLimit + 1, '\0');
  file.read(text.data(), static_cast<std::streamsize>(text.size()));
  text.resize(static_cast<std::size_t>(file.gcount()));
  if (text.size() > kImageFileLimit) {
    why = path + " is larger than any EEPROM image (" + std::to_string(kImageFileLimit / 1024) +
          " KiB); not read";
    return false;
  }
  if (file.bad()) {
    why = "cannot read " + path;
    return false;
  }
  if (!ImageFromJson(text, image, why)) {
    why = path + ": " + why;
    return false;
  }
  return true;
}

}  // namespace vantor::procedures
