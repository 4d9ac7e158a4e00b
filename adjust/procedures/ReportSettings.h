// The service shop's details for the service report, from a small file in the user's config
// folder, so the technician types them once.
#pragma once

#include <string>
#include <vector>

namespace vantor::procedures {

// Who made the report and for whom; any field may be empty and is then left out.
struct ReportDetails {
  std::string shop, address, phone, email, technician;
  std::string customer;  // the customer's name or the job number
  std::string date;      // the day the report is made, YYYY-MM-DD
};

// $XDG_CONFIG_HOME/vantor-adjust (else ~/.config/vantor-adjust); on Windows the data folder.
std::string ConfigFolder();
// ConfigFolder()/report.conf.
std::string ReportSettingsPath();

// Reads "key = value" lines (shop, address, phone, email, technician; # starts a comment) into
// details. A missing file is no fault; lines that say nothing known are named in warnings, so
// a typing error does not silently drop a field.
void ReadReportSettings(const std::string& path, ReportDetails& details,
                        std::vector<std::string>& warnings);

// Today's local date, YYYY-MM-DD.
std::string LocalDate();

}  // namespace vantor::procedures
