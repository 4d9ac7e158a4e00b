// IEEE 1284.4 packet channel: transactions, the control and data channels, status and waits.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string_view>
#include <utility>

#include "Clock.h"
#include "Model.h"
#include "PrinterPort.h"
#include "Protocol.h"
#include "Result.h"

namespace vantor {

// Told of each poll that finds the paper out ("Paper out error" box in the window).
class PaperOutNotifier {
 public:
  virtual ~PaperOutNotifier() = default;
  virtual void PaperOut() = 0;
};

class PacketChannel {
 public:
  PacketChannel(PrinterPort& port, Clock& clock);

  void SetModel(Model model);
  Model SelectedModel() const { return model_; }
  ModelBytes GetModelBytes() const { return modelBytes_; }
  void SetPaperOutNotifier(PaperOutNotifier* notifier) { paperOut_ = notifier; }
  // For a link that serves one command: after one receive time-out, later exchanges fail at
  // once instead of waiting again, and their requests stay unsent. A window keeps waiting, so
  // that the technician can repeat a step once the printer answers again.
  void SetWaitForSilenceOnce(bool once) { waitOnce_ = once; }
  // The technician repeats a step: its next exchange waits for the printer once more.
  void RetryAfterSilence() { retry_ = true; }
  // Bounds every readiness wait (a negative limit: none, as in the window); a wait that runs
  // out ends as "not ready" with the printer's last state for its words.
  void SetWaitLimitMs(std::int64_t limitMs) { waitLimitMs_ = limitMs; }
  // A flag that, once set, ends any wait at its next poll as "not ready".
  void SetCancel(const std::atomic<bool>* cancel) { cancel_ = cancel; }
  // Runs hook once, just before the session's first frame that changes what the printer keeps
  // (an EEPROM write, a committed adjustment, a cleaning), so that it can still read what it was.
  void SetBeforeFirstChange(std::function<void()> hook) { beforeChange_ = std::move(hook); }
  void BeforeChange() {
    if (auto hook = std::exchange(beforeChange_, nullptr)) hook();
  }
  bool Cancelled() const { return cancel_ && cancel_->load(); }

  // Transactions on socket 0.
  Result EnterPacketMode();
  Result InitTransport();
  Result ExitTransport();
  Result OpenChannel(std::uint8_t socket);
  Result CloseChannel(std::uint8_t socket, std::uint8_t byte);
  Result GrantCredit(std::uint8_t socket, std::uint16_t count);
  Result RequestCredit(std::uint8_t socket, std::uint16_t count);

  Result StartLink();
  void ShutdownLink();

  Result SendData(const std::uint8_t* bytes, std::size_t count);
  Result SendData(std::span<const std::uint8_t> bytes) {
    return SendData(bytes.data(), bytes.size());
  }
  Result QueuePrintData(const std::uint8_t* bytes, std::size_t count);
  Result QueuePrintData(std::span<const std::uint8_t> bytes) {
    return QueuePrintData(bytes.data(), bytes.size());
  }
  Result FlushPrintData();
  // One data-channel packet; the payload is copied into destination, at most its size.
  Result ReceiveData(std::span<std::uint8_t> destination, std::size_t& count);

  Result ControlCommand(const std::uint8_t* bytes, std::size_t count);
  // The payload of the last successful control command, as text.
  std::string_view ReplyText() const;

  Result ReadStatus();
  // Both read the status every kPollMs until the printer is ready.
  static constexpr std::int64_t kPollMs = 1000;
  Result WaitUntilReady();
  Result PollUntilReady();
  Result SendRsCommand();
  Result ReadEepromByte(std::uint8_t address, std::uint8_t& value);
  Result WriteEepromByte(std::uint8_t address, std::uint8_t value);

  // An EEPROM read reply of either channel: "@BDC PS" and the value at text positions 14-15.
  static bool DecodeEepromReply(std::string_view text, std::uint8_t& value);

  std::int16_t ChannelError() const { return errorCode_; }
  // Puts back an earlier failure's code after clean-up steps that must not hide it.
  void RestoreError(std::int16_t code) { errorCode_ = code; }
  std::uint16_t PrinterStatus() const { return printerStatus_; }
  std::uint16_t PrinterErrorCode() const { return printerErrorCode_; }
  std::uint8_t RawErrorCode() const { return rawErrorCode_; }

  bool DataChannelOpen() const { return dataOpen_; }
  bool ControlChannelOpen() const { return controlOpen_; }
  std::uint16_t HostCredits() const { return hostCredits_; }
  std::uint16_t PrinterCredits() const { return printerCredits_; }
  std::size_t PrintDataFill() const { return fill_; }
  // Bytes still to queue before the print data goes out as a packet.
  std::size_t PrintDataRoom() const;

  PrinterPort& Port() { return port_; }
  Clock& GetClock() { return clock_; }

 private:
  Result Transact(const std::uint8_t* packet, std::size_t length);
  // A refused transaction: its result byte names the error code.
  Result Refused(std::span<const wire::Refusal> table, std::uint8_t result);
  Result ClassifyErrorReply();
  std::span<const std::uint8_t> Reply() const { return {reply_.data(), replyLength_}; }
  Result SendPrintPacket();
  Result WritePacket(std::uint8_t socket, const std::uint8_t* payload, std::size_t count);
  Result WaitLoop(bool resetFirst);
  // Notes a transfer that ran out of time: the printer has fallen silent.
  Result Watched(Result r);
  // Reads a reply, or fails at once when the printer is known silent and waits once only;
  // any reply ends the silence.
  Result ReadReply();
  bool GivesUp() const;
  Result SilentFailure();
  // One shutdown step written without waiting for its answer.
  bool SendUnanswered(int step);

  PrinterPort& port_;
  Clock& clock_;
  PaperOutNotifier* paperOut_ = nullptr;
  Model model_ = Model::None;
  ModelBytes modelBytes_{};

  std::array<std::uint8_t, kPortBufferSize + 1> reply_{};
  std::size_t replyLength_ = 0;
  std::size_t textLength_ = 0;
  std::array<std::uint8_t, kPortBufferSize> printData_{};
  std::size_t fill_ = 0;
  std::array<std::uint8_t, kPortBufferSize + 6> packet_{};
  std::uint16_t hostCredits_ = 0;
  std::uint16_t printerCredits_ = 0;
  bool dataOpen_ = false;
  bool controlOpen_ = false;
  bool silent_ = false;  // a transfer timed out and no reply has come since
  bool waitOnce_ = false;
  bool retry_ = false;
  std::int64_t waitLimitMs_ = -1;
  const std::atomic<bool>* cancel_ = nullptr;
  std::function<void()> beforeChange_;
  std::int16_t errorCode_ = kChannelNoError;

  std::uint16_t printerStatus_ = kStatusNone;
  std::uint16_t printerErrorCode_ = kErrorNone;
  std::uint8_t rawErrorCode_ = 0;
};

}  // namespace vantor
