// The words shown to the technician for printer states, printer errors and port failures.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace vantor::words {

inline constexpr std::string_view kCannotOpenPort = "Cannot open port.";
inline constexpr std::string_view kCommunicationError = "Communication error.";
inline constexpr std::string_view kReceiveError = "Receive error";
inline constexpr std::string_view kTransmissionError = "Transmission error";
inline constexpr std::string_view kPaperOutError = "Paper out error";
inline constexpr std::string_view kUnknownError = "Unknown error";
inline constexpr std::string_view kErrorCodeLine = "Error Code:";
inline constexpr std::string_view kInputDataWrong = "Input data is wrong.";

// Kind-1 words for a PrinterStatus; empty for the error state and unlisted values.
std::string_view StatusWords(std::uint16_t printerStatus);
// Kind-4 words for a PrinterErrorCode; "Unknown error" for 0xEF00, empty for none.
std::string_view PrinterErrorWords(std::uint16_t printerErrorCode);
// What to say of the printer's error: its words and, for an unlisted error, the printer's own
// number for the "Error Code:" line, the one clue to what it is. Empty words for none.
struct PrinterErrorSaid {
  std::string_view words;
  std::optional<unsigned> code;
};
PrinterErrorSaid SayPrinterError(std::uint16_t printerErrorCode, std::uint8_t rawErrorCode);
// Words for a port's last error; empty when it has none.
std::string_view PortErrorWords(std::int16_t lastError);

}  // namespace vantor::words
