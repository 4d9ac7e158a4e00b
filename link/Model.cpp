#include "Model.h"

namespace vantor {

std::optional<PortCode> PortCodeFromName(std::string_view name) {
  for (std::size_t i = 0; i < kPortNames.size(); ++i) {
    if (kPortNames[i] == name) {
      return static_cast<PortCode>((i < 3 ? 0x401 : 0x501) + i % 3);
    }
  }
  return std::nullopt;
}

std::string_view PortListName(PortCode code) {
  const int kind = code & 0xFF00;
  const int index = (code & 0xFF) - 1;
  if ((kind != 0x400 && kind != 0x500) || index < 0 || index > 2) return {};
  return kPortNames[(kind == 0x500 ? 3 : 0) + index];
}

}  // namespace vantor
