#include "words/Words.h"

#include "link/PacketChannel.h"
#include "link/PrinterPort.h"

namespace vantor::words {

std::string_view StatusWords(std::uint16_t printerStatus) {
  switch (printerStatus) {
    case kStatusBeforeFill:
      return "Before initial fill up.";
    case kStatusCleaning:
      return "Cleaning...";
    case kStatusReady:
      return "Ready to print.";
    case kStatusPrinting:
      return "Printing...";
    case kStatusBusy:
      return "Printer is busy.";
    case kStatusNozzleCheck:
      return "Nozzle check pattern printing...";
    default:
      return {};
  }
}

std::string_view PrinterErrorWords(std::uint16_t printerErrorCode) {
  switch (printerErrorCode) {
    case kErrorFatal:
      return "Fatal error";
    case kErrorIfNotSelect:
      return "I/F not select error";
    case kErrorPaperJam:
      return "Paper jam error";
    case kErrorInkOut:
      return "Ink out error";
    case kErrorPaperOut:
      return kPaperOutError;
    case kErrorMaintenance:
      return "Maintenance error";
    case kErrorDoubleFeed:
      return "Double feed error";
    case kErrorOther:
      return kUnknownError;
    default:
      return {};
  }
}

PrinterErrorSaid SayPrinterError(std::uint16_t printerErrorCode, std::uint8_t rawErrorCode) {
  PrinterErrorSaid said{PrinterErrorWords(printerErrorCode), std::nullopt};
  if (printerErrorCode == kErrorOther) said.code = rawErrorCode;
  return said;
}

std::string_view PortErrorWords(std::int16_t lastError) {
  switch (lastError) {
    case kPortCannotOpen:
      return kCannotOpenPort;
    case kPortReceiveTimeout:
    case kPortReadFailed:
      return kReceiveError;
    case kPortSendTimeout:
    case kPortWriteFailed:
      return kTransmissionError;
    default:
      return {};
  }
}

}  // namespace vantor::words
