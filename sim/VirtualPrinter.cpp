#include "sim/VirtualPrinter.h"

#include <algorithm>
#include <fstream>

#include "link/FactoryCommands.h"
#include "link/StateFiles.h"
#include "sim/Misalignment.h"
#include "sim/Texts.h"

namespace vantor::sim {

// ---------------------------------------------------------------------------------------------
// The device seen through a port; the faults that bend the I/O itself are applied here.

class DeviceView final : public PortDevice {
 public:
  DeviceView(VirtualPrinter& printer, InterfaceKind kind) : printer_(printer), kind_(kind) {}

  IoResult Write(std::span<const std::uint8_t> bytes, std::int64_t) override {
    Faults& f = printer_.faults_;
    if (f.PowerGone()) return {true, bytes.size()};  // nobody there to take them
    if (f.TakeSlowWrite()) printer_.clock_.SleepMs(f.writeDelayMs);
    printer_.Written(bytes);
    std::size_t count = bytes.size();
    // The printer took every byte; only the report is short, so later packets stay framed.
    if (count > 0 && f.TakeShortWrite()) --count;
    return {true, count};
  }

  IoResult Read(std::span<std::uint8_t> buffer, std::int64_t limitMs) override {
    if (!printer_.transport_.HasReplies()) printer_.faults_.ReplyAwaited();
    const std::size_t want = printer_.faults_.ReadLimit(buffer.size());
    return {true, printer_.transport_.TakeStream(buffer.first(want), limitMs)};
  }

  IoResult ReadReply(std::span<std::uint8_t> buffer, std::int64_t limitMs) override {
    if (!printer_.transport_.HasReplies()) printer_.faults_.ReplyAwaited();
    return {true, printer_.transport_.TakeReply(buffer, limitMs)};
  }

  std::size_t DeviceId(std::span<std::uint8_t> buffer) override {
    if (printer_.faults_.emptyDeviceId) return 0;
    return printer_.DeviceIdReply(buffer);
  }

  InterfaceKind Kind() const { return kind_; }

 private:
  VirtualPrinter& printer_;
  InterfaceKind kind_;
};

// ---------------------------------------------------------------------------------------------

VirtualPrinter::VirtualPrinter(Clock& clock, Model model)
    : clock_(clock),
      model_(model),
      store_(model),
      mechanism_(clock, model, store_),
      control_(model, store_, mechanism_, faults_),
      transport_(clock, faults_, *this) {
  mechanism_.SetDataReply(
      [this](const std::string& text) { transport_.QueueText(kDataSocket, text); });
  faults_.SetClock(&clock_);
}

VirtualPrinter::~VirtualPrinter() {
  store_.PromoteLazy();
  store_.SaveIfDirty();
}

bool VirtualPrinter::SaveState() {
  store_.PromoteLazy();
  return !store_.Dirty() || store_.Save();
}

bool VirtualPrinter::UseStateFile(const std::string& path, std::string& error) {
  if (!store_.UseFile(path, error)) return false;
  // The mechanism is kept as errors against the factory image and the lever at 0, so that it
  // stays what it is whatever the EEPROM holds; a state file without one is a factory unit.
  mechanismPath_ = path + ".mechanism";
  std::ifstream in(mechanismPath_);
  if (in) {
    std::string text, why;
    std::getline(in, text);
    Misalignment errors;
    if (!ParseMisalignment(text, errors, why)) {
      error = mechanismPath_ + ": " + why;
      return false;
    }
    mechanism_.SetTrue(
        ApplyMisalignment(errors, PrinterMechanism::Factory(model_), FactoryImage(model_), 0));
  }
  mechanism_.PowerOn();
  Changed();
  return true;
}

bool VirtualPrinter::SetMisalignment(const std::string& text, std::string& why) {
  Misalignment errors;
  if (!ParseMisalignment(text, errors, why)) return false;
  mechanism_.SetTrue(
      ApplyMisalignment(errors, mechanism_.True(), store_.Image(), HeadAngleLever()));
  if (!mechanismPath_.empty()) {
    const std::string line =
        FormatMisalignment(ErrorsOf(mechanism_.True(), FactoryImage(model_), 0)) + "\n";
    std::string reason;
    if (!ReplaceFile(mechanismPath_,
                     {reinterpret_cast<const std::uint8_t*>(line.data()), line.size()}, 0644,
                     reason)) {
      why = "cannot save " + mechanismPath_ + ": " + reason;
      return false;
    }
  }
  Changed();
  return true;
}

std::string VirtualPrinter::MisalignmentText() const {
  return FormatMisalignment(ErrorsOf(mechanism_.True(), store_.Image(), HeadAngleLever()));
}

void VirtualPrinter::SetEeprom(std::uint8_t address, std::uint8_t value) {
  store_.Store(address, value);
  store_.SaveIfDirty();
  Changed();
}

void VirtualPrinter::Changed() {
  if (!observer_ || notifying_) return;
  notifying_ = true;
  observer_();
  notifying_ = false;
}

void VirtualPrinter::Written(std::span<const std::uint8_t> bytes) {
  mechanism_.Update();
  transport_.Receive(bytes);
  store_.SaveIfDirty();
  Changed();
}

void VirtualPrinter::SessionStarted() {
  mechanism_.ResetStream();
  ++sessions_;
}

std::string VirtualPrinter::Control(std::span<const std::uint8_t> payload) {
  return control_.Reply(payload);
}

void VirtualPrinter::Data(std::span<const std::uint8_t> payload) {
  dataBytes_ += payload.size();
  if (capture_) {
    capture_->write(reinterpret_cast<const char*>(payload.data()),
                    static_cast<std::streamsize>(payload.size()));
    capture_->flush();
  }
  mechanism_.Feed(payload);
}

void VirtualPrinter::FeedPrintData(std::span<const std::uint8_t> bytes) {
  mechanism_.Update();
  mechanism_.Feed(bytes);
  store_.SaveIfDirty();
  Changed();
}

VirtualPrinter::Snapshot VirtualPrinter::State() {
  mechanism_.Update();
  Snapshot s;
  s.st = mechanism_.StNow();
  s.er = mechanism_.ErrorNow();
  s.packetMode = transport_.PacketMode();
  s.controlOpen = transport_.ControlOpen();
  s.dataOpen = transport_.DataOpen();
  s.remoteMode = mechanism_.InRemoteMode();
  s.paperOut = mechanism_.PaperOut();
  s.beforeFill = mechanism_.BeforeFill();
  s.protectionCounter = static_cast<std::uint16_t>(store_.Counter(eeprom::kProtectionCounterHi, 2));
  s.pageCounter = store_.Counter(eeprom::kPageCounter, 4);
  s.passCounter = store_.Counter(eeprom::kPassCounter, 4);
  s.busyUntilMs = mechanism_.BusyUntilMs();
  s.ink = mechanism_.Ink();
  s.headAngleLever = mechanism_.HeadAngleLever();
  s.dataBytes = dataBytes_;
  s.pagesPrinted = mechanism_.PagesPrinted();
  s.sessions = sessions_;
  s.creditFaults = transport_.CreditFaults();
  return s;
}

// ---------------------------------------------------------------------------------------------
// Console.

void VirtualPrinter::PressInkSwitch() {
  mechanism_.PressInkSwitch();
  Changed();
}

void VirtualPrinter::TapInkSwitch() {
  mechanism_.TapInkSwitch();
  Changed();
}

void VirtualPrinter::SetPaperOut(bool out) {
  mechanism_.SetPaperOut(out);
  Changed();
}

void VirtualPrinter::RaiseError(std::uint8_t erValue) {
  mechanism_.RaiseError(erValue);
  Changed();
}

void VirtualPrinter::ClearError() {
  mechanism_.ClearError();
  Changed();
}

void VirtualPrinter::SetHeadAngleLever(int position) {
  mechanism_.SetHeadAngleLever(position);
  Changed();
}

void VirtualPrinter::PrintNozzleCheck() {
  mechanism_.PrintNozzleCheck();
  Changed();
}

// ---------------------------------------------------------------------------------------------
// Identity and ports.

std::string VirtualPrinter::DeviceIdText() const {
  const std::string name(ModelName(model_));
  return std::string(texts::kDeviceIdMaker) + std::string(texts::kDeviceIdCommands) +
         "MDL:" + name + ";" + std::string(texts::kDeviceIdClass) + "DES:" + name + ";";
}

std::size_t VirtualPrinter::DeviceIdReply(std::span<std::uint8_t> buffer) const {
  if (buffer.size() < 2) return 0;
  const std::string text = DeviceIdText();
  const std::size_t whole = text.size() + 2;
  buffer[0] = static_cast<std::uint8_t>(whole >> 8);
  buffer[1] = static_cast<std::uint8_t>(whole & 0xFF);
  const std::size_t n = std::min(whole, buffer.size());
  std::copy_n(text.begin(), n - 2, buffer.begin() + 2);
  return n;
}

std::unique_ptr<PortDevice> VirtualPrinter::Connect(InterfaceKind kind) {
  transport_.Disconnect();
  return std::make_unique<DeviceView>(*this, kind);
}

void VirtualPrinter::AttachTo(PortTable& table) {
  const std::string description =
      std::string(texts::kPortDescription) + " (" + std::string(ModelName(model_)) + ")";
  for (const std::string_view name : kPortNames) {
    table.Set(name, description,
              [this](InterfaceKind kind, OpenFailure&) { return Connect(kind); });
  }
}

}  // namespace vantor::sim
