#include "adjust/procedures/ServiceReport.h"

#include <cctype>
#include <map>
#include <nlohmann/json.hpp>
#include <optional>
#include <set>
#include <sstream>

#include "link/EepromAddresses.h"
#include "link/Hex.h"

namespace vantor::procedures {

namespace {

using nlohmann::json;

std::string Escape(std::string_view text) {
  std::string out;
  for (const char c : text) {
    switch (c) {
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '&':
        out += "&amp;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

// Record times are the technician's local time with its offset: "2026-12-08T16:23:45+0100".
std::string DayOf(const std::string& time) {
  return time.substr(0, 10);
}
std::string ClockOf(const std::string& time) {
  return time.size() >= 16 ? time.substr(11, 5) : time;
}

std::string Capitalised(std::string text) {
  if (!text.empty()) text[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(text[0])));
  return text;
}

std::string SettingName(std::uint8_t address) {
  const std::string name = MeaningOf(address).name;
  return name.empty() ? "EEPROM byte" : Capitalised(name);
}

// What the byte holds after the change; a write not confirmed says what was meant.
std::string AfterCell(const RecordedChange& c) {
  const std::string intended = Escape(DescribeValue(c.address, c.intended));
  if (!c.outcome || *c.outcome == WriteOutcome::Confirmed) return intended;
  const std::string held =
      c.held ? Escape(DescribeValue(c.address, *c.held)) : std::string("unknown");
  return held + " <span class=\"note\">" + intended + " written, " +
         std::string(OutcomeText(*c.outcome)) + "</span>";
}

bool Done(const RecordEntry& e) {
  return e.result == "done";
}

// The value a reading earlier the same day left at an address, for a change whose session did
// not read it; only for bytes nothing but a write changes (counters move as the printer works).
struct LastRead {
  std::uint8_t value;
  std::string time;
};

bool KeepsItsValue(std::uint8_t a) {
  const auto in = [a](int first, int last) { return a >= first && a <= last; };
  return !MeaningOf(a).name.empty() &&
         !in(eeprom::kProtectionCounterHi, eeprom::kProtectionCounterLo) &&
         !in(eeprom::kInkCountersA, eeprom::kInkCountersA + 3) &&
         !in(eeprom::kInkCountersB, eeprom::kPassCounter + 3) &&
         !in(eeprom::kExchangeState, eeprom::kExchangeState + 1) &&
         !in(eeprom::kCrReadingHi, eeprom::kCrReadingLo);
}

// What the report stands on: the visit's entries, the last whole EEPROM read up to its end
// (counters and identity may have been read on an earlier visit), and per change the value
// read earlier that day where the change carries no old value of its own.
struct Visit {
  std::vector<RecordEntry> entries;
  std::vector<std::vector<std::optional<LastRead>>> lastRead;
  std::optional<EepromBytes> bytes;
  std::string bytesTime;
};

bool OfPrinter(const RecordEntry& e, const std::string& serial) {
  // Lines of another printer do not belong in this one's report, however they got here.
  return e.serial.empty() || e.serial == serial;
}

// The day a visit covers: the one asked for, the last day served, or empty for all.
std::string VisitDay(const std::string& serial, const std::vector<RecordEntry>& entries,
                     std::string_view visit) {
  if (visit == "all") return {};
  if (!visit.empty()) return std::string(visit);
  for (auto e = entries.rbegin(); e != entries.rend(); ++e) {
    if (OfPrinter(*e, serial)) return DayOf(e->time);
  }
  return {};
}

Visit VisitOf(const std::string& serial, const std::vector<RecordEntry>& all,
              std::string_view visit) {
  Visit v;
  const std::string day = VisitDay(serial, all, visit);
  const auto inVisit = [&](const RecordEntry& e) {
    return OfPrinter(e, serial) && (day.empty() || DayOf(e.time) == day);
  };
  std::string lastSession;
  for (const RecordEntry& e : all) {
    if (inVisit(e)) lastSession = e.session;
  }
  std::map<std::uint8_t, LastRead> known;
  bool ended = false;
  for (const RecordEntry& e : all) {
    if (ended && e.session != lastSession) break;
    if (e.session == lastSession) ended = true;
    if (!OfPrinter(e, serial)) continue;
    if (e.bytes) {
      v.bytes = e.bytes;
      v.bytesTime = e.time;
      for (std::size_t a = 0; a < e.bytes->size(); ++a)
        known[static_cast<std::uint8_t>(a)] = {(*e.bytes)[a], e.time};
    }
    std::vector<std::optional<LastRead>> lastRead;
    for (const RecordedChange& c : e.changes) {
      const auto k = known.find(c.address);
      const bool sameDay = k != known.end() && DayOf(k->second.time) == DayOf(e.time);
      lastRead.push_back(!c.before && sameDay && KeepsItsValue(c.address)
                             ? std::optional<LastRead>(k->second)
                             : std::nullopt);
      // Only a byte read back (or on old lines, a finished write) is known to hold.
      if (c.held)
        known[c.address] = {*c.held, e.time};
      else
        known.erase(c.address);
    }
    if (inVisit(e)) {
      v.entries.push_back(e);
      v.lastRead.push_back(std::move(lastRead));
    }
  }
  return v;
}

std::uint32_t BigEndian(const EepromBytes& b, std::uint8_t first, int count) {
  std::uint32_t v = 0;
  for (int i = 0; i < count; ++i) v = v << 8 | b[static_cast<std::uint8_t>(first + i)];
  return v;
}

// The printer's model: its model byte when read, else what the sessions were run as.
std::string ModelText(const Visit& v) {
  if (v.bytes) {
    if ((*v.bytes)[eeprom::kModelDefault] == eeprom::kModelQ30)
      return std::string(ModelName(Model::Q30));
    if ((*v.bytes)[eeprom::kModelDefault] == eeprom::kModelQ40)
      return std::string(ModelName(Model::Q40));
  }
  std::set<std::string> models;
  for (const RecordEntry& e : v.entries) {
    if (!e.model.empty()) models.insert(e.model);
  }
  std::string text;
  for (const std::string& m : models) text += (text.empty() ? "" : " / ") + m;
  return text;
}

std::string VisitDays(const Visit& v) {
  if (v.entries.empty()) return {};
  const std::string first = DayOf(v.entries.front().time), last = DayOf(v.entries.back().time);
  return first == last ? first : first + " to " + last;
}

constexpr std::string_view kStyle =
    "@page{size:A4;margin:12mm 14mm}"
    "body{font-family:'DejaVu Sans',Arial,sans-serif;font-size:8.5pt;color:#000;margin:0}"
    "@media screen{body{max-width:182mm;margin:1.5em auto}}"
    "header{display:flex;justify-content:space-between;align-items:flex-end;"
    "border-bottom:1.5pt solid #333;padding-bottom:4pt}"
    "h1{font-size:15pt;margin:0;text-align:right}"
    ".date{text-align:right}"
    ".shop strong{font-size:11pt}"
    "h2{font-size:10pt;margin:9pt 0 3pt}"
    ".columns{display:flex;gap:6mm}.columns section{flex:1}"
    "table{border-collapse:collapse;width:100%}"
    "td,th{border:0.5pt solid #999;padding:1.5pt 4pt;text-align:left;vertical-align:top}"
    "th{background:#eee;font-weight:bold}"
    ".facts th{width:38%}"
    "tr{break-inside:avoid}"
    ".session td{background:#f4f4f4;font-style:italic}"
    ".failed td{color:#b00;font-weight:bold}"
    ".note{font-weight:normal;font-size:8pt;color:#444}"
    ".signatures{display:flex;gap:14mm;margin-top:14mm}"
    ".signatures div{flex:1;border-top:0.5pt solid #000;padding-top:2pt}"
    "footer{margin-top:6pt;font-size:7pt;color:#555}";

void Fact(std::ostringstream& h, std::string_view name, std::string_view value) {
  h << "<tr><th>" << name << "</th><td>" << Escape(value) << "</td></tr>\n";
}

}  // namespace

std::vector<RecordEntry> VisitEntries(const std::string& serial,
                                      const std::vector<RecordEntry>& entries,
                                      std::string_view visit) {
  return VisitOf(serial, entries, visit).entries;
}

std::string CustomerText(std::string_view operation) {
  // A backup names its file last: "EEPROM backup to /home/tech/.../Q4A-2026.json".
  const auto to = operation.rfind(" to ");
  if (to == std::string_view::npos) return std::string(operation);
  const std::string_view file = operation.substr(to + 4);
  const auto slash = file.find_last_of("/\\");
  if (slash == std::string_view::npos) return std::string(operation);
  return std::string(operation.substr(0, to + 4)) + std::string(file.substr(slash + 1));
}

std::string ReportHtml(const std::string& serial, const std::vector<RecordEntry>& entries,
                       const ReportDetails& details, std::string_view visit) {
  const Visit v = VisitOf(serial, entries, visit);
  const bool identified = serial != kUnidentified;
  std::string headId;
  std::optional<std::string> usbId;
  for (const RecordEntry& e : v.entries) {
    if (!e.headId.empty()) headId = e.headId;
  }
  if (v.bytes) {
    const PrinterIdentity id = IdentityOf(*v.bytes);
    usbId = id.usbId;
    if (id.headId) headId = *id.headId;
  }

  // A visit of one day shows the clock; several days need the date too.
  const bool oneDay = VisitDays(v).find(" to ") == std::string::npos;
  const auto when = [oneDay](const std::string& time) {
    return oneDay ? ClockOf(time) : DayOf(time) + ' ' + ClockOf(time);
  };
  std::ostringstream h;
  h << "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\"><title>Service report "
    << (identified ? Escape(serial) : "") << ' ' << Escape(details.date) << "</title>\n<style>"
    << kStyle << "</style></head><body>\n<header><div class=\"shop\">";
  if (!details.shop.empty()) h << "<strong>" << Escape(details.shop) << "</strong>";
  for (const std::string* line : {&details.address, &details.phone, &details.email}) {
    if (!line->empty()) h << "<br>" << Escape(*line);
  }
  h << "</div><div><h1>Service report</h1><div class=\"date\">" << Escape(details.date)
    << "</div></div></header>\n<div class=\"columns\"><section><h2>Visit</h2>"
    << "<table class=\"facts\">\n";
  Fact(h, "Customer / job", details.customer);
  Fact(h, "Technician", details.technician);
  Fact(h, "Date of the work", VisitDays(v));
  Fact(h, "Report date", details.date);
  h << "</table></section>\n<section><h2>Printer</h2><table class=\"facts\">\n";
  Fact(h, "Model", ModelText(v));
  Fact(h, "Serial number", identified ? serial : "not identified");
  Fact(h, "USB ID", usbId.value_or(""));
  Fact(h, "Head ID", headId);
  h << "</table></section></div>\n";

  if (v.bytes) {
    const EepromBytes& b = *v.bytes;
    h << "<h2>Counters <span class=\"note\">(read " << Escape(DayOf(v.bytesTime)) << ' '
      << Escape(ClockOf(v.bytesTime)) << ")</span></h2>\n<table><tr><th>Protection counter</th><td>"
      << BigEndian(b, eeprom::kProtectionCounterHi, 2) << " points</td><th>Page counter</th><td>"
      << BigEndian(b, eeprom::kPageCounter, 4) << "</td><th>Print pass counter</th><td>"
      << BigEndian(b, eeprom::kPassCounter, 4) << "</td></tr></table>\n";
  }

  // Heads in thead: a long visit's second page repeats them.
  h << "<h2>Work done</h2>\n<table>\n<thead><tr><th>Time</th><th>Work</th><th>Result</th></tr>"
    << "</thead>\n";
  std::string heading;
  for (const RecordEntry& e : v.entries) {
    // The model each session ran as, over the sessions it applies to: a Q30 session is never
    // shown under a Q40's heading.
    const std::string by = e.model + ", " + e.program +
                           (e.identified ? "" : ", printer not identified by the session");
    if (by != heading) {
      heading = by;
      h << "<tr class=\"session\"><td colspan=\"3\">" << Escape(by) << "</td></tr>\n";
    }
    h << "<tr" << (Done(e) ? "" : " class=\"failed\"") << "><td>" << Escape(when(e.time))
      << "</td><td>" << Escape(Capitalised(CustomerText(e.operation))) << "</td><td>"
      << Escape(e.result) << "</td></tr>\n";
  }
  if (v.entries.empty()) h << "<tr><td colspan=\"3\">No work recorded.</td></tr>\n";
  h << "</table>\n";

  bool changed = false;
  for (const RecordEntry& e : v.entries) changed = changed || !e.changes.empty();
  if (changed) {
    h << "<h2>Settings before and after</h2>\n<table>\n<thead><tr><th>Time</th><th>Setting</th>"
      << "<th>Address</th><th>Before</th><th>After</th></tr></thead>\n";
    for (std::size_t i = 0; i < v.entries.size(); ++i) {
      const RecordEntry& e = v.entries[i];
      for (std::size_t j = 0; j < e.changes.size(); ++j) {
        const RecordedChange& c = e.changes[j];
        const std::optional<LastRead>& last = v.lastRead[i][j];
        std::string before = "not read";
        if (c.before) {
          before = Escape(DescribeValue(c.address, *c.before));
        } else if (last) {
          before = Escape(DescribeValue(c.address, last->value)) + " <span class=\"note\">as of " +
                   Escape(when(last->time)) + "</span>";
        }
        h << "<tr" << (Done(e) ? "" : " class=\"failed\"") << "><td>" << Escape(when(e.time))
          << "</td><td>" << Escape(SettingName(c.address)) << "</td><td>" << HexText(c.address)
          << "</td><td>" << before << "</td><td>" << AfterCell(c) << "</td></tr>\n";
      }
    }
    h << "</table>\n";
  }
  h << "<div class=\"signatures\"><div>Technician</div><div>Customer</div></div>\n<footer>"
    << "Made by vantor-adjust " << Escape(ProgramVersion())
    << " from the service record of this printer.</footer>\n</body></html>\n";
  return h.str();
}

std::string ReportJson(const std::string& serial, const std::vector<RecordEntry>& entries,
                       const ReportDetails& details, std::string_view visit) {
  const Visit v = VisitOf(serial, entries, visit);
  json list = json::array();
  for (std::size_t i = 0; i < v.entries.size(); ++i) {
    const RecordEntry& e = v.entries[i];
    json changes = json::array();
    for (std::size_t j = 0; j < e.changes.size(); ++j) {
      const RecordedChange& c = e.changes[j];
      json change = {{"address", c.address},
                     {"name", MeaningOf(c.address).name},
                     {"before", c.before ? json(*c.before) : json()},
                     {"intended", c.intended},
                     {"after", c.held ? json(*c.held) : json()},
                     {"outcome", c.outcome ? json(OutcomeText(*c.outcome)) : json()}};
      if (const auto& last = v.lastRead[i][j])
        change["last_read"] = {{"value", last->value}, {"time", last->time}};
      changes.push_back(std::move(change));
    }
    json entry = {{"session", e.session}, {"time", e.time},
                  {"program", e.program}, {"model", e.model},
                  {"port", e.port},       {"operation", CustomerText(e.operation)},
                  {"result", e.result},   {"changes", changes}};
    entry["identified"] = e.identified;
    if (e.bytes) entry["eeprom"] = HexRows(*e.bytes);
    list.push_back(entry);
  }
  const auto text = [](const std::string& s) { return s.empty() ? json() : json(s); };
  json report = {{"serial_number", serial == kUnidentified ? json() : json(serial)},
                 {"model", text(ModelText(v))},
                 {"report_date", text(details.date)},
                 {"visit", visit.empty() ? text(VisitDays(v)) : json(visit)},
                 {"shop",
                  {{"name", text(details.shop)},
                   {"address", text(details.address)},
                   {"phone", text(details.phone)},
                   {"email", text(details.email)}}},
                 {"technician", text(details.technician)},
                 {"customer", text(details.customer)},
                 {"entries", list}};
  if (v.bytes) {
    const EepromBytes& b = *v.bytes;
    report["counters"] = {{"read_at", v.bytesTime},
                          {"protection_counter", BigEndian(b, eeprom::kProtectionCounterHi, 2)},
                          {"page_counter", BigEndian(b, eeprom::kPageCounter, 4)},
                          {"pass_counter", BigEndian(b, eeprom::kPassCounter, 4)}};
  }
  return report.dump(2, ' ', false, json::error_handler_t::replace) + "\n";
}

}  // namespace vantor::procedures
