#include "PrinterPort.h"

#include <algorithm>

#include "ProtocolParsers.h"
#include "WireTrace.h"

namespace vantor {

namespace {
constexpr std::int64_t kReadDelayMs = 10;
constexpr std::int64_t kUsbAttemptLimitMs = 50;
constexpr std::int64_t kUsbRetryMs = 1000;
constexpr int kUsbAttempts = 10;
constexpr std::size_t kUsbReadSize = 256;
constexpr std::size_t kHeaderSize = wire::kHeaderSize;
}  // namespace

PrinterPort::PrinterPort(const PortTable& table, Clock& clock) : table_(table), clock_(clock) {}

PrinterPort::~PrinterPort() {
  ClosePort();
}

Result PrinterPort::OpenPort(PortCode code) {
  lastError_ = kPortNoError;
  if (IsOpen()) ClosePort();
  openFailure_.clear();
  const std::string_view name = PortListName(code);
  if (name.empty()) {
    openFailure_ = "no such interface";
    return Fail(kPortCannotOpen);
  }
  portName_ = std::string(name);
  kind_ = KindOf(code);
  OpenFailure why;
  device_ = table_.Open(name, kind_, why);
  if (!device_) {
    openFailure_ = why.reason;
    if (why.inUse) {
      openFailure_ = portName_ + " is in use by " +
                     (why.holder.empty() ? "another program" : "process " + why.holder);
    }
    if (trace_) trace_->Comment("open " + portName_ + " failed: " + why.reason);
    return Fail(kPortCannotOpen);
  }
  if (trace_) trace_->Comment("open " + portName_ + " (" + table_.Describe(name) + ")");
  return kOk;
}

void PrinterPort::ClosePort() {
  if (device_ && trace_) trace_->Comment("close " + portName_);
  device_.reset();
}

Result PrinterPort::WritePort(const std::uint8_t* bytes, std::size_t count) {
  lastError_ = kPortNoError;
  // A write on a closed port must reach the technician as a port failure, not pass silently.
  if (!IsOpen()) return Fail(kPortCannotOpen);
  const std::int64_t start = clock_.WholeSeconds();
  const IoResult io = device_->Write({bytes, count}, kTransferLimitMs);
  if (trace_ && io.count) trace_->Write({bytes, std::min(io.count, count)});
  if (!io.ok) return Fail(kPortWriteFailed);
  if (clock_.WholeSeconds() - start >= 10) return Fail(kPortSendTimeout);
  if (io.count < count) return Fail(kPortWriteFailed);
  return kOk;
}

Result PrinterPort::ReadExactly(std::uint8_t* buffer, std::size_t want) {
  const std::int64_t startSeconds = clock_.WholeSeconds();
  const std::int64_t deadline = clock_.NowMs() + kTransferLimitMs;
  std::size_t got = 0;
  while (got < want) {
    const std::int64_t left = deadline - clock_.NowMs();
    if (left <= 0) return Fail(kPortReceiveTimeout);
    const IoResult io = device_->Read({buffer + got, want - got}, left);
    if (trace_ && io.count) trace_->Read({buffer + got, std::min(io.count, want - got)});
    if (!io.ok) return Fail(kPortReadFailed);
    got += std::min(io.count, want - got);
  }
  if (clock_.WholeSeconds() - startSeconds >= 10) return Fail(kPortReceiveTimeout);
  return kOk;
}

Result PrinterPort::ReadParallel(std::uint8_t* buffer, std::size_t& count) {
  count = 0;
  VANTOR_TRY(ReadExactly(buffer, kHeaderSize));
  // The header is the printer's word: a length the buffer cannot hold is a broken reply.
  const wire::Frame frame = wire::FrameOf({buffer, kHeaderSize}, kPortBufferSize);
  if (frame.state == wire::FrameState::TooShort || frame.state == wire::FrameState::TooLong) {
    return Fail(kPortReadFailed);
  }
  VANTOR_TRY(ReadExactly(buffer + kHeaderSize, frame.missing));
  count = frame.length;
  return kOk;
}

Result PrinterPort::ReadUsb(std::uint8_t* buffer, std::size_t& count) {
  count = 0;
  for (int attempt = 1;; ++attempt) {
    clock_.SleepMs(kReadDelayMs);
    const std::int64_t startSeconds = clock_.WholeSeconds();
    const IoResult io = device_->ReadReply({buffer, kUsbReadSize}, kUsbAttemptLimitMs);
    const std::size_t got = io.ok ? std::min(io.count, kUsbReadSize) : 0;
    if (trace_ && got) trace_->Read({buffer, got});
    // A reply that began and did not come whole within the 10-second rule: the printer fell
    // silent halfway, which the link must know to stop waiting for it.
    if (clock_.WholeSeconds() - startSeconds >= 10) return Fail(kPortReceiveTimeout);
    if (!io.ok) return Fail(kPortReadFailed);
    if (got > 0) {
      // As on the parallel port, a length the buffer cannot hold is a broken reply.
      const wire::FrameState state = wire::FrameOf({buffer, got}, kPortBufferSize).state;
      if (state == wire::FrameState::TooShort || state == wire::FrameState::TooLong) {
        return Fail(kPortReadFailed);
      }
      count = got;
      return kOk;
    }
    if (attempt == kUsbAttempts) return Fail(kPortReceiveTimeout);
    clock_.SleepMs(kUsbRetryMs);
  }
}

Result PrinterPort::ReadPort(std::uint8_t* buffer, std::size_t& count) {
  clock_.SleepMs(kReadDelayMs);
  lastError_ = kPortNoError;
  count = 0;
  if (!IsOpen()) return Fail(kPortCannotOpen);
  return kind_ == InterfaceKind::Usb ? ReadUsb(buffer, count) : ReadParallel(buffer, count);
}

std::optional<Model> PrinterPort::ReportedModel() const {
  return wire::ModelFromDeviceId(DeviceIdReply());
}

Result PrinterPort::QueryDeviceId() {
  lastError_ = kPortNoError;
  deviceId_.fill(0);
  deviceIdLength_ = 0;
  if (!IsOpen()) return Fail(kPortCannotOpen);
  deviceIdLength_ = std::min(device_->DeviceId(deviceId_), deviceId_.size());
  if (trace_) trace_->DeviceId(DeviceIdReply());
  if (deviceIdLength_ == 0) return Fail(kPortNoDeviceId);
  return kOk;
}

}  // namespace vantor
