#include "PacketChannel.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include "Fatal.h"

namespace vantor {

namespace {
constexpr std::size_t kHeader = 6;
constexpr std::size_t kPrintPayload = 1000;
constexpr std::size_t kMaxPayload = 1024;
constexpr std::uint8_t kErrorReply = 0x7F;
constexpr std::int16_t kUnexpected = -1;

// Channel error codes.
constexpr std::int16_t kOpenResult6 = 0x23;
constexpr std::int16_t kChannelNotOpen = 0x84;
constexpr std::int16_t kWriteBusy = 0x90;
constexpr std::int16_t kWriteRefused = 0x91;
constexpr std::int16_t kNoStatusFields = 0xA0;
constexpr std::int16_t kBadEepromReply = 0xB0;

constexpr std::uint8_t kEntryPacket[27] = {0x00, 0x00, 0x00, 0x1B, 0x01, '@', 'Z', 'J', 'L',
                                           ' ',  '1',  '2',  '8',  '4',  '.', '4', '\n', '@',
                                           'Z',  'J',  'L',  '\n', '@',  'Z', 'J', 'L',  '\n'};
constexpr std::uint8_t kStatusCommand[5] = {'s', 't', 0x01, 0x00, 0x01};
constexpr std::uint8_t kRsCommand[5] = {'r', 's', 0x01, 0x00, 0x01};
constexpr std::uint8_t kEscAt[2] = {0x1B, 0x40};
constexpr std::string_view kEepromReplyPrefix = "@BDC PS";

struct Refusal {
  std::uint8_t result;
  std::int16_t code;
};

// A refused transaction: its result byte names the error code; unlisted results are -1.
template <std::size_t N>
Result Refused(const Refusal (&table)[N], std::uint8_t result, std::int16_t& errorCode) {
  errorCode = kUnexpected;
  for (const Refusal& r : table) {
    if (r.result == result) errorCode = r.code;
  }
  return kChannelFailure;
}

constexpr Refusal kEntryRefusals[] = {{1, 0x51}};
constexpr Refusal kInitRefusals[] = {{1, 0x11}, {2, 0x12}, {0x0B, 0x13}};
constexpr Refusal kOpenRefusals[] = {{4, 0x21}, {5, 0x22}, {9, 0x24}, {12, 0x25}, {13, 0x26}};
constexpr Refusal kCloseRefusals[] = {{3, 0x41}, {8, 0x32}};
constexpr Refusal kCreditRefusals[] = {{7, 0x31}, {8, 0x32}};

// Two upper-case hexadecimal digits; anything else has no value.
int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

int HexPairAt(std::string_view text, std::size_t pos) {
  if (pos + 2 > text.size()) return -1;
  const int hi = HexDigit(text[pos]);
  const int lo = HexDigit(text[pos + 1]);
  return hi < 0 || lo < 0 ? -1 : hi * 16 + lo;
}

// The EEPROM reply's own digit rule: '0'-'9', anything else c - 55.
int EepromDigit(char c) {
  const auto u = static_cast<unsigned char>(c);
  return (u >= '0' && u <= '9') ? u - '0' : u - 55;
}
}  // namespace

PacketChannel::PacketChannel(PrinterPort& port, Clock& clock) : port_(port), clock_(clock) {}

void PacketChannel::SetModel(Model model) {
  model_ = model;
  modelBytes_ = ModelBytesOf(model);
}

std::string_view PacketChannel::ReplyText() const {
  return {reinterpret_cast<const char*>(reply_.data()), textLength_};
}

Result PacketChannel::Transact(const std::uint8_t* packet, std::size_t length) {
  errorCode_ = 1;
  replyLength_ = 0;
  VANTOR_TRY(port_.WritePort(packet, length));
  VANTOR_TRY(port_.ReadPort(reply_.data(), replyLength_));
  if (replyLength_ > kHeader + 1 && static_cast<std::uint8_t>(reply_[6] - packet[6]) == 0x80) {
    return kOk;
  }
  return ClassifyErrorReply();
}

Result PacketChannel::ClassifyErrorReply() {
  if (replyLength_ > 9 && reply_[6] == kErrorReply && reply_[9] >= 0x80 && reply_[9] <= 0x87) {
    errorCode_ = reply_[9];
  } else {
    errorCode_ = kUnexpected;
  }
  return kChannelFailure;
}

namespace {
// A transaction packet on socket 0; payload after the 6-byte header.
struct TransactionPacket {
  std::array<std::uint8_t, 17> bytes{};
  std::size_t length = 0;
  explicit TransactionPacket(std::initializer_list<std::uint8_t> payload) {
    length = kHeader + payload.size();
    bytes[2] = static_cast<std::uint8_t>(length >> 8);
    bytes[3] = static_cast<std::uint8_t>(length & 0xFF);
    bytes[4] = 0x01;
    std::copy(payload.begin(), payload.end(), bytes.begin() + kHeader);
  }
};
}  // namespace

Result PacketChannel::EnterPacketMode() {
  VANTOR_TRY(Transact(kEntryPacket, sizeof kEntryPacket));
  if (reply_[7] != 0) return Refused(kEntryRefusals, reply_[7], errorCode_);
  return kOk;
}

Result PacketChannel::InitTransport() {
  const TransactionPacket p({0x00, 0x10});
  VANTOR_TRY(Transact(p.bytes.data(), p.length));
  if (reply_[7] != 0) return Refused(kInitRefusals, reply_[7], errorCode_);
  return kOk;
}

Result PacketChannel::ExitTransport() {
  const TransactionPacket p({0x08});
  return Transact(p.bytes.data(), p.length);
}

Result PacketChannel::OpenChannel(std::uint8_t socket) {
  const TransactionPacket p({0x01, socket, socket, 0x04, 0x00, 0x04, 0x00, 0x00, 0x00, 0x00, 0x00});
  VANTOR_TRY(Transact(p.bytes.data(), p.length));
  const std::uint8_t result = reply_[7];
  if (result != 0 && result != 6) return Refused(kOpenRefusals, result, errorCode_);
  if (result == 6) errorCode_ = kOpenResult6;
  if (socket == kDataSocket) {
    dataOpen_ = true;
    hostCredits_ = 0;
    printerCredits_ = 0;
  } else if (socket == kControlSocket) {
    controlOpen_ = true;
  }
  return kOk;
}

Result PacketChannel::CloseChannel(std::uint8_t socket, std::uint8_t byte) {
  const TransactionPacket p({0x02, socket, socket, byte});
  VANTOR_TRY(Transact(p.bytes.data(), p.length));
  if (reply_[7] != 0) return Refused(kCloseRefusals, reply_[7], errorCode_);
  if (socket == kDataSocket) dataOpen_ = false;
  if (socket == kControlSocket) controlOpen_ = false;
  return kOk;
}

Result PacketChannel::GrantCredit(std::uint8_t socket, std::uint16_t count) {
  const TransactionPacket p({0x03, socket, socket, static_cast<std::uint8_t>(count >> 8),
                             static_cast<std::uint8_t>(count & 0xFF)});
  VANTOR_TRY(Transact(p.bytes.data(), p.length));
  if (reply_[7] != 0) return Refused(kCreditRefusals, reply_[7], errorCode_);
  if (socket == kDataSocket) {
    // A printer whose Credit reply has no credit field has granted what was offered.
    const std::uint16_t granted =
        replyLength_ >= 12 ? static_cast<std::uint16_t>(reply_[10] << 8 | reply_[11]) : count;
    printerCredits_ = static_cast<std::uint16_t>(printerCredits_ + granted);
  }
  return kOk;
}

Result PacketChannel::RequestCredit(std::uint8_t socket, std::uint16_t count) {
  const TransactionPacket p({0x04, socket, socket, 0x00, 0x00, static_cast<std::uint8_t>(count >> 8),
                             static_cast<std::uint8_t>(count & 0xFF)});
  VANTOR_TRY(Transact(p.bytes.data(), p.length));
  if (reply_[7] != 0) return Refused(kCreditRefusals, reply_[7], errorCode_);
  if (socket == kDataSocket) {
    if (replyLength_ < 12) {
      errorCode_ = kUnexpected;
      return kChannelFailure;
    }
    hostCredits_ = static_cast<std::uint16_t>(hostCredits_ + (reply_[10] << 8 | reply_[11]));
  }
  return kOk;
}

Result PacketChannel::StartLink() {
  controlOpen_ = false;
  dataOpen_ = false;
  fill_ = 0;
  VANTOR_TRY(port_.QueryDeviceId());
  VANTOR_TRY(EnterPacketMode());
  VANTOR_TRY(InitTransport());
  VANTOR_TRY(OpenChannel(kControlSocket));
  return ReadStatus();
}

void PacketChannel::ShutdownLink() {
  CloseChannel(kDataSocket, 0);
  clock_.SleepMs(100);
  SendRsCommand();
  clock_.SleepMs(100);
  CloseChannel(kControlSocket, 0);
  clock_.SleepMs(100);
  ExitTransport();
}

Result PacketChannel::WritePacket(std::uint8_t socket, const std::uint8_t* payload,
                                  std::size_t count) {
  const std::size_t length = count + kHeader;
  packet_[0] = socket;
  packet_[1] = socket;
  packet_[2] = static_cast<std::uint8_t>(length >> 8);
  packet_[3] = static_cast<std::uint8_t>(length & 0xFF);
  packet_[4] = 0x00;
  packet_[5] = 0x00;
  if (count) std::memcpy(packet_.data() + kHeader, payload, count);
  return port_.WritePort(packet_.data(), length);
}

Result PacketChannel::SendPrintPacket() {
  const Result r = WritePacket(kDataSocket, printData_.data(), fill_);
  // A failed job's bytes must not go out ahead of the next command.
  fill_ = 0;
  VANTOR_TRY(r);
  if (hostCredits_) --hostCredits_;
  return kOk;
}

Result PacketChannel::FlushPrintData() {
  if (fill_ == 0) return kOk;
  return SendPrintPacket();
}

Result PacketChannel::SendData(const std::uint8_t* bytes, std::size_t count) {
  VANTOR_TRY(FlushPrintData());
  errorCode_ = 1;
  if (!dataOpen_) VANTOR_TRY(OpenChannel(kDataSocket));
  if (count > kMaxPayload) FatalProgramError("Program miss!!!");
  if (hostCredits_ < 2) VANTOR_TRY(RequestCredit(kDataSocket, 2));
  if (printerCredits_ < 2) VANTOR_TRY(GrantCredit(kDataSocket, 2));
  VANTOR_TRY(WritePacket(kDataSocket, bytes, count));
  if (hostCredits_) --hostCredits_;
  return kOk;
}

std::size_t PacketChannel::PrintDataRoom() const { return kPrintPayload - fill_; }

Result PacketChannel::QueuePrintData(const std::uint8_t* bytes, std::size_t count) {
  errorCode_ = 1;
  if (!dataOpen_) VANTOR_TRY(OpenChannel(kDataSocket));
  if (count > kMaxPayload) FatalProgramError("Program miss!!!");
  if (hostCredits_ <= 10) VANTOR_TRY(RequestCredit(kDataSocket, 200));
  if (printerCredits_ <= 10) VANTOR_TRY(GrantCredit(kDataSocket, 200));
  while (count > 0) {
    const std::size_t n = std::min(count, kPrintPayload - fill_);
    std::memcpy(printData_.data() + fill_, bytes, n);
    fill_ += n;
    bytes += n;
    count -= n;
    if (fill_ == kPrintPayload) VANTOR_TRY(SendPrintPacket());
  }
  return kOk;
}

Result PacketChannel::ReceiveData(std::span<std::uint8_t> destination, std::size_t& count) {
  count = 0;
  VANTOR_TRY(port_.ReadPort(reply_.data(), replyLength_));
  if (replyLength_ >= kHeader && reply_[0] == kDataSocket && reply_[1] == kDataSocket) {
    count = std::min(replyLength_ - kHeader, destination.size());
    std::memcpy(destination.data(), reply_.data() + kHeader, count);
    if (printerCredits_) --printerCredits_;
    return kOk;
  }
  const Result r = ClassifyErrorReply();
  if (errorCode_ == kChannelNotOpen) dataOpen_ = false;
  return r;
}

Result PacketChannel::ControlCommand(const std::uint8_t* bytes, std::size_t count) {
  errorCode_ = 1;
  textLength_ = 0;
  if (!controlOpen_) VANTOR_TRY(OpenChannel(kControlSocket));
  if (count > kMaxPayload) FatalProgramError("Program miss!!!");
  VANTOR_TRY(GrantCredit(kControlSocket, 1));
  VANTOR_TRY(RequestCredit(kControlSocket, 1));
  VANTOR_TRY(WritePacket(kControlSocket, bytes, count));
  VANTOR_TRY(port_.ReadPort(reply_.data(), replyLength_));
  if (replyLength_ >= kHeader && reply_[0] == kControlSocket && reply_[1] == kControlSocket) {
    textLength_ = replyLength_ - kHeader;
    std::memmove(reply_.data(), reply_.data() + kHeader, textLength_);
    reply_[textLength_] = 0;
    return kOk;
  }
  const Result r = ClassifyErrorReply();
  if (errorCode_ == kChannelNotOpen) controlOpen_ = false;
  return r;
}

Result PacketChannel::ReadStatus() {
  printerErrorCode_ = kErrorNone;
  printerStatus_ = kStatusNone;
  VANTOR_TRY(ControlCommand(kStatusCommand, sizeof kStatusCommand));
  const std::string_view text = ReplyText();

  const std::size_t st = text.find("ST:");
  if (st == std::string_view::npos) {
    errorCode_ = kNoStatusFields;
    return kChannelFailure;
  }
  switch (HexPairAt(text, st + 3)) {
    case 0x00: printerStatus_ = kStatusError; break;
    case 0x01: printerStatus_ = kStatusNozzleCheck; break;
    case 0x02: printerStatus_ = kStatusBusy; break;
    case 0x03: printerStatus_ = kStatusPrinting; break;
    case 0x04: printerStatus_ = kStatusReady; break;
    case 0x07: printerStatus_ = kStatusCleaning; break;
    case 0x08: printerStatus_ = kStatusBeforeFill; break;
    default: break;
  }
  if (text.find("IQ:") == std::string_view::npos) {
    errorCode_ = kNoStatusFields;
    return kChannelFailure;
  }
  if (const std::size_t er = text.find("ER:"); er != std::string_view::npos) {
    if (printerStatus_ != kStatusBeforeFill) printerStatus_ = kStatusError;
    const int value = HexPairAt(text, er + 3);
    switch (value) {
      case 0x00: printerErrorCode_ = kErrorFatal; break;
      case 0x01: printerErrorCode_ = kErrorIfNotSelect; break;
      case 0x04: printerErrorCode_ = kErrorPaperJam; break;
      case 0x05: printerErrorCode_ = kErrorInkOut; break;
      case 0x06: printerErrorCode_ = kErrorPaperOut; break;
      case 0x10: printerErrorCode_ = kErrorMaintenance; break;
      case 0x12: printerErrorCode_ = kErrorDoubleFeed; break;
      default:
        printerErrorCode_ = kErrorOther;
        rawErrorCode_ = value < 0 ? 0 : static_cast<std::uint8_t>(value);
        break;
    }
  }
  if (printerStatus_ != kStatusError && !dataOpen_) OpenChannel(kDataSocket);
  return kOk;
}

Result PacketChannel::WaitLoop(bool resetFirst) {
  for (;;) {
    if (resetFirst) {
      VANTOR_TRY(QueuePrintData(kEscAt, sizeof kEscAt));
      VANTOR_TRY(FlushPrintData());
    }
    VANTOR_TRY(ReadStatus());
    if (printerStatus_ == kStatusBeforeFill) return kNotReady;
    if (printerStatus_ == kStatusReady) return kOk;
    if (printerStatus_ == kStatusError) {
      if (printerErrorCode_ != kErrorPaperOut) return kNotReady;
      if (paperOut_) paperOut_->PaperOut();
    }
    clock_.SleepMs(1000);
  }
}

Result PacketChannel::WaitUntilReady() { return WaitLoop(true); }

Result PacketChannel::PollUntilReady() { return WaitLoop(false); }

namespace {
// 'O' accepted, 'B' busy, 'N' refused at text position 6; a shorter reply is malformed.
std::int16_t AcknowledgeCode(std::string_view text) {
  if (text.size() <= 6) return kUnexpected;
  switch (text[6]) {
    case 'O': return 1;
    case 'B': return kWriteBusy;
    case 'N': return kWriteRefused;
    default: return kUnexpected;
  }
}
}  // namespace

Result PacketChannel::SendRsCommand() {
  VANTOR_TRY(ControlCommand(kRsCommand, sizeof kRsCommand));
  errorCode_ = AcknowledgeCode(ReplyText());
  return errorCode_ == 1 ? kOk : kChannelFailure;
}

Result PacketChannel::ReadEepromByte(std::uint8_t address, std::uint8_t& value) {
  const std::uint8_t frame[10] = {0x7C, 0x7C, 0x06, 0x00, modelBytes_[0], modelBytes_[1],
                                  0x41, 0xBE, 0xA0, address};
  VANTOR_TRY(ControlCommand(frame, sizeof frame));
  if (!DecodeEepromReply(ReplyText(), value)) {
    errorCode_ = kBadEepromReply;
    return kChannelFailure;
  }
  return kOk;
}

bool PacketChannel::DecodeEepromReply(std::string_view text, std::uint8_t& value) {
  if (!text.starts_with(kEepromReplyPrefix) || text.size() < 16) return false;
  value = static_cast<std::uint8_t>(EepromDigit(text[14]) * 16 + EepromDigit(text[15]));
  return true;
}

Result PacketChannel::WriteEepromByte(std::uint8_t address, std::uint8_t value) {
  const std::uint8_t frame[11] = {0x7C, 0x7C, 0x07, 0x00, modelBytes_[0], modelBytes_[1],
                                  0x42, 0xBD, 0x21, address, value};
  VANTOR_TRY(ControlCommand(frame, sizeof frame));
  errorCode_ = AcknowledgeCode(ReplyText());
  return errorCode_ == 1 ? kOk : kChannelFailure;
}

}  // namespace vantor
