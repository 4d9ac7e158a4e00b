// A backup image written as the state files are: through a fresh temporary file beside it,
// renamed into place, so a broken-off write leaves no half file and a planted link is replaced,
// never followed. Both programs save backups this way.
#pragma once

#include <string>

#include "adjust/procedures/EepromImage.h"

namespace vantor {

// False with the system's reason.
bool WriteBackupFile(const std::string& path, const procedures::EepromImage& image,
                     std::string& why);

}  // namespace vantor
