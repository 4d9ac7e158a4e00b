#include "sim/EepromStore.h"

#include <algorithm>
#include <string_view>

#include "link/EepromAddresses.h"
#include "sim/ImageFile.h"

namespace vantor::sim {

namespace {

std::string SaveFailure(const std::string& path, const std::string& reason) {
  return "cannot save the virtual printer's EEPROM to " + path + ": " + reason;
}

}  // namespace

bool EepromStore::UseFile(const std::string& path, std::string& error) {
  const std::string target = FollowLinks(path);
  // Two users of one file would each save over the other's writes.
  std::string holder;
  lock_.Release();  // a store that switches files lets go of the old one
  FileLock lock;
  if (!lock.Acquire(target + ".lock", holder, error)) {
    if (error.empty()) {
      error = path + " is in use by " + (holder.empty() ? "another process" : "process " + holder);
    }
    return false;
  }
  RemoveStaleTemporaries(target);
  EepromBytes image{};
  std::string why;
  switch (ReadWholeImage(target, image, why)) {
    case ReadOutcome::Read:
      image_ = image;
      break;
    case ReadOutcome::WrongSize:
      error = path + " is not a 256-byte EEPROM image";
      return false;
    case ReadOutcome::CannotRead:
      error = "cannot read " + path + ": " + why;
      return false;
    case ReadOutcome::CannotOpen:
      error = "cannot open " + path + ": " + why;
      return false;
    case ReadOutcome::Missing:
      if (!ReplaceFile(target, image_, 0644, why)) {
        error = SaveFailure(path, why);
        return false;
      }
      break;
  }
  lock_ = std::move(lock);
  path_ = path;
  target_ = target;
  dirty_ = lazyDirty_ = false;
  saveError_.clear();
  return true;
}

void EepromStore::Store(std::uint8_t address, std::uint8_t value) {
  if (image_[address] == value) return;
  image_[address] = value;
  dirty_ = true;
}

bool EepromStore::Save() {
  if (path_.empty()) {
    dirty_ = false;
    return true;
  }
  std::string why;
  if (!ReplaceFile(target_, image_, 0644, why)) {
    saveError_ = SaveFailure(path_, why);
    return false;  // still dirty: the next change tries again
  }
  saveError_.clear();
  dirty_ = lazyDirty_ = false;
  return true;
}

std::uint32_t EepromStore::Counter(std::uint8_t first, int width) const {
  std::uint32_t v = 0;
  for (int i = 0; i < width; ++i) v = v << 8 | image_[static_cast<std::uint8_t>(first + i)];
  return v;
}

void EepromStore::AddToCounter(std::uint8_t first, int width, std::uint32_t amount, bool lazy) {
  std::uint32_t v = Counter(first, width);
  if (width == 2) {
    v = std::min<std::uint32_t>(v + amount, 0xFFFF);  // the protection counter stops at its top
  } else {
    v += amount;
  }
  const bool wasDirty = dirty_;
  for (int i = width - 1; i >= 0; --i) {
    Store(static_cast<std::uint8_t>(first + i), static_cast<std::uint8_t>(v & 0xFF));
    v >>= 8;
  }
  if (lazy && !wasDirty && dirty_) {
    dirty_ = false;
    lazyDirty_ = true;
  }
}

EepromBytes EepromStore::FactoryImage(Model model) {
  EepromBytes e{};
  const bool q30 = model == Model::Q30;
  auto put = [&e](std::size_t at, std::initializer_list<std::uint8_t> bytes) {
    for (const std::uint8_t b : bytes) e[at++] = b;
  };
  put(eeprom::kProtectionCounterHi, q30 ? std::initializer_list<std::uint8_t>{0x0C, 0x4E}
                                        : std::initializer_list<std::uint8_t>{0x1A, 0x2B});
  put(eeprom::kInkCountersA, {0x12, 0x0A, 0x0B, 0x09});
  put(eeprom::kInkCountersB, {0x03, 0x01, 0x00, 0x02, 0x05, 0x04, 0x01, 0x00, 0x22, 0x1C, 0x1E,
                              0x19, 0x00, 0x00, 0x07, 0x06});
  if (q30) {
    put(eeprom::kPageCounter, {0x00, 0x00, 0x06, 0xA4});  // 1700 pages
    put(eeprom::kPassCounter, {0x00, 0x01, 0x7D, 0x40});
  } else {
    put(eeprom::kPageCounter, {0x00, 0x00, 0x0F, 0x3C});  // 3900 pages
    put(eeprom::kPassCounter, {0x00, 0x03, 0x4B, 0x12});
  }
  e[49] = 0x01;
  for (const eeprom::DefaultByte& d : eeprom::kDefaults) e[d.address] = d.value;
  e[eeprom::kModelDefault] = q30 ? eeprom::kModelQ30 : eeprom::kModelQ40;
  // Each model's margin sits on its own ladder of positions.
  e[eeprom::kTopMargin] = q30 ? 42 : 120;
  if (q30) {
    put(eeprom::kBidFirst, {0x02, 0xFF, 0x01, 0x03, 0xFD, 0x02, 0x04, 0x01});
  } else {
    put(eeprom::kBidFirst, {0x04, 0xFD, 0x02, 0x01, 0xFE, 0x03, 0x05, 0x00});
  }
  e[eeprom::kCrDispersion] = q30 ? 0xFE : 0x03;
  e[eeprom::kPfValue] = q30 ? 0xFF : 0x01;
  put(eeprom::kCrReadingHi, {kCrReadingBase >> 8, kCrReadingBase & 0xFF});
  // Head ID A..G: A at most 3, B..F each at most 0x65, G at most 2.
  const std::array<std::uint8_t, 7> headId =
      q30 ? std::array<std::uint8_t, 7>{0, 0x31, 0x07, 0x52, 0x44, 0x18, 2}
          : std::array<std::uint8_t, 7>{1, 0x23, 0x45, 0x17, 0x38, 0x52, 1};
  for (std::size_t i = 0; i < headId.size(); ++i) e[eeprom::kHeadId[i]] = headId[i];
  // USB ID: a 10-character serial number and its 8-character date code.
  const std::string_view usbId = q30 ? "Q3B005432134HF3S00" : "Q4A007123433CAKA00";
  for (std::size_t i = 0; i < usbId.size(); ++i) {
    e[eeprom::kUsbIdFirst + i] = static_cast<std::uint8_t>(usbId[i]);
  }
  return e;
}

}  // namespace vantor::sim
