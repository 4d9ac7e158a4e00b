#include "PacketChannel.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include "Fatal.h"
#include "Frames.h"
#include "ProtocolParsers.h"

namespace vantor {

namespace {
constexpr std::size_t kHeader = wire::kHeaderSize;
constexpr std::size_t kPrintPayload = 1000;
constexpr std::size_t kMaxPayload = 1024;

constexpr std::uint8_t kEscAt[2] = {0x1B, 0x40};
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
  errorCode_ = kChannelNoError;
  replyLength_ = 0;
  // A request whose answer would not be read must not go out: its late answer would be taken
  // for the next one's.
  if (GivesUp()) return SilentFailure();
  VANTOR_TRY(Watched(port_.WritePort(packet, length)));
  VANTOR_TRY(ReadReply());
  const wire::TransactionReply r = wire::ClassifyTransactionReply(Reply(), packet[6]);
  if (r.kind == wire::ReplyKind::Accepted) return kOk;
  errorCode_ = r.kind == wire::ReplyKind::Error ? r.error : kChannelUnexpected;
  return kChannelFailure;
}

Result PacketChannel::Watched(Result r) {
  const std::int16_t e = port_.PortError();
  if (r == kPortFailure && (e == kPortReceiveTimeout || e == kPortSendTimeout)) silent_ = true;
  return r;
}

bool PacketChannel::GivesUp() const {
  return waitOnce_ && silent_ && !retry_;
}

Result PacketChannel::SilentFailure() {
  replyLength_ = 0;
  port_.RestoreError(kPortReceiveTimeout);
  return kPortFailure;
}

Result PacketChannel::ReadReply() {
  if (GivesUp()) return SilentFailure();
  retry_ = false;
  const Result r = Watched(port_.ReadPort(reply_.data(), replyLength_));
  if (r == kOk) silent_ = false;
  return r;
}

Result PacketChannel::ClassifyErrorReply() {
  errorCode_ = wire::ErrorReplyCode(Reply());
  return kChannelFailure;
}

Result PacketChannel::Refused(std::span<const wire::Refusal> table, std::uint8_t result) {
  errorCode_ = wire::RefusalCode(table, result);
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

TransactionPacket CloseChannelPacket(std::uint8_t socket, std::uint8_t byte) {
  return TransactionPacket({wire::kCloseChannel, socket, socket, byte});
}
TransactionPacket CreditPacket(std::uint8_t socket, std::uint16_t count) {
  return TransactionPacket({wire::kCredit, socket, socket, static_cast<std::uint8_t>(count >> 8),
                            static_cast<std::uint8_t>(count & 0xFF)});
}
TransactionPacket CreditRequestPacket(std::uint8_t socket, std::uint16_t count) {
  return TransactionPacket({wire::kCreditRequest, socket, socket, 0x00, 0x00,
                            static_cast<std::uint8_t>(count >> 8),
                            static_cast<std::uint8_t>(count & 0xFF)});
}
TransactionPacket ExitPacket() {
  return TransactionPacket({wire::kExit});
}
}  // namespace

Result PacketChannel::EnterPacketMode() {
  const auto* entry = reinterpret_cast<const std::uint8_t*>(wire::kEntryPacket.data());
  VANTOR_TRY(Transact(entry, wire::kEntryPacket.size()));
  if (reply_[7] != wire::kResultOk) return Refused(wire::kEntryRefusals, reply_[7]);
  return kOk;
}

Result PacketChannel::InitTransport() {
  const TransactionPacket p({wire::kInit, wire::kRevision});
  VANTOR_TRY(Transact(p.bytes.data(), p.length));
  if (reply_[7] != wire::kResultOk) return Refused(wire::kInitRefusals, reply_[7]);
  return kOk;
}

Result PacketChannel::ExitTransport() {
  const TransactionPacket p = ExitPacket();
  return Transact(p.bytes.data(), p.length);
}

Result PacketChannel::OpenChannel(std::uint8_t socket) {
  const TransactionPacket p(
      {wire::kOpenChannel, socket, socket, 0x04, 0x00, 0x04, 0x00, 0x00, 0x00, 0x00, 0x00});
  VANTOR_TRY(Transact(p.bytes.data(), p.length));
  const std::uint8_t result = reply_[7];
  if (result != wire::kResultOk && result != wire::kResultAlreadyOpen) {
    return Refused(wire::kOpenRefusals, result);
  }
  if (result == wire::kResultAlreadyOpen) errorCode_ = kChannelOpenResult6;
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
  const TransactionPacket p = CloseChannelPacket(socket, byte);
  VANTOR_TRY(Transact(p.bytes.data(), p.length));
  if (reply_[7] != wire::kResultOk) return Refused(wire::kCloseRefusals, reply_[7]);
  if (socket == kDataSocket) dataOpen_ = false;
  if (socket == kControlSocket) controlOpen_ = false;
  return kOk;
}

Result PacketChannel::GrantCredit(std::uint8_t socket, std::uint16_t count) {
  const TransactionPacket p = CreditPacket(socket, count);
  VANTOR_TRY(Transact(p.bytes.data(), p.length));
  if (reply_[7] != wire::kResultOk) return Refused(wire::kCreditRefusals, reply_[7]);
  if (socket == kDataSocket) {
    // A printer whose Credit reply has no credit field has granted what was offered.
    const std::uint16_t granted =
        replyLength_ >= 12 ? static_cast<std::uint16_t>(reply_[10] << 8 | reply_[11]) : count;
    printerCredits_ = static_cast<std::uint16_t>(printerCredits_ + granted);
  }
  return kOk;
}

Result PacketChannel::RequestCredit(std::uint8_t socket, std::uint16_t count) {
  const TransactionPacket p = CreditRequestPacket(socket, count);
  VANTOR_TRY(Transact(p.bytes.data(), p.length));
  if (reply_[7] != wire::kResultOk) return Refused(wire::kCreditRefusals, reply_[7]);
  if (socket == kDataSocket) {
    if (replyLength_ < 12) {
      errorCode_ = kChannelUnexpected;
      return kChannelFailure;
    }
    hostCredits_ = static_cast<std::uint16_t>(hostCredits_ + (reply_[10] << 8 | reply_[11]));
  }
  return kOk;
}

Result PacketChannel::StartLink() {
  controlOpen_ = false;
  dataOpen_ = false;
  silent_ = false;
  retry_ = false;
  fill_ = 0;
  VANTOR_TRY(port_.QueryDeviceId());
  VANTOR_TRY(EnterPacketMode());
  VANTOR_TRY(InitTransport());
  VANTOR_TRY(OpenChannel(kControlSocket));
  return ReadStatus();
}

// Every step is sent whatever the one before answered: the printer must be let go of.
void PacketChannel::ShutdownLink() {
  // The shutdown's own results are not examined and must not hide why a command failed.
  const std::int16_t portError = port_.PortError();
  const std::int16_t channelError = errorCode_;
  for (int step = 0; step < 4; ++step) {
    if (step) clock_.SleepMs(100);
    // While the printer is silent, the rest still goes out unanswered.
    if (silent_) {
      if (!SendUnanswered(step)) break;
      continue;
    }
    switch (step) {
      case 0:
        (void)CloseChannel(kDataSocket, 0);
        break;
      case 1:
        (void)SendRsCommand();
        break;
      case 2:
        (void)CloseChannel(kControlSocket, 0);
        break;
      default:
        (void)ExitTransport();
        break;
    }
  }
  port_.RestoreError(portError);
  errorCode_ = channelError;
}

bool PacketChannel::SendUnanswered(int step) {
  const auto send = [this](const TransactionPacket& p) {
    return port_.WritePort(p.bytes.data(), p.length) == kOk;
  };
  switch (step) {
    case 0:
      dataOpen_ = false;
      return send(CloseChannelPacket(kDataSocket, 0));
    case 1:
      return send(CreditPacket(kControlSocket, 1)) &&
             send(CreditRequestPacket(kControlSocket, 1)) &&
             WritePacket(kControlSocket, wire::kRsCommand, sizeof wire::kRsCommand) == kOk;
    case 2:
      controlOpen_ = false;
      return send(CloseChannelPacket(kControlSocket, 0));
    default:
      return send(ExitPacket());
  }
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
  const Result r = Watched(WritePacket(kDataSocket, printData_.data(), fill_));
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
  errorCode_ = kChannelNoError;
  if (!dataOpen_) VANTOR_TRY(OpenChannel(kDataSocket));
  if (count > kMaxPayload) FatalProgramError("Program miss!!!");
  if (hostCredits_ < 2) VANTOR_TRY(RequestCredit(kDataSocket, 2));
  if (printerCredits_ < 2) VANTOR_TRY(GrantCredit(kDataSocket, 2));
  VANTOR_TRY(Watched(WritePacket(kDataSocket, bytes, count)));
  if (hostCredits_) --hostCredits_;
  return kOk;
}

std::size_t PacketChannel::PrintDataRoom() const {
  return kPrintPayload - fill_;
}

Result PacketChannel::QueuePrintData(const std::uint8_t* bytes, std::size_t count) {
  errorCode_ = kChannelNoError;
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
  VANTOR_TRY(ReadReply());
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
  errorCode_ = kChannelNoError;
  textLength_ = 0;
  if (!controlOpen_) VANTOR_TRY(OpenChannel(kControlSocket));
  if (count > kMaxPayload) FatalProgramError("Program miss!!!");
  VANTOR_TRY(GrantCredit(kControlSocket, 1));
  VANTOR_TRY(RequestCredit(kControlSocket, 1));
  VANTOR_TRY(Watched(WritePacket(kControlSocket, bytes, count)));
  VANTOR_TRY(ReadReply());
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
  VANTOR_TRY(ControlCommand(wire::kStatusCommand, sizeof wire::kStatusCommand));
  const wire::StatusReport report = wire::ParseStatusReply(ReplyText());
  printerStatus_ = report.status;
  printerErrorCode_ = report.error;
  if (report.rawError) rawErrorCode_ = *report.rawError;
  if (!report.complete) {
    errorCode_ = kChannelNoStatusFields;
    return kChannelFailure;
  }
  // A data channel that will not open shows at the first print data, with its own words.
  if (printerStatus_ != kStatusError && !dataOpen_) (void)OpenChannel(kDataSocket);
  return kOk;
}

Result PacketChannel::WaitLoop(bool resetFirst) {
  const std::int64_t start = clock_.NowMs();
  for (;;) {
    if (Cancelled()) return kNotReady;
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
    if (waitLimitMs_ >= 0 && clock_.NowMs() - start >= waitLimitMs_) return kNotReady;
    clock_.SleepMs(kPollMs);
  }
}

Result PacketChannel::WaitUntilReady() {
  return WaitLoop(true);
}

Result PacketChannel::PollUntilReady() {
  return WaitLoop(false);
}

Result PacketChannel::SendRsCommand() {
  VANTOR_TRY(ControlCommand(wire::kRsCommand, sizeof wire::kRsCommand));
  errorCode_ = wire::AcknowledgeCode(ReplyText());
  return errorCode_ == kChannelNoError ? kOk : kChannelFailure;
}

Result PacketChannel::ReadEepromByte(std::uint8_t address, std::uint8_t& value) {
  // A long read stops between bytes, not after the last one.
  if (Cancelled()) return kNotReady;
  const wire::ServiceFrame frame = wire::EepromReadFrame(modelBytes_, address);
  VANTOR_TRY(ControlCommand(frame.bytes.data(), frame.size));
  if (!DecodeEepromReply(ReplyText(), value)) {
    errorCode_ = kChannelBadEepromReply;
    return kChannelFailure;
  }
  return kOk;
}

bool PacketChannel::DecodeEepromReply(std::string_view text, std::uint8_t& value) {
  const std::optional<std::uint8_t> parsed = wire::ParseEepromReply(text);
  if (parsed) value = *parsed;
  return parsed.has_value();
}

Result PacketChannel::WriteEepromByte(std::uint8_t address, std::uint8_t value) {
  BeforeChange();
  const wire::ServiceFrame frame = wire::EepromWriteFrame(modelBytes_, address, value);
  VANTOR_TRY(ControlCommand(frame.bytes.data(), frame.size));
  errorCode_ = wire::AcknowledgeCode(ReplyText());
  return errorCode_ == kChannelNoError ? kOk : kChannelFailure;
}

}  // namespace vantor
