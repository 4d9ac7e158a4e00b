// The virtual printer's mechanism and status: work queued on the clock, errors, counters,
// factory frames and the console.
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "link/FactoryCommands.h"
#include "sim/Texts.h"
#include "sim/VirtualPrinter.h"

namespace vantor::sim {

namespace {

constexpr std::int64_t kCleaningMs = 45'000;
constexpr std::int64_t kInkChargeMs = 110'000;
constexpr std::int64_t kOtherCleaningMs = 30'000;
constexpr std::int64_t kSwitchCleaningMs = 35'000;
constexpr std::int64_t kNozzleCheckMs = 20'000;
constexpr std::int64_t kShortCommandMs = 200;
constexpr std::int64_t kMoveBaseMs = 600;  // a carriage move, plus 1 ms per step
constexpr std::int64_t kFeedBaseMs = 500;  // a C5 move, plus 1 ms per ten steps
constexpr std::int64_t kPumpUnitMs = 200;  // CA, per unit

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

std::string Hex2(unsigned v) {
  char b[3];
  std::snprintf(b, sizeof b, "%02X", v & 0xFF);
  return b;
}

std::int16_t Le16s(const std::uint8_t* p) {
  return static_cast<std::int16_t>(static_cast<std::uint16_t>(p[0] | p[1] << 8));
}

struct FactoryCode {
  std::uint8_t code, sub, length;
};
// Code, sub-code and body length of every factory frame the printer obeys.
constexpr FactoryCode kFactoryCodes[] = {
    {0x41, 0xA0, 6},                                     // EEPROM read on the data channel
    {0x00, 0x00, 10},                                    // Bi-D values
    {0x84, 0x42, 6},                                     // cleaning or ink charge
    {0xCB, 0xE5, 5},  {0xD1, 0xE8, 6}, {0x50, 0x28, 5},  // end of an adjustment write
    {0x04, 0x02, 6},                                     // PF value
    {0xCD, 0xE6, 9},  {0xC5, 0xE2, 9}, {0xCA, 0x65, 6},
};

}  // namespace

std::int64_t VirtualPrinter::Scaled(std::int64_t ms) const {
  return std::max<std::int64_t>(0, std::llround(static_cast<double>(ms) * timeScale_));
}

void VirtualPrinter::Update() {
  const std::int64_t now = clock_.NowMs();
  while (!work_.empty() && work_.front().endMs <= now) {
    const Activity done = work_.front().activity;
    work_.pop_front();
    WorkDone(done);
  }
  SaveIfDirty();
}

void VirtualPrinter::Queue(Activity activity, std::int64_t durationMs) {
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

void VirtualPrinter::WorkDone(Activity activity) {
  if (activity == Activity::InkCharge && beforeFill_) {
    beforeFill_ = false;
    if (eeprom_[eeprom::kExchangeState] == kExchangeFilled) Store(eeprom::kExchangeState, 0);
  }
}

std::optional<std::uint8_t> VirtualPrinter::ErrorNow() const {
  if (error_) return error_;
  if (paperOut_) return kErPaperOut;
  if (Counter(eeprom::kProtectionCounterHi, 2) >= kProtectionLimit) return kErMaintenance;
  if (std::find(ink_.begin(), ink_.end(), 0) != ink_.end()) return kErInkOut;
  return std::nullopt;
}

std::uint8_t VirtualPrinter::StNow() const {
  if (beforeFill_ && work_.empty()) return kStBeforeFill;
  if (ErrorNow()) return kStError;
  if (work_.empty()) return kStReady;
  switch (work_.front().activity) {
    case Activity::Printing:
      return kStPrinting;
    case Activity::Busy:
      return kStBusy;
    case Activity::Cleaning:
    case Activity::InkCharge:
      return kStCleaning;
    case Activity::NozzleCheck:
      return kStNozzleCheck;
  }
  return kStReady;
}

std::string VirtualPrinter::StatusText() {
  Update();
  std::string text(texts::kStatusHead);
  text += "ST:" + Hex2(StNow()) + ";";
  // Error and warning come before the ink levels, where every host's parser finds them.
  if (const auto er = ErrorNow()) text += "ER:" + Hex2(*er) + ";";
  unsigned low = 0;
  for (std::size_t i = 0; i < ink_.size(); ++i) {
    if (ink_[i] < kInkLowPercent) low |= 1u << i;
  }
  text += "WR:" + Hex2(low) + ";";
  text += "IQ:";
  for (const std::uint8_t level : ink_) text += Hex2(level);
  text += ";\r\n";
  return text;
}

VirtualPrinter::Snapshot VirtualPrinter::State() {
  Update();
  Snapshot s;
  s.st = StNow();
  s.er = ErrorNow();
  s.packetMode = packetMode_;
  s.controlOpen = controlOpen_;
  s.dataOpen = dataOpen_;
  s.remoteMode = stream_.InRemoteMode();
  s.paperOut = paperOut_;
  s.beforeFill = beforeFill_;
  s.protectionCounter = static_cast<std::uint16_t>(Counter(eeprom::kProtectionCounterHi, 2));
  s.pageCounter = Counter(eeprom::kPageCounter, 4);
  s.passCounter = Counter(eeprom::kPassCounter, 4);
  s.busyUntilMs = work_.empty() ? clock_.NowMs() : work_.back().endMs;
  s.ink = ink_;
  s.headAngleLever = headAngleLever_;
  s.dataBytes = dataBytes_;
  s.pagesPrinted = pagesPrinted_;
  s.sessions = sessions_;
  s.creditFaults = creditFaults_;
  return s;
}

std::uint32_t VirtualPrinter::Counter(std::uint8_t first, int width) const {
  std::uint32_t v = 0;
  for (int i = 0; i < width; ++i) v = v << 8 | eeprom_[static_cast<std::uint8_t>(first + i)];
  return v;
}

void VirtualPrinter::AddToCounter(std::uint8_t first, int width, std::uint32_t amount, bool lazy) {
  std::uint32_t v = Counter(first, width);
  if (width == 2) {
    v = std::min<std::uint32_t>(v + amount, 0xFFFF);  // the protection counter stops at its top
  } else {
    v += amount;
  }
  const bool wasDirty = dirty_;
  for (int i = width - 1; i >= 0; --i) {
    Store(static_cast<std::uint8_t>(first + i), static_cast<std::uint8_t>(v & 0xFF));
    v >>= 8;
  }
  if (lazy && !wasDirty && dirty_) {
    dirty_ = false;
    lazyDirty_ = true;
  }
}

void VirtualPrinter::UseInk(int black, int color) {
  for (std::size_t i = 0; i < ink_.size(); ++i) {
    const int use = i == 0 ? black : color;
    ink_[i] = static_cast<std::uint8_t>(std::max(0, ink_[i] - use));
  }
}

void VirtualPrinter::Clean(std::uint8_t kind) {
  switch (kind) {
    case 4:
      Queue(Activity::Cleaning, kCleaningMs);
      AddToCounter(eeprom::kProtectionCounterHi, 2, kCleaningPoints);
      UseInk(2, 1);
      break;
    case 6:
      Queue(Activity::InkCharge, kInkChargeMs);
      AddToCounter(eeprom::kProtectionCounterHi, 2, kInkChargePoints);
      UseInk(9, 7);
      break;
    default:
      if (kind == 0 || kind > 7) return;
      Queue(Activity::Cleaning, kOtherCleaningMs);
      AddToCounter(eeprom::kProtectionCounterHi, 2, kOtherCleaningPoints);
      UseInk(1, 1);
  }
}

void VirtualPrinter::FactoryFrame(std::span<const std::uint8_t> body) {
  // Frames for another model, or with a broken code, are ignored as the printer ignores them.
  const ModelBytes mine = ModelBytesOf(model_);
  if (body.size() < 5 || body[0] != mine[0] || body[1] != mine[1] ||
      body[3] != static_cast<std::uint8_t>(~body[2])) {
    return;
  }
  const std::uint8_t code = body[2];
  const auto known = std::find_if(std::begin(kFactoryCodes), std::end(kFactoryCodes),
                                  [&](const FactoryCode& c) { return c.code == code; });
  if (known == std::end(kFactoryCodes) || body[4] != known->sub || body.size() < known->length) {
    return;
  }
  const std::span<const std::uint8_t> p = body.subspan(5);
  switch (code) {
    case 0x41: {
      const std::uint8_t address = p[0];
      const std::string text = std::string(texts::kEepromReadHead) + Hex2(address) +
                               Hex2(eeprom_[address]) + std::string(texts::kReplyEnd);
      QueueText(0x40, text);
      return;
    }
    case 0x00: {
      // Kinds 1..3 are VSD1..VSD3 at 0x72..0x77; kind 4, ECO, sits below them at 0x70.
      const std::uint8_t kind = p[0];
      if (kind < 1 || kind > 4) return;
      const auto at =
          static_cast<std::uint8_t>(kind == 4 ? eeprom::kBidFirst : eeprom::kBidFirst + 2 * kind);
      for (int field = 0; field < 2; ++field) {
        const std::int16_t value = Le16s(&p[1 + 2 * field]);
        if (value == kBidUnchanged) continue;
        Store(static_cast<std::uint8_t>(at + field),
              static_cast<std::uint8_t>(std::clamp<int>(value, -128, 127)));
      }
      return;
    }
    case 0x84:
      Clean(p[0]);
      return;
    case 0x04:
      Store(eeprom::kPfValue, p[0]);
      return;
    case 0x50:
      return;  // the values are already kept
    case 0xCB:
    case 0xD1:
      Queue(Activity::Busy, kShortCommandMs);
      return;
    default:
      CarriageCommand(code, p);
  }
}

void VirtualPrinter::CarriageCommand(std::uint8_t code, std::span<const std::uint8_t> p) {
  if (code == 0xCA) {
    Queue(Activity::Busy, kPumpUnitMs * std::max<int>(1, p[0]));
    return;
  }
  const std::uint8_t a = p[0];
  const std::int16_t n = Le16s(&p[2]);
  if (code == 0xC5) {
    Queue(Activity::Busy, kFeedBaseMs + static_cast<std::uint16_t>(n) / 10);
    return;
  }
  Queue(Activity::Busy, kMoveBaseMs + std::abs(static_cast<int>(n)));
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
    Store(eeprom::kCrReadingHi, static_cast<std::uint8_t>(reading >> 8));
    Store(eeprom::kCrReadingLo, static_cast<std::uint8_t>(reading & 0xFF));
  }
}

// ---------------------------------------------------------------------------------------------
// Console.

void VirtualPrinter::PressInkSwitch() {
  Update();
  if (beforeFill_) {
    Clean(6);  // the initial charge
  } else {
    if (std::find(ink_.begin(), ink_.end(), 0) != ink_.end()) ink_.fill(100);  // new cartridges
    Queue(Activity::Cleaning, kSwitchCleaningMs);
    AddToCounter(eeprom::kProtectionCounterHi, 2, kSwitchCleaningPoints);
    UseInk(1, 1);
  }
  SaveIfDirty();
  Changed();
}

void VirtualPrinter::SetPaperOut(bool out) {
  Update();
  paperOut_ = out;
  Changed();
}

void VirtualPrinter::RaiseError(std::uint8_t erValue) {
  Update();
  error_ = erValue;
  Changed();
}

void VirtualPrinter::ClearError() {
  Update();
  error_.reset();
  // Clearing an ink-out stands for the technician fitting new cartridges.
  if (std::find(ink_.begin(), ink_.end(), 0) != ink_.end()) ink_.fill(100);
  Changed();
}

void VirtualPrinter::SetHeadAngleLever(int position) {
  headAngleLever_ = position;
  Changed();
}

void VirtualPrinter::PrintNozzleCheck() {
  Update();
  if (!paperOut_) {
    Queue(Activity::NozzleCheck, kNozzleCheckMs);
    AddToCounter(eeprom::kPageCounter, 4, 1);
    ++pagesPrinted_;
  }
  SaveIfDirty();
  Changed();
}

}  // namespace vantor::sim
