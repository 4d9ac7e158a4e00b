#include "adjust/procedures/ReportSettings.h"

#include <filesystem>
#include <fstream>
#include <string_view>
#include <utility>

#include "adjust/procedures/EepromImage.h"

namespace vantor::procedures {

namespace {

std::string_view Trim(std::string_view text) {
  const auto first = text.find_first_not_of(" \t\r");
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

}  // namespace

std::string ReportSettingsPath() {
  return (std::filesystem::path(ConfigFolder()) / "report.conf").string();
}

void ReadReportSettings(const std::string& path, ReportDetails& details,
                        std::vector<std::string>& warnings) {
  std::ifstream file(path);
  if (!file) return;
  const std::pair<std::string_view, std::string*> keys[] = {{"shop", &details.shop},
                                                            {"address", &details.address},
                                                            {"phone", &details.phone},
                                                            {"email", &details.email},
                                                            {"technician", &details.technician}};
  const std::string name = std::filesystem::path(path).filename().string();
  int number = 0;
  for (std::string line; std::getline(file, line);) {
    ++number;
    const std::string_view text = Trim(line);
    if (text.empty() || text.front() == '#') continue;
    const auto equals = text.find('=');
    const std::string_view key = Trim(text.substr(0, equals));
    std::string* field = nullptr;
    for (const auto& [known, target] : keys) {
      if (equals != std::string_view::npos && key == known) field = target;
    }
    if (field == nullptr) {
      warnings.push_back(name + " line " + std::to_string(number) + ": '" + std::string(key) +
                         "' is not one of shop, address, phone, email, technician");
      continue;
    }
    *field = Trim(text.substr(equals + 1));
  }
}

std::string LocalDate() {
  return LocalTimeStamp().substr(0, 10);
}

}  // namespace vantor::procedures
