// The virtual printer's EEPROM: the image, the file that keeps it between runs, and when it
// is saved.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "link/Model.h"
#include "link/StateFiles.h"

namespace vantor::sim {

using EepromBytes = std::array<std::uint8_t, 256>;

// The CR motor reading a measuring move leaves at 126-127 (one direction).
inline constexpr int kCrReadingBase = 1630;

class EepromStore {
 public:
  explicit EepromStore(Model model) : image_(FactoryImage(model)) {}

  static EepromBytes FactoryImage(Model model);

  // Keeps the image in a 256-byte file: loads it when present, else writes the image there.
  // The file is locked for this store's lifetime; a file another process uses is refused.
  bool UseFile(const std::string& path, std::string& error);
  bool HasFile() const { return !path_.empty(); }
  // The reason the last save failed (empty when it succeeded).
  const std::string& SaveError() const { return saveError_; }

  std::uint8_t operator[](std::uint8_t address) const { return image_[address]; }
  const EepromBytes& Image() const { return image_; }

  // Marks the image dirty when the value changes.
  void Store(std::uint8_t address, std::uint8_t value);
  // Puts a value back after a failed save; the image stays dirty so the next save retries.
  void Restore(std::uint8_t address, std::uint8_t value) { image_[address] = value; }
  bool Dirty() const { return dirty_; }
  bool Save();
  void SaveIfDirty() {
    if (dirty_) Save();
  }
  // Changes left for later (a long job's pass counts) are saved with the next save.
  void PromoteLazy() {
    if (lazyDirty_) dirty_ = true;
  }

  // Big-endian counters of 2 or 4 bytes; a lazy change waits for PromoteLazy.
  std::uint32_t Counter(std::uint8_t first, int width) const;
  void AddToCounter(std::uint8_t first, int width, std::uint32_t amount, bool lazy = false);

 private:
  EepromBytes image_{};
  std::string path_;    // as given, for messages
  std::string target_;  // the file a symbolic link at path_ leads to
  FileLock lock_;
  std::string saveError_;
  bool dirty_ = false;
  bool lazyDirty_ = false;
};

}  // namespace vantor::sim
