#include "link/backends/UsbPortLookup.h"

#include <algorithm>
#include <cctype>

#include "link/backends/PortTexts.h"

namespace vantor {

namespace {

bool SameIgnoringCase(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return std::toupper(static_cast<unsigned char>(x)) ==
           std::toupper(static_cast<unsigned char>(y));
  });
}

bool IsThereNow(const UsbLookup& lookup, const UsbCandidate& candidate) {
  return candidate.way != UsbWay::DirectName || lookup.directNameExists;
}

std::string Described(const std::string& device, UsbWay way) {
  return device + " (" + std::string(UsbWayName(way)) + ")";
}

}  // namespace

std::string_view UsbWayName(UsbWay way) {
  switch (way) {
    case UsbWay::PortDriver:
      return "USB port driver, by PortName";
    case UsbWay::DirectName:
      return "USB port driver, direct name";
    case UsbWay::PrintClass:
      return "Windows USB printing class";
  }
  return "";
}

std::string UsbPortName(std::size_t index) {
  return "TVUSB" + std::to_string(index + 1) + ":";
}

std::string UsbDirectName(std::size_t index) {
  return "\\\\.\\" + UsbPortName(index);
}

UsbLookup LookUpUsbPort(std::size_t index, UsbPortRegistry& registry) {
  UsbLookup lookup;
  lookup.index = index;
  if (!registry.ListPortInterfaces()) {
    lookup.failure = std::string(texts::kNoPortInterfaces);
    return lookup;
  }
  const std::string wanted = UsbPortName(index);
  std::string path;
  for (std::size_t member = 0;; ++member) {
    const auto listed = registry.PortInterface(member, path);
    if (listed == UsbPortRegistry::Member::End) break;
    if (listed == UsbPortRegistry::Member::DetailFailed) continue;
    std::optional<std::string> value;
    std::string why;
    if (!registry.ReadPortName(member, value, why)) {
      // The key ends the whole lookup, even where a later member or another way would match.
      lookup.failure = std::string(texts::kPortKeyRefused) + (why.empty() ? "" : " (" + why + ")");
      lookup.failedPath = path;
      return lookup;
    }
    if (value && SameIgnoringCase(*value, wanted)) {
      lookup.candidates.push_back({UsbWay::PortDriver, path});
      break;
    }
  }
  // Also behind a match: a matched path that will not open falls back to the direct name.
  lookup.candidates.push_back({UsbWay::DirectName, UsbDirectName(index)});
  lookup.directNameExists = registry.DirectNameExists(index);
  const auto printers = registry.PrintClassPaths();
  if (index < printers.size()) lookup.candidates.push_back({UsbWay::PrintClass, printers[index]});
  return lookup;
}

std::string DescribeUsbLookup(const UsbLookup& lookup) {
  if (lookup.failure) {
    return Described(lookup.failedPath.empty() ? UsbDirectName(lookup.index) : lookup.failedPath,
                     UsbWay::PortDriver);
  }
  for (const auto& candidate : lookup.candidates)
    if (IsThereNow(lookup, candidate)) return Described(candidate.path, candidate.way);
  return {};
}

std::unique_ptr<PortDevice> OpenUsbLookup(const UsbLookup& lookup, const CandidateOpener& open,
                                          OpenFailure& why) {
  if (lookup.failure) {
    why.reason = *lookup.failure;
    return nullptr;
  }
  std::string reasons;
  bool printClassTried = false;
  for (const auto& candidate : lookup.candidates) {
    OpenFailure failure;
    if (auto device = open(candidate, failure)) return device;
    reasons += (reasons.empty() ? "" : "; ") + failure.reason;
    printClassTried = printClassTried || candidate.way == UsbWay::PrintClass;
  }
  if (!printClassTried) reasons += "; " + std::string(texts::kNoPrintClassPrinter);
  why.reason = reasons;
  return nullptr;
}

}  // namespace vantor
