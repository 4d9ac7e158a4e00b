// The service report a technician hands to the customer: one visit to one printer, from its
// service record, as a printable page and as the same data for programs.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "adjust/procedures/ReportSettings.h"
#include "adjust/procedures/ServiceRecord.h"

namespace vantor::procedures {

// The entries a report covers: only this printer's, of one local day (YYYY-MM-DD), of the last
// day it was served when visit is empty, or every one for "all".
std::vector<RecordEntry> VisitEntries(const std::string& serial,
                                      const std::vector<RecordEntry>& entries,
                                      std::string_view visit = {});

// An operation as the customer reads it: a file it names is shown by its name, never its path.
std::string CustomerText(std::string_view operation);

// One A4 page for a typical visit: shop, customer, dates, the printer, its counters, the work
// with its results per session and model, and each value before and after.
std::string ReportHtml(const std::string& serial, const std::vector<RecordEntry>& entries,
                       const ReportDetails& details, std::string_view visit = {});
// The same data for programs, values as numbers.
std::string ReportJson(const std::string& serial, const std::vector<RecordEntry>& entries,
                       const ReportDetails& details, std::string_view visit = {});

}  // namespace vantor::procedures
