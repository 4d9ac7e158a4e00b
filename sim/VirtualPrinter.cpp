#include "sim/VirtualPrinter.h"

#include <algorithm>
#include <cstdio>

#include "link/FactoryCommands.h"
#include "sim/Texts.h"

namespace vantor::sim {

namespace {

constexpr std::size_t kHeader = 6;
constexpr std::size_t kMaxPacket = 4096;
constexpr std::uint8_t kTransaction = 0x00;
constexpr std::uint8_t kControl = 0x02;
constexpr std::uint8_t kData = 0x40;

// The fixed packet that switches the printer into packet mode.
constexpr std::string_view kEntry{"\x00\x00\x00\x1B\x01@ZJL 1284.4\n@ZJL\n@ZJL\n", 27};

// Transaction commands and their results.
constexpr std::uint8_t kInit = 0x00;
constexpr std::uint8_t kOpenChannel = 0x01;
constexpr std::uint8_t kCloseChannel = 0x02;
constexpr std::uint8_t kCredit = 0x03;
constexpr std::uint8_t kCreditRequest = 0x04;
constexpr std::uint8_t kExit = 0x08;
constexpr std::uint8_t kRevision = 0x10;
constexpr std::uint8_t kResultOk = 0x00;
constexpr std::uint8_t kResultBadRevision = 0x0B;
constexpr std::uint8_t kResultNoSuchSocket = 0x04;
constexpr std::uint8_t kResultAlreadyOpen = 0x06;
constexpr std::uint8_t kResultCreditOverflow = 0x07;
constexpr std::uint8_t kResultNotOpen = 0x08;

// EEPROM frame codes (code, sub-code, minimum body length).
struct FrameCode {
  std::uint8_t code, sub, length;
};
constexpr FrameCode kReadByte{0x41, 0xA0, 6};
constexpr FrameCode kWriteByte{0x42, 0x21, 7};

// Mechanism times in ms at a real printer's pace.
constexpr std::int64_t kBandMs = 250;
constexpr std::int64_t kTextLineMs = 100;
constexpr std::int64_t kEjectMs = 3000;

std::string Hex2(unsigned v) {
  char b[3];
  std::snprintf(b, sizeof b, "%02X", v & 0xFF);
  return b;
}

std::uint16_t Le16(const std::uint8_t* p) {
  return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}

bool Matches(std::span<const std::uint8_t> bytes, std::string_view text) {
  return bytes.size() >= text.size() &&
         std::equal(text.begin(), text.end(), bytes.begin(),
                    [](char c, std::uint8_t b) { return static_cast<std::uint8_t>(c) == b; });
}

bool IsLetter(std::uint8_t b) {
  return (b >= 'a' && b <= 'z') || (b >= 'A' && b <= 'Z');
}

std::string VerdictReply(std::string_view name, std::uint8_t code, std::string_view verdict) {
  // name ":" code ":" puts the verdict's first letter at position 6.
  return std::string(name) + ":" + Hex2(code) + ":" + std::string(verdict) +
         std::string(texts::kReplyEnd);
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// The device seen through a port.

class DeviceView final : public PortDevice {
 public:
  DeviceView(VirtualPrinter& printer, InterfaceKind kind) : printer_(printer), kind_(kind) {}

  IoResult Write(std::span<const std::uint8_t> bytes, std::int64_t) override {
    Faults& f = printer_.faults_;
    if (f.slowWrites != 0) {
      if (f.slowWrites > 0) --f.slowWrites;
      printer_.clock_.SleepMs(f.writeDelayMs);
    }
    printer_.Update();
    printer_.Receive(bytes);
    printer_.SaveIfDirty();
    printer_.Changed();
    std::size_t count = bytes.size();
    // The printer took every byte; only the report is short, so later packets stay framed.
    if (f.shortWrites != 0 && count > 0) {
      if (f.shortWrites > 0) --f.shortWrites;
      --count;
    }
    return {true, count};
  }

  IoResult Read(std::span<std::uint8_t> buffer, std::int64_t limitMs) override {
    return {true, printer_.TakeStream(buffer, limitMs)};
  }

  IoResult ReadReply(std::span<std::uint8_t> buffer, std::int64_t limitMs) override {
    return {true, printer_.TakeReply(buffer, limitMs)};
  }

  std::size_t DeviceId(std::span<std::uint8_t> buffer) override {
    return printer_.DeviceIdReply(buffer);
  }

  InterfaceKind Kind() const { return kind_; }

 private:
  VirtualPrinter& printer_;
  InterfaceKind kind_;
};

// ---------------------------------------------------------------------------------------------
// The printer's reactions to the print stream; a page renderer hears every command too.

class VirtualPrinter::StreamReactions final : public PrintStreamListener {
 public:
  explicit StreamReactions(VirtualPrinter& p) : p_(p) {}

  void InitPrinter() override { Forward(&PrintStreamListener::InitPrinter); }
  void GraphicsMode(std::uint8_t m) override { Forward(&PrintStreamListener::GraphicsMode, m); }
  void Unit(std::uint8_t u) override { Forward(&PrintStreamListener::Unit, u); }
  void PrintDirection(std::uint8_t d) override { Forward(&PrintStreamListener::PrintDirection, d); }
  void DotSize(std::uint8_t s) override { Forward(&PrintStreamListener::DotSize, s); }
  void ColorMode(std::uint8_t m) override { Forward(&PrintStreamListener::ColorMode, m); }
  void VerticalMove(std::int32_t u) override { Forward(&PrintStreamListener::VerticalMove, u); }
  void HorizontalPosition(std::uint16_t u) override {
    Forward(&PrintStreamListener::HorizontalPosition, u);
  }
  void RasterResolution(std::uint16_t b, std::uint8_t v, std::uint8_t h) override {
    Forward(&PrintStreamListener::RasterResolution, b, v, h);
  }
  void PaperSize(std::uint32_t w, std::uint32_t l) override {
    Forward(&PrintStreamListener::PaperSize, w, l);
  }
  void PageFormat(std::uint32_t t, std::uint32_t b) override {
    Forward(&PrintStreamListener::PageFormat, t, b);
  }
  void CarriageReturn() override { Forward(&PrintStreamListener::CarriageReturn); }
  void RemoteModeEnter() override { Forward(&PrintStreamListener::RemoteModeEnter); }
  void RemoteCommand(std::string_view n, std::span<const std::uint8_t> params) override {
    Forward(&PrintStreamListener::RemoteCommand, n, params);
  }
  void RemoteModeExit() override { Forward(&PrintStreamListener::RemoteModeExit); }
  void Unknown(std::span<const std::uint8_t> bytes) override {
    Forward(&PrintStreamListener::Unknown, bytes);
  }

  void Band(const RasterBand& band) override {
    if (p_.paperOut_) return;
    Forward(&PrintStreamListener::Band, band);
    p_.pageStarted_ = true;
    p_.Queue(Activity::Printing, kBandMs);
    // One save per band would make a long job crawl; the passes reach the file with the
    // host's next command or the next page.
    p_.AddToCounter(eeprom::kPassCounter, 4, 1, true);
  }
  void Text(char c) override {
    if (p_.paperOut_) return;
    Forward(&PrintStreamListener::Text, c);
    p_.pageStarted_ = true;
  }
  void LineFeed() override {
    if (p_.paperOut_) return;
    Forward(&PrintStreamListener::LineFeed);
    if (p_.pageStarted_) p_.Queue(Activity::Printing, kTextLineMs);
  }
  void FormFeed() override {
    // Without paper nothing is fed; the paper-out error stands until paper is loaded.
    if (p_.paperOut_) return;
    Forward(&PrintStreamListener::FormFeed);
    p_.Queue(Activity::Printing, kEjectMs);
    p_.AddToCounter(eeprom::kPageCounter, 4, 1);
    ++p_.pagesPrinted_;
    p_.pageStarted_ = false;
  }
  void FactoryFrame(std::span<const std::uint8_t> body) override {
    Forward(&PrintStreamListener::FactoryFrame, body);
    p_.FactoryFrame(body);
  }

 private:
  template <typename F, typename... A>
  void Forward(F f, A&&... a) {
    if (p_.pageListener_) (p_.pageListener_->*f)(std::forward<A>(a)...);
  }
  VirtualPrinter& p_;
};

// ---------------------------------------------------------------------------------------------
// What the mechanism does to the dots: the values in force against the unit's true ones.

class VirtualPrinter::Paper final : public PrintMechanics {
 public:
  explicit Paper(const VirtualPrinter& p) : p_(p) {}

  int ReturnPassShift(std::uint8_t dotSize, bool colour) const override {
    int index = 2;  // VSD1, also for the dot sizes the patterns do not use
    if (dotSize == 0x11) index = 4;
    if (dotSize == 0x12) index = 6;
    if (dotSize == 0x13) index = 0;
    if (colour) ++index;
    const int inForce = Signed(eeprom::kBidFirst + index);
    return (inForce - p_.mechanism_.bid[static_cast<std::size_t>(index)]) * kBidDotsPerStep;
  }
  int FeedError() const override {
    return (Signed(eeprom::kPfValue) - p_.mechanism_.pf) * kFeedUnitsPerPfStep;
  }
  int HeadTilt() const override {
    // The lever only goes so far; a wild position must not wrap the arithmetic.
    const long steps =
        std::clamp<long>(long{p_.headAngleLever_} - p_.mechanism_.squareLever, -1000, 1000);
    return static_cast<int>(steps) * kTiltDotsPerLeverStep;
  }
  int TopMarginLanding(int margin) const override { return margin + p_.mechanism_.topMarginOffset; }
  int StoredTopMargin() const override { return p_.eeprom_[eeprom::kTopMargin]; }

 private:
  int Signed(int address) const {
    return static_cast<std::int8_t>(p_.eeprom_[static_cast<std::size_t>(address)]);
  }
  const VirtualPrinter& p_;
};

// ---------------------------------------------------------------------------------------------

VirtualPrinter::VirtualPrinter(Clock& clock, Model model)
    : clock_(clock),
      model_(model),
      eeprom_(FactoryImage(model)),
      mechanism_(FactoryMechanism(model)),
      paper_(std::make_unique<Paper>(*this)),
      reactions_(std::make_unique<StreamReactions>(*this)),
      stream_(*reactions_) {}

VirtualPrinter::~VirtualPrinter() {
  if (lazyDirty_) dirty_ = true;
  SaveIfDirty();
}

EepromBytes VirtualPrinter::FactoryImage(Model model) {
  EepromBytes e{};
  const bool q30 = model == Model::Q30;
  auto put = [&e](std::size_t at, std::initializer_list<std::uint8_t> bytes) {
    for (const std::uint8_t b : bytes) e[at++] = b;
  };
  put(eeprom::kProtectionCounterHi, q30 ? std::initializer_list<std::uint8_t>{0x0C, 0x4E}
                                        : std::initializer_list<std::uint8_t>{0x1A, 0x2B});
  put(8, {0x12, 0x0A, 0x0B, 0x09});
  put(16, {0x03, 0x01, 0x00, 0x02, 0x05, 0x04, 0x01, 0x00, 0x22, 0x1C, 0x1E, 0x19, 0x00, 0x00, 0x07,
           0x06});
  if (q30) {
    put(eeprom::kPageCounter, {0x00, 0x00, 0x06, 0xA4});  // 1700 pages
    put(eeprom::kPassCounter, {0x00, 0x01, 0x7D, 0x40});
  } else {
    put(eeprom::kPageCounter, {0x00, 0x00, 0x0F, 0x3C});  // 3900 pages
    put(eeprom::kPassCounter, {0x00, 0x03, 0x4B, 0x12});
  }
  e[49] = 0x01;
  e[81] = 8;
  e[82] = 2;
  e[101] = 1;
  e[eeprom::kModelDefault] = q30 ? 0x95 : 0x94;
  e[225] = 0;
  // Each model's margin sits on its own ladder of positions.
  e[eeprom::kTopMargin] = q30 ? 42 : 120;
  if (q30) {
    put(eeprom::kBidFirst, {0x02, 0xFF, 0x01, 0x03, 0xFD, 0x02, 0x04, 0x01});
  } else {
    put(eeprom::kBidFirst, {0x04, 0xFD, 0x02, 0x01, 0xFE, 0x03, 0x05, 0x00});
  }
  e[eeprom::kCrDispersion] = q30 ? 0xFE : 0x03;
  e[eeprom::kPfValue] = q30 ? 0xFF : 0x01;
  put(eeprom::kCrReadingHi, {kCrReadingBase >> 8, kCrReadingBase & 0xFF});
  // Head ID: B..F at 0xA0-0xA4 (each at most 0x65), G at 0xAE (0-2), A at 0xAF (0-3).
  if (q30) {
    put(0xA0, {0x31, 0x07, 0x52, 0x44, 0x18});
    e[0xAE] = 2;
    e[0xAF] = 0;
  } else {
    put(0xA0, {0x23, 0x45, 0x17, 0x38, 0x52});
    e[0xAE] = 1;
    e[0xAF] = 1;
  }
  // USB ID: a 10-character serial number and its 8-character date code.
  const std::string_view usbId = q30 ? "Q3B005432134HF3S00" : "Q4A007123433CAKA00";
  for (std::size_t i = 0; i < usbId.size(); ++i) {
    e[0xC2 + i] = static_cast<std::uint8_t>(usbId[i]);
  }
  return e;
}

TrueMechanism VirtualPrinter::FactoryMechanism(Model model) {
  // A unit fresh from the line is a few steps off everywhere: Bi-D by one candidate step
  // either way, PF by two, the head tilted and the first line two ladder steps high or one low.
  TrueMechanism m;
  const EepromBytes image = FactoryImage(model);
  constexpr int kBidOff[8] = {2, -2, -2, 2, 2, -2, -2, 2};
  for (std::size_t i = 0; i < m.bid.size(); ++i) {
    m.bid[i] = static_cast<std::int8_t>(static_cast<std::int8_t>(image[eeprom::kBidFirst + i]) +
                                        kBidOff[i]);
  }
  const bool q30 = model == Model::Q30;
  m.pf = static_cast<std::int8_t>(image[eeprom::kPfValue]) + (q30 ? 2 : -2);
  m.squareLever = q30 ? -2 : 2;
  m.topMarginOffset = q30 ? 14 : -28;
  return m;
}

const PrintMechanics& VirtualPrinter::Mechanics() const {
  return *paper_;
}

void VirtualPrinter::FeedPrintData(std::span<const std::uint8_t> bytes) {
  Update();
  stream_.Feed(bytes);
  SaveIfDirty();
  Changed();
}

std::string VirtualPrinter::DeviceIdText() const {
  const std::string name(ModelName(model_));
  return std::string(texts::kDeviceIdMaker) + std::string(texts::kDeviceIdCommands) +
         "MDL:" + name + ";" + std::string(texts::kDeviceIdClass) + "DES:" + name + ";";
}

std::size_t VirtualPrinter::DeviceIdReply(std::span<std::uint8_t> buffer) const {
  if (faults_.emptyDeviceId || buffer.size() < 2) return 0;
  const std::string text = DeviceIdText();
  const std::size_t whole = text.size() + 2;
  buffer[0] = static_cast<std::uint8_t>(whole >> 8);
  buffer[1] = static_cast<std::uint8_t>(whole & 0xFF);
  const std::size_t n = std::min(whole, buffer.size());
  std::copy_n(text.begin(), n - 2, buffer.begin() + 2);
  return n;
}

std::unique_ptr<PortDevice> VirtualPrinter::Connect(InterfaceKind kind) {
  OnConnect();
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

void VirtualPrinter::OnConnect() {
  // A newly opened port starts without another client's leftovers.
  input_.clear();
  discard_ = 0;
  replies_.clear();
  replyOffset_ = 0;
}

// ---------------------------------------------------------------------------------------------
// 1284.4 device side.

void VirtualPrinter::Receive(std::span<const std::uint8_t> bytes) {
  input_.insert(input_.end(), bytes.begin(), bytes.end());
  std::size_t at = 0;
  for (;;) {
    const std::span<const std::uint8_t> rest = std::span<const std::uint8_t>(input_).subspan(at);
    if (discard_ > 0) {
      const std::size_t n = std::min(discard_, rest.size());
      discard_ -= n;
      at += n;
      if (discard_ > 0) break;
      continue;
    }
    if (!packetMode_) {
      // Before packet mode only the entry sequence means anything.
      if (rest.empty()) break;
      if (Matches(rest, kEntry)) {
        HandlePacket(rest.first(kEntry.size()));
        at += kEntry.size();
        continue;
      }
      if (rest.size() < kEntry.size() && Matches(rest, kEntry.substr(0, rest.size()))) {
        break;  // a beginning of the entry; wait for the rest
      }
      ++at;
      continue;
    }
    if (rest.size() < kHeader) break;
    const std::size_t length = rest[2] * 256u + rest[3];
    if (length < kHeader) {
      // Nothing can be framed after a length shorter than its header: drop what came.
      QueueError(rest[0], kErrMalformed);
      at = input_.size();
      break;
    }
    if (length > kMaxPacket) {
      QueueError(rest[0], kErrTooLong);
      discard_ = length;
      continue;
    }
    if (rest.size() < length) break;
    HandlePacket(rest.first(length));
    at += length;
  }
  input_.erase(input_.begin(), input_.begin() + static_cast<std::ptrdiff_t>(at));
}

void VirtualPrinter::HandlePacket(std::span<const std::uint8_t> packet) {
  const std::uint8_t socket = packet[0];
  if (faults_.errorReply && faults_.errorReply->socket == socket) {
    const std::uint8_t error = faults_.errorReply->error;
    faults_.errorReply.reset();
    if (error == kErrChannelClosed) {
      if (socket == kControl) controlOpen_ = false;
      if (socket == kData) dataOpen_ = false;
    }
    QueueError(socket, error);
    return;
  }
  const std::span<const std::uint8_t> payload = packet.subspan(kHeader);
  if (socket != kData && lazyDirty_) dirty_ = true;
  switch (socket) {
    case kTransaction:
      HandleTransaction(packet);
      return;
    case kControl:
      if (!controlOpen_) return QueueError(socket, kErrChannelClosed);
      HandleControl(payload);
      return;
    case kData:
      if (!dataOpen_) return QueueError(socket, kErrChannelClosed);
      if (dataCreditsFromHost_ == 0) {
        ++creditFaults_;
      } else {
        --dataCreditsFromHost_;
      }
      HandleData(payload);
      return;
    default:
      QueueError(socket, kErrChannelClosed);
  }
}

void VirtualPrinter::ResetChannels() {
  controlOpen_ = dataOpen_ = false;
  dataCreditsFromHost_ = dataCreditsToHost_ = 0;
}

void VirtualPrinter::HandleTransaction(std::span<const std::uint8_t> packet) {
  if (Matches(packet, kEntry) && packet.size() == kEntry.size()) {
    // Also a new host taking over a printer that was left in packet mode.
    packetMode_ = true;
    ResetChannels();
    stream_.Reset();
    ++sessions_;
    const std::uint8_t reply[] = {static_cast<std::uint8_t>(packet[6] | 0x80), kResultOk};
    return QueueReply(kTransaction, reply, true);
  }
  const std::span<const std::uint8_t> p = packet.subspan(kHeader);
  if (p.empty()) return QueueError(kTransaction, kErrMalformed);
  const std::uint8_t command = p[0];
  const std::uint8_t answer = command | 0x80;
  // Every command but Init and Exit names its channel twice after the command byte.
  auto socketOpen = [this](std::uint8_t s) {
    return (s == kControl && controlOpen_) || (s == kData && dataOpen_);
  };
  switch (command) {
    case kInit: {
      if (p.size() < 2) return QueueError(kTransaction, kErrMalformed);
      ResetChannels();
      const std::uint8_t result = p[1] == kRevision ? kResultOk : kResultBadRevision;
      const std::uint8_t reply[] = {answer, result, kRevision};
      return QueueReply(kTransaction, reply, true);
    }
    case kOpenChannel: {
      if (p.size() < 3) return QueueError(kTransaction, kErrMalformed);
      const std::uint8_t s = p[1];
      std::uint8_t result = kResultOk;
      if (s != kControl && s != kData) {
        result = kResultNoSuchSocket;
      } else if (socketOpen(s)) {
        result = kResultAlreadyOpen;
      }
      if (s == kControl && result != kResultNoSuchSocket) controlOpen_ = true;
      if (s == kData && result != kResultNoSuchSocket) {
        dataOpen_ = true;
        dataCreditsFromHost_ = dataCreditsToHost_ = 0;
      }
      const std::uint8_t reply[] = {answer, result, s,    p[2], 0x04, 0x00,
                                    0x04,   0x00,   0x00, 0x00, 0x00, 0x00};
      return QueueReply(kTransaction, reply, true);
    }
    case kCloseChannel: {
      if (p.size() < 3) return QueueError(kTransaction, kErrMalformed);
      const std::uint8_t s = p[1];
      const std::uint8_t result = socketOpen(s) ? kResultOk : kResultNotOpen;
      if (s == kControl) controlOpen_ = false;
      if (s == kData) dataOpen_ = false;
      const std::uint8_t reply[] = {answer, result, s, p[2]};
      return QueueReply(kTransaction, reply, true);
    }
    case kCredit:
    case kCreditRequest: {
      const std::size_t amountAt = command == kCredit ? 3 : 5;
      if (p.size() < amountAt + 2) return QueueError(kTransaction, kErrMalformed);
      const std::uint8_t s = p[1];
      const std::uint16_t asked = static_cast<std::uint16_t>(p[amountAt] << 8 | p[amountAt + 1]);
      std::uint8_t result = socketOpen(s) ? kResultOk : kResultNotOpen;
      std::uint16_t amount = asked;
      if (result == kResultOk && s == kData) {
        std::uint16_t& count = command == kCredit ? dataCreditsToHost_ : dataCreditsFromHost_;
        if (command == kCredit && asked > 0xFFFF - count) {
          result = kResultCreditOverflow;
          amount = 0;
        } else {
          // A request is granted as far as the count can hold.
          amount = std::min<std::uint16_t>(asked, static_cast<std::uint16_t>(0xFFFF - count));
          count = static_cast<std::uint16_t>(count + amount);
        }
      }
      if (result != kResultOk) amount = 0;
      const std::uint8_t reply[] = {answer,
                                    result,
                                    s,
                                    p[2],
                                    static_cast<std::uint8_t>(amount >> 8),
                                    static_cast<std::uint8_t>(amount & 0xFF)};
      return QueueReply(kTransaction, reply, true);
    }
    case kExit: {
      const std::uint8_t reply[] = {answer, kResultOk};
      QueueReply(kTransaction, reply, true);
      packetMode_ = false;
      ResetChannels();
      return;
    }
    default:
      return QueueError(kTransaction, kErrUnknownCommand);
  }
}

void VirtualPrinter::HandleControl(std::span<const std::uint8_t> payload) {
  std::string text = ControlReply(payload);
  if (faults_.controlReply) {
    text = *faults_.controlReply;
    faults_.controlReply.reset();
  }
  QueueText(kControl, text);
}

std::string VirtualPrinter::ControlReply(std::span<const std::uint8_t> payload) {
  if (payload.size() >= 2 && payload[0] == 0x7C && payload[1] == 0x7C) {
    return EepromFrameReply(payload);
  }
  if (payload.size() < 4 || !IsLetter(payload[0]) || !IsLetter(payload[1])) {
    return VerdictReply("??", 0, texts::kVerdictRefused);
  }
  const std::string name{static_cast<char>(payload[0]), static_cast<char>(payload[1])};
  const std::size_t length = Le16(&payload[2]);
  if (payload.size() - 4 < length) return VerdictReply(name, 0, texts::kVerdictRefused);
  const std::uint8_t param = length > 0 ? payload[4] : 0;
  if (name == "st") return StatusText();
  if (name == "rs") {
    // The host's last word before it lets go: nothing half-read carries into the next job.
    stream_.Reset();
    return VerdictReply(name, param, texts::kVerdictOk);
  }
  return VerdictReply(name, param, texts::kVerdictRefused);
}

std::string VirtualPrinter::EepromFrameReply(std::span<const std::uint8_t> payload) {
  const std::string_view name = texts::kEepromFrameName;
  if (payload.size() < 4) return VerdictReply(name, 0, texts::kVerdictRefused);
  const std::size_t length = Le16(&payload[2]);
  const std::span<const std::uint8_t> body = payload.subspan(4);
  const ModelBytes mine = ModelBytesOf(model_);
  if (length < 6 || body.size() < length) return VerdictReply(name, 0, texts::kVerdictRefused);
  const std::uint8_t code = body[2];
  if (body[0] != mine[0] || body[1] != mine[1] || body[3] != static_cast<std::uint8_t>(~code)) {
    return VerdictReply(name, code, texts::kVerdictRefused);
  }
  const std::uint8_t address = body[5];
  if (code == kReadByte.code && body[4] == kReadByte.sub) {
    return std::string(texts::kEepromReadHead) + Hex2(address) + Hex2(eeprom_[address]) +
           std::string(texts::kReplyEnd);
  }
  if (code == kWriteByte.code && body[4] == kWriteByte.sub && length >= kWriteByte.length) {
    if (std::optional<int>& left = faults_.eepromWritesBeforePowerLoss; left && (*left)-- <= 0) {
      left.reset();
      faults_.dropReplies = -1;
      return {};
    }
    if (faults_.eepromWritesIgnored != 0) {
      if (faults_.eepromWritesIgnored > 0) --faults_.eepromWritesIgnored;
      return VerdictReply(name, code, texts::kVerdictOk);
    }
    const std::uint8_t before = eeprom_[address];
    Store(address, body[6]);
    if (!statePath_.empty() && dirty_ && !Save()) {
      // The value would not survive; say so rather than pretend it was written.
      eeprom_[address] = before;
      return VerdictReply(name, code, texts::kVerdictRefused);
    }
    return VerdictReply(name, code, texts::kVerdictOk);
  }
  return VerdictReply(name, code, texts::kVerdictRefused);
}

void VirtualPrinter::HandleData(std::span<const std::uint8_t> payload) {
  dataBytes_ += payload.size();
  if (capture_) {
    capture_->write(reinterpret_cast<const char*>(payload.data()),
                    static_cast<std::streamsize>(payload.size()));
    capture_->flush();
  }
  stream_.Feed(payload);
}

void VirtualPrinter::QueueReply(std::uint8_t socket, std::span<const std::uint8_t> payload,
                                bool credit) {
  if (faults_.dropReplies != 0) {
    if (faults_.dropReplies > 0) --faults_.dropReplies;
    return;
  }
  if (socket == kData) {
    if (dataCreditsToHost_ == 0) {
      ++creditFaults_;
    } else {
      --dataCreditsToHost_;
    }
  }
  const std::size_t length = kHeader + payload.size();
  Reply reply;
  reply.bytes = {socket,
                 socket,
                 static_cast<std::uint8_t>(length >> 8),
                 static_cast<std::uint8_t>(length & 0xFF),
                 static_cast<std::uint8_t>(credit ? 1 : 0),
                 0x00};
  reply.bytes.insert(reply.bytes.end(), payload.begin(), payload.end());
  reply.availableMs = clock_.NowMs();
  if (faults_.delayedReplies != 0) {
    if (faults_.delayedReplies > 0) --faults_.delayedReplies;
    reply.availableMs += faults_.replyDelayMs;
  }
  // Replies leave in order: one held back holds back the ones behind it.
  if (!replies_.empty())
    reply.availableMs = std::max(reply.availableMs, replies_.back().availableMs);
  replies_.push_back(std::move(reply));
}

void VirtualPrinter::QueueText(std::uint8_t socket, const std::string& text) {
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.data());
  // A reply is bounded by the host's 1024-byte packet.
  QueueReply(socket, {bytes, std::min<std::size_t>(text.size(), 1024 - kHeader)}, false);
}

void VirtualPrinter::QueueError(std::uint8_t socket, std::uint8_t error) {
  const std::uint8_t payload[] = {0x7F, socket, socket, error};
  QueueReply(kTransaction, payload, true);
}

bool VirtualPrinter::WaitForReply(std::int64_t limitMs) {
  limitMs = std::max<std::int64_t>(limitMs, 0);
  const std::int64_t now = clock_.NowMs();
  if (replies_.empty()) {
    clock_.SleepMs(limitMs);
    return false;
  }
  const std::int64_t wait = replies_.front().availableMs - now;
  if (wait <= 0) return true;
  if (wait <= limitMs) {
    clock_.SleepMs(wait);
    return true;
  }
  clock_.SleepMs(limitMs);
  return false;
}

std::size_t VirtualPrinter::TakeStream(std::span<std::uint8_t> buffer, std::int64_t limitMs) {
  if (buffer.empty() || !WaitForReply(limitMs)) return 0;
  std::size_t want = buffer.size();
  if (faults_.readChunk > 0) want = std::min(want, faults_.readChunk);
  std::size_t done = 0;
  const std::int64_t now = clock_.NowMs();
  while (done < want && !replies_.empty() && replies_.front().availableMs <= now) {
    const std::vector<std::uint8_t>& front = replies_.front().bytes;
    const std::size_t n = std::min(want - done, front.size() - replyOffset_);
    std::copy_n(front.begin() + static_cast<std::ptrdiff_t>(replyOffset_), n,
                buffer.begin() + static_cast<std::ptrdiff_t>(done));
    done += n;
    replyOffset_ += n;
    if (replyOffset_ == front.size()) {
      replies_.pop_front();
      replyOffset_ = 0;
    }
  }
  return done;
}

std::size_t VirtualPrinter::TakeReply(std::span<std::uint8_t> buffer, std::int64_t limitMs) {
  if (buffer.empty() || !WaitForReply(limitMs)) return 0;
  const std::vector<std::uint8_t>& front = replies_.front().bytes;
  const std::size_t n = std::min(buffer.size(), front.size() - replyOffset_);
  std::copy_n(front.begin() + static_cast<std::ptrdiff_t>(replyOffset_), n, buffer.begin());
  replyOffset_ += n;
  if (replyOffset_ == front.size()) {
    replies_.pop_front();
    replyOffset_ = 0;
  }
  return n;
}

}  // namespace vantor::sim
