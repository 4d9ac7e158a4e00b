// The wire vocabulary of the 1284.4 packet link, shared by the host and the virtual printer:
// sockets, transaction codes and results, error replies, status and error values.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace vantor {

inline constexpr std::uint8_t kTransactionSocket = 0x00;
inline constexpr std::uint8_t kControlSocket = 0x02;
inline constexpr std::uint8_t kDataSocket = 0x40;

// PrinterStatus values.
inline constexpr std::uint16_t kStatusNone = 20;
inline constexpr std::uint16_t kStatusError = 0xEFFF;
inline constexpr std::uint16_t kStatusNozzleCheck = 0xEFFE;
inline constexpr std::uint16_t kStatusBusy = 0xEFFD;
inline constexpr std::uint16_t kStatusPrinting = 0xEFFC;
inline constexpr std::uint16_t kStatusReady = 0xEFFB;
inline constexpr std::uint16_t kStatusCleaning = 0xEFFA;
inline constexpr std::uint16_t kStatusBeforeFill = 0xEFF9;

// PrinterErrorCode values.
inline constexpr std::uint16_t kErrorNone = 0;
inline constexpr std::uint16_t kErrorFatal = 0xEF0F;
inline constexpr std::uint16_t kErrorIfNotSelect = 0xEF0E;
inline constexpr std::uint16_t kErrorPaperJam = 0xEF0B;
inline constexpr std::uint16_t kErrorInkOut = 0xEF0A;
inline constexpr std::uint16_t kErrorPaperOut = 0xEF09;
inline constexpr std::uint16_t kErrorMaintenance = 0xEF06;
inline constexpr std::uint16_t kErrorDoubleFeed = 0xEF04;
inline constexpr std::uint16_t kErrorOther = 0xEF00;

// The channel's own error codes (ChannelError); 1 is none.
inline constexpr std::int16_t kChannelNoError = 1;
inline constexpr std::int16_t kChannelUnexpected = -1;
inline constexpr std::int16_t kChannelOpenResult6 = 0x23;
inline constexpr std::int16_t kChannelNotOpen = 0x84;
inline constexpr std::int16_t kChannelWriteBusy = 0x90;
inline constexpr std::int16_t kChannelWriteRefused = 0x91;
inline constexpr std::int16_t kChannelNoStatusFields = 0xA0;
inline constexpr std::int16_t kChannelBadEepromReply = 0xB0;

namespace wire {

// Every packet: socket twice, big-endian length counting the header, credit, control.
inline constexpr std::size_t kHeaderSize = 6;

// The fixed packet that switches the printer into packet mode; its reply answers 'Z' | 0x80.
inline constexpr std::string_view kEntryPacket{"\x00\x00\x00\x1B\x01@ZJL 1284.4\n@ZJL\n@ZJL\n", 27};

// Transaction commands (payload byte 0 on socket 0); a reply carries command | kReplyBit.
inline constexpr std::uint8_t kInit = 0x00;
inline constexpr std::uint8_t kOpenChannel = 0x01;
inline constexpr std::uint8_t kCloseChannel = 0x02;
inline constexpr std::uint8_t kCredit = 0x03;
inline constexpr std::uint8_t kCreditRequest = 0x04;
inline constexpr std::uint8_t kExit = 0x08;
inline constexpr std::uint8_t kReplyBit = 0x80;
inline constexpr std::uint8_t kRevision = 0x10;

// Transaction results (reply payload byte 1).
inline constexpr std::uint8_t kResultOk = 0x00;
inline constexpr std::uint8_t kResultNoSuchSocket = 0x04;
inline constexpr std::uint8_t kResultAlreadyOpen = 0x06;
inline constexpr std::uint8_t kResultCreditOverflow = 0x07;
inline constexpr std::uint8_t kResultNotOpen = 0x08;
inline constexpr std::uint8_t kResultBadRevision = 0x0B;

// The error reply: 0x7F, the socket twice, the error number.
inline constexpr std::uint8_t kErrorReply = 0x7F;
inline constexpr std::uint8_t kErrMalformed = 0x80;
inline constexpr std::uint8_t kErrUnknownCommand = 0x81;
inline constexpr std::uint8_t kErrNotInPacketMode = 0x82;
inline constexpr std::uint8_t kErrNoCredit = 0x83;
inline constexpr std::uint8_t kErrChannelClosed = 0x84;
inline constexpr std::uint8_t kErrTooLong = 0x86;
inline constexpr std::uint8_t kErrLast = 0x87;

// Printer "ST:" values.
inline constexpr std::uint8_t kStError = 0x00;
inline constexpr std::uint8_t kStNozzleCheck = 0x01;
inline constexpr std::uint8_t kStBusy = 0x02;
inline constexpr std::uint8_t kStPrinting = 0x03;
inline constexpr std::uint8_t kStReady = 0x04;
inline constexpr std::uint8_t kStCleaning = 0x07;
inline constexpr std::uint8_t kStBeforeFill = 0x08;

// Printer "ER:" values.
inline constexpr std::uint8_t kErFatal = 0x00;
inline constexpr std::uint8_t kErNotSelect = 0x01;
inline constexpr std::uint8_t kErPaperJam = 0x04;
inline constexpr std::uint8_t kErInkOut = 0x05;
inline constexpr std::uint8_t kErPaperOut = 0x06;
inline constexpr std::uint8_t kErMaintenance = 0x10;
inline constexpr std::uint8_t kErDoubleFeed = 0x12;

struct StMapping {
  std::uint8_t st;
  std::uint16_t status;
};
inline constexpr StMapping kStatusTable[] = {
    {kStError, kStatusError},
    {kStNozzleCheck, kStatusNozzleCheck},
    {kStBusy, kStatusBusy},
    {kStPrinting, kStatusPrinting},
    {kStReady, kStatusReady},
    {kStCleaning, kStatusCleaning},
    {kStBeforeFill, kStatusBeforeFill},
};

struct ErMapping {
  std::uint8_t er;
  std::uint16_t error;
};
// An "ER:" value not listed is kErrorOther.
inline constexpr ErMapping kErrorTable[] = {
    {kErFatal, kErrorFatal},           {kErNotSelect, kErrorIfNotSelect},
    {kErPaperJam, kErrorPaperJam},     {kErInkOut, kErrorInkOut},
    {kErPaperOut, kErrorPaperOut},     {kErMaintenance, kErrorMaintenance},
    {kErDoubleFeed, kErrorDoubleFeed},
};

// A refused transaction's result byte and the channel error code the host keeps for it;
// results not listed leave kChannelUnexpected.
struct Refusal {
  std::uint8_t result;
  std::int16_t code;
};
inline constexpr Refusal kEntryRefusals[] = {{1, 0x51}};
inline constexpr Refusal kInitRefusals[] = {{1, 0x11}, {2, 0x12}, {kResultBadRevision, 0x13}};
inline constexpr Refusal kOpenRefusals[] = {
    {kResultNoSuchSocket, 0x21}, {5, 0x22}, {9, 0x24}, {12, 0x25}, {13, 0x26}};
inline constexpr Refusal kCloseRefusals[] = {{3, 0x41}, {kResultNotOpen, 0x32}};
inline constexpr Refusal kCreditRefusals[] = {{kResultCreditOverflow, 0x31},
                                              {kResultNotOpen, 0x32}};

// Control-channel commands: two letters, a little-endian parameter length, the parameter.
inline constexpr std::uint8_t kStatusCommand[5] = {'s', 't', 0x01, 0x00, 0x01};
inline constexpr std::uint8_t kRsCommand[5] = {'r', 's', 0x01, 0x00, 0x01};

// The EEPROM and factory frames are in Frames.h.

// Control replies to a command carry their verdict letter at text position 6.
inline constexpr std::size_t kVerdictAt = 6;

}  // namespace wire
}  // namespace vantor
