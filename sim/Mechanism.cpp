#include "sim/Mechanism.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "link/EepromAddresses.h"
#include "link/Frames.h"
#include "link/Hex.h"
#include "link/PrinterPace.h"
#include "link/Protocol.h"
#include "sim/ControlReplies.h"
#include "sim/Texts.h"

namespace vantor::sim {

namespace {

// Protection counter points and ink use (per cent) of each kind of cleaning.
constexpr int kCleaningPoints = 141;
constexpr int kInkChargePoints = 632;
constexpr int kOtherCleaningPoints = 60;
constexpr int kSwitchCleaningPoints = 48;

// A Bi-D field with this value leaves the value in the printer as it is.
constexpr std::int16_t kBidUnchanged = -128;

constexpr std::uint8_t kExchangeFilled = 0x10;  // transport liquid in, ink not yet charged
constexpr std::uint8_t kInkLowPercent = 15;

// The two directions of a measuring move read 192 apart plus the unit's own dispersion,
// which the host's (576 + A - B) / 3 recovers.
constexpr int kCrJitter[] = {0, 1, -1, 2, -2, 1, 0, -1};

std::int16_t Le16s(const std::uint8_t* p) {
  return static_cast<std::int16_t>(static_cast<std::uint16_t>(p[0] | p[1] << 8));
}

// Code, sub-code and body length of every factory frame the printer obeys.
constexpr wire::FrameCode kFactoryCodes[] = {
    wire::kEepromReadFrame, wire::kBidValuesFrame, wire::kCleanOrChargeFrame,
    wire::kCommandCBFrame,  wire::kCommandD1Frame, wire::kFinishAdjustWriteFrame,
    wire::kPfValueFrame,    wire::kCrCDFrame,      wire::kCrC5Frame,
    wire::kCrCAFrame,
};

}  // namespace

// ---------------------------------------------------------------------------------------------
// The printer's reactions to the print stream; a page renderer hears every command too.

class PrinterMechanism::StreamReactions final : public PrintStreamListener {
 public:
  explicit StreamReactions(PrinterMechanism& p) : p_(p) {}

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
    p_.Queue(Activity::Printing, pace::kBandMs);
    // One save per band would make a long job crawl; the passes reach the file with the
    // host's next command or the next page.
    p_.store_.AddToCounter(eeprom::kPassCounter, 4, 1, true);
  }
  void Text(char c) override {
    if (p_.paperOut_) return;
    Forward(&PrintStreamListener::Text, c);
    p_.pageStarted_ = true;
  }
  void LineFeed() override {
    if (p_.paperOut_) return;
    Forward(&PrintStreamListener::LineFeed);
    if (p_.pageStarted_) p_.Queue(Activity::Printing, pace::kTextLineMs);
  }
  void FormFeed() override {
    // Without paper nothing is fed; the paper-out error stands until paper is loaded.
    if (p_.paperOut_) return;
    Forward(&PrintStreamListener::FormFeed);
    p_.Queue(Activity::Printing, pace::kEjectMs);
    p_.store_.AddToCounter(eeprom::kPageCounter, 4, 1);
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
  PrinterMechanism& p_;
};

// ---------------------------------------------------------------------------------------------
// What the mechanism does to the dots: the values in force against the unit's true ones.

class PrinterMechanism::Paper final : public PrintMechanics {
 public:
  explicit Paper(const PrinterMechanism& p) : p_(p) {}

  int ReturnPassShift(std::uint8_t dotSize, bool colour) const override {
    int index = 2;  // VSD1, also for the dot sizes the patterns do not use
    if (dotSize == 0x11) index = 4;
    if (dotSize == 0x12) index = 6;
    if (dotSize == 0x13) index = 0;
    if (colour) ++index;
    const int inForce = Signed(eeprom::kBidFirst + index);
    return (inForce - p_.true_.bid[static_cast<std::size_t>(index)]) * kBidDotsPerStep;
  }
  int FeedError() const override {
    return (Signed(eeprom::kPfValue) - p_.true_.pf) * kFeedUnitsPerPfStep;
  }
  int HeadTilt() const override {
    // The lever only goes so far; a wild position must not wrap the arithmetic.
    const long steps =
        std::clamp<long>(long{p_.headAngleLever_} - p_.true_.squareLever, -1000, 1000);
    return static_cast<int>(steps) * kTiltDotsPerLeverStep;
  }
  int TopMarginLanding(int margin) const override { return margin + p_.true_.topMarginOffset; }
  int StoredTopMargin() const override { return p_.store_[eeprom::kTopMargin]; }

 private:
  int Signed(int address) const {
    return static_cast<std::int8_t>(p_.store_[static_cast<std::uint8_t>(address)]);
  }
  const PrinterMechanism& p_;
};

// ---------------------------------------------------------------------------------------------

// ---------------------------------------------------------------------------------------------

PrinterMechanism::PrinterMechanism(Clock& clock, Model model, EepromStore& store)
    : clock_(clock),
      model_(model),
      store_(store),
      true_(Factory(model)),
      paper_(std::make_unique<Paper>(*this)),
      reactions_(std::make_unique<StreamReactions>(*this)),
      stream_(*reactions_) {}

PrinterMechanism::~PrinterMechanism() = default;

void PrinterMechanism::PowerOn() {
  // A printer left with transport liquid waits for its initial charge.
  beforeFill_ = store_[eeprom::kExchangeState] == kExchangeFilled;
}

TrueMechanism PrinterMechanism::Factory(Model model) {
  // A unit fresh from the line is a few steps off everywhere: Bi-D by one candidate step
  // either way, PF by two, the head tilted and the first line two ladder steps high or one low.
  TrueMechanism m;
  const EepromBytes image = EepromStore::FactoryImage(model);
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

const PrintMechanics& PrinterMechanism::Mechanics() const {
  return *paper_;
}

std::int64_t PrinterMechanism::Scaled(std::int64_t ms) const {
  return std::max<std::int64_t>(0, std::llround(static_cast<double>(ms) * timeScale_));
}

void PrinterMechanism::Update() {
  const std::int64_t now = clock_.NowMs();
  while (!work_.empty() && work_.front().endMs <= now) {
    const Activity done = work_.front().activity;
    work_.pop_front();
    WorkDone(done);
  }
  store_.SaveIfDirty();
}

void PrinterMechanism::Queue(Activity activity, std::int64_t durationMs) {
  Update();
  const std::int64_t now = clock_.NowMs();
  const std::int64_t start = work_.empty() ? now : std::max(now, work_.back().endMs);
  const std::int64_t end = start + Scaled(durationMs);
  // Successive moments of the same kind read as one stretch of work.
  if (!work_.empty() && work_.back().activity == activity && work_.back().endMs >= now) {
    work_.back().endMs = end;
    return;
  }
  work_.push_back({activity, end});
}

void PrinterMechanism::WorkDone(Activity activity) {
  if (activity == Activity::InkCharge && beforeFill_) {
    beforeFill_ = false;
    if (store_[eeprom::kExchangeState] == kExchangeFilled) store_.Store(eeprom::kExchangeState, 0);
  }
}

std::optional<std::uint8_t> PrinterMechanism::ErrorNow() const {
  if (error_) return error_;
  if (paperOut_) return wire::kErPaperOut;
  if (store_.Counter(eeprom::kProtectionCounterHi, 2) >= kProtectionLimit)
    return wire::kErMaintenance;
  if (std::find(ink_.begin(), ink_.end(), 0) != ink_.end()) return wire::kErInkOut;
  return std::nullopt;
}

std::uint8_t PrinterMechanism::StNow() const {
  if (beforeFill_ && work_.empty()) return wire::kStBeforeFill;
  if (ErrorNow()) return wire::kStError;
  if (work_.empty()) return wire::kStReady;
  switch (work_.front().activity) {
    case Activity::Printing:
      return wire::kStPrinting;
    case Activity::Busy:
      return wire::kStBusy;
    case Activity::Cleaning:
    case Activity::InkCharge:
      return wire::kStCleaning;
    case Activity::NozzleCheck:
      return wire::kStNozzleCheck;
  }
  return wire::kStReady;
}

std::string PrinterMechanism::StatusText() {
  Update();
  std::string text(texts::kStatusHead);
  text += "ST:" + ByteHex(StNow()) + ";";
  // Error and warning come before the ink levels, where every host's parser finds them.
  if (const auto er = ErrorNow()) text += "ER:" + ByteHex(*er) + ";";
  std::uint8_t low = 0;
  for (std::size_t i = 0; i < ink_.size(); ++i) {
    if (ink_[i] < kInkLowPercent) low = static_cast<std::uint8_t>(low | 1u << i);
  }
  text += "WR:" + ByteHex(low) + ";";
  text += "IQ:";
  for (const std::uint8_t level : ink_) text += ByteHex(level);
  text += ";\r\n";
  return text;
}

std::int64_t PrinterMechanism::BusyUntilMs() const {
  return work_.empty() ? clock_.NowMs() : work_.back().endMs;
}

bool PrinterMechanism::Working() const {
  return std::any_of(work_.begin(), work_.end(),
                     [](const Work& w) { return w.activity != Activity::Busy; });
}

void PrinterMechanism::UseInk(int black, int color) {
  for (std::size_t i = 0; i < ink_.size(); ++i) {
    const int use = i == 0 ? black : color;
    ink_[i] = static_cast<std::uint8_t>(std::max(0, ink_[i] - use));
  }
}

void PrinterMechanism::Clean(std::uint8_t kind) {
  switch (kind) {
    case 4:
      Queue(Activity::Cleaning, pace::kCleaningMs);
      store_.AddToCounter(eeprom::kProtectionCounterHi, 2, kCleaningPoints);
      UseInk(2, 1);
      break;
    case 6:
      Queue(Activity::InkCharge, pace::kInkChargeMs);
      store_.AddToCounter(eeprom::kProtectionCounterHi, 2, kInkChargePoints);
      UseInk(9, 7);
      break;
    default:
      if (kind == 0 || kind > 7) return;
      Queue(Activity::Cleaning, pace::kOtherCleaningMs);
      store_.AddToCounter(eeprom::kProtectionCounterHi, 2, kOtherCleaningPoints);
      UseInk(1, 1);
  }
}

void PrinterMechanism::FactoryFrame(std::span<const std::uint8_t> body) {
  // Frames for another model, or with a broken code, are ignored as the printer ignores them.
  const ModelBytes mine = ModelBytesOf(model_);
  if (body.size() < 5 || body[0] != mine[0] || body[1] != mine[1] ||
      body[3] != static_cast<std::uint8_t>(~body[2])) {
    return;
  }
  const std::uint8_t code = body[2];
  const auto known = std::find_if(std::begin(kFactoryCodes), std::end(kFactoryCodes),
                                  [&](const wire::FrameCode& c) { return c.code == code; });
  if (known == std::end(kFactoryCodes) || body[4] != known->sub || body.size() < known->length) {
    return;
  }
  const std::span<const std::uint8_t> p = body.subspan(5);
  switch (code) {
    case wire::kEepromReadFrame.code: {
      const std::uint8_t address = p[0];
      if (dataReply_) dataReply_(EepromReadText(address, store_[address]));
      return;
    }
    case wire::kBidValuesFrame.code: {
      const std::uint8_t kind = p[0];
      if (fields::BidField(kind, false) == nullptr) return;
      for (int field = 0; field < 2; ++field) {
        const std::int16_t value = Le16s(&p[1 + 2 * field]);
        if (value == kBidUnchanged) continue;
        store_.Store(fields::BidField(kind, field == 1)->address,
                     static_cast<std::uint8_t>(std::clamp<int>(value, -128, 127)));
      }
      return;
    }
    case wire::kCleanOrChargeFrame.code:
      Clean(p[0]);
      return;
    case wire::kPfValueFrame.code:
      store_.Store(eeprom::kPfValue, p[0]);
      return;
    case wire::kFinishAdjustWriteFrame.code:
      return;  // the values are already kept
    case wire::kCommandCBFrame.code:
    case wire::kCommandD1Frame.code:
      Queue(Activity::Busy, pace::FrameMs(code, p));
      return;
    default:
      CarriageCommand(code, p);
  }
}

void PrinterMechanism::CarriageCommand(std::uint8_t code, std::span<const std::uint8_t> p) {
  Queue(Activity::Busy, pace::FrameMs(code, p));
  if (code != wire::kCrCDFrame.code) return;
  const std::uint8_t a = p[0];
  if (a == 0) {
    carriageMeasured_ = true;  // the run-up before a measuring move
    return;
  }
  if ((a == 3 || a == 4) && carriageMeasured_) {
    carriageMeasured_ = false;
    // Each unit has its own small dispersion; the readings scatter a little around it.
    const int dispersion = model_ == Model::Q30 ? -2 : 3;
    const int jitter = kCrJitter[measurements_++ % std::size(kCrJitter)];
    const int reading =
        a == 4 ? kCrReadingBase + jitter : kCrReadingBase + 192 - dispersion + jitter;
    store_.Store(eeprom::kCrReadingHi, static_cast<std::uint8_t>(reading >> 8));
    store_.Store(eeprom::kCrReadingLo, static_cast<std::uint8_t>(reading & 0xFF));
  }
}

// ---------------------------------------------------------------------------------------------
// Console.

// The head-angle pattern leaves the paper above its lowest bars; a print after the lever was
// moved would land on them, and the sheet of the earlier print must stay readable.
void PrinterMechanism::EjectPrintedSheet() {
  if (!pageStarted_ || paperOut_) return;
  if (pageListener_) pageListener_->SheetEjected();
  store_.AddToCounter(eeprom::kPageCounter, 4, 1);
  ++pagesPrinted_;
  pageStarted_ = false;
}

void PrinterMechanism::PressInkSwitch() {
  Update();
  EjectPrintedSheet();
  if (beforeFill_) {
    Clean(6);  // the initial charge
  } else {
    if (std::find(ink_.begin(), ink_.end(), 0) != ink_.end()) ink_.fill(100);  // new cartridges
    Queue(Activity::Cleaning, pace::kSwitchCleaningMs);
    store_.AddToCounter(eeprom::kProtectionCounterHi, 2, kSwitchCleaningPoints);
    UseInk(1, 1);
  }
  store_.SaveIfDirty();
}

void PrinterMechanism::TapInkSwitch() {
  Update();
  if (beforeFill_ || carriageOut_) {
    carriageOut_ = false;
    PressInkSwitch();
    return;
  }
  EjectPrintedSheet();
  carriageOut_ = true;
  Queue(Activity::Busy, pace::kMoveBaseMs);
}

void PrinterMechanism::SetPaperOut(bool out) {
  Update();
  paperOut_ = out;
}

void PrinterMechanism::RaiseError(std::uint8_t erValue) {
  Update();
  error_ = erValue;
}

void PrinterMechanism::ClearError() {
  Update();
  error_.reset();
  // Clearing an ink-out stands for the technician fitting new cartridges.
  if (std::find(ink_.begin(), ink_.end(), 0) != ink_.end()) ink_.fill(100);
}

void PrinterMechanism::PrintNozzleCheck() {
  Update();
  if (!paperOut_) {
    Queue(Activity::NozzleCheck, pace::kNozzleCheckMs);
    store_.AddToCounter(eeprom::kPageCounter, 4, 1);
    ++pagesPrinted_;
  }
  store_.SaveIfDirty();
}

}  // namespace vantor::sim
