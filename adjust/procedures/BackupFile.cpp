#include "adjust/procedures/BackupFile.h"

#include <cstdint>

#include "link/StateFiles.h"

namespace vantor {

bool WriteBackupFile(const std::string& path, const procedures::EepromImage& image,
                     std::string& why) {
  const std::string text = procedures::ImageToJson(image);
  return ReplaceFile(path, {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()}, 0644,
                     why);
}

}  // namespace vantor
