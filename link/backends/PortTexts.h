// The words of the port backends and the port doctor, in one place.
#pragma once

#include <string_view>

namespace vantor::texts {

// Why an open failed (OpenFailure::reason, shown by the doctor and written to the trace).
inline constexpr std::string_view kPermissionDenied = "permission denied";
inline constexpr std::string_view kBusy = "busy: another program holds it";
inline constexpr std::string_view kDeviceGone = "the device is gone";
inline constexpr std::string_view kClaimFailed = "the printer interface could not be claimed";
inline constexpr std::string_view kUsbUnavailable = "USB access (libusb) could not start";
inline constexpr std::string_view kNoUsbPrinter = "no USB printer at this position";
inline constexpr std::string_view kNotAPrinter = "no bidirectional USB printer at that address";
inline constexpr std::string_view kNoParallelPort = "no such parallel port";
inline constexpr std::string_view kParallelInit = "the parallel port could not be set up";
inline constexpr std::string_view kNoDevice = "no device";
// Windows: the USB port lookup.
inline constexpr std::string_view kNoPortInterfaces =
    "Windows would not list the interfaces of the printer's USB port driver";
inline constexpr std::string_view kPortKeyRefused =
    "the device key of a USB port driver interface cannot be opened";
inline constexpr std::string_view kNoPrintClassPrinter =
    "no printer of Windows' USB printing class at this position";

// The doctor's report.
inline constexpr std::string_view kDoctorTitle = "Printer ports on this machine:";
inline constexpr std::string_view kMapsTo = "device";
inline constexpr std::string_view kMissing = "missing";
inline constexpr std::string_view kPresent = "present";
inline constexpr std::string_view kOpenOk = "opens";
inline constexpr std::string_view kOpenFails = "cannot open";
inline constexpr std::string_view kDriver = "driver";
inline constexpr std::string_view kNoDriver = "none";
inline constexpr std::string_view kDeviceIdLabel = "device ID";
inline constexpr std::string_view kAdvice = "to do";
inline constexpr std::string_view kNoPorts =
    "No port works. A USB printer shows up as TVUSB1 once it is plugged in and switched on.";

}  // namespace vantor::texts
