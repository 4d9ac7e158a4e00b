// The virtual printer's mechanism: work queued on the clock, counters, ink, errors, paper,
// the print stream it obeys and the console.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>

#include "link/Clock.h"
#include "link/Model.h"
#include "link/Protocol.h"
#include "sim/EepromStore.h"
#include "sim/PageRenderer.h"
#include "sim/PrintStream.h"

namespace vantor::sim {

// Protection counter value at which the printer stops with a maintenance error.
inline constexpr std::uint16_t kProtectionLimit = 49728;

// The unit's own mechanism: the settings at which it prints true. The EEPROM holds what the
// technician has set; the difference is what the pages show.
struct TrueMechanism {
  std::array<std::int8_t, 8> bid{};  // Bi-D values in EEPROM order, 0x70 to 0x77
  int pf = 0;                        // PF value at which the paper feeds true
  int squareLever = 0;               // head-angle lever position at which the head is square
  int topMarginOffset = 0;           // units the first line lands below the margin asked for
};

// Dots a right-to-left pass moves per Bi-D step, paper units per 360 per PF step, dots of tilt
// per lever step.
inline constexpr int kBidDotsPerStep = 1;
inline constexpr int kFeedUnitsPerPfStep = 2;
inline constexpr int kTiltDotsPerLeverStep = 3;

class PrinterMechanism {
 public:
  PrinterMechanism(Clock& clock, Model model, EepromStore& store);
  ~PrinterMechanism();
  PrinterMechanism(const PrinterMechanism&) = delete;
  PrinterMechanism& operator=(const PrinterMechanism&) = delete;

  static TrueMechanism Factory(Model model);
  const TrueMechanism& True() const { return true_; }
  void SetTrue(const TrueMechanism& mechanism) { true_ = mechanism; }
  // The mechanism as the page renderer sees it: true values against the EEPROM and the lever.
  const PrintMechanics& Mechanics() const;

  // Where the print stream's EEPROM reads are answered (the data channel).
  void SetDataReply(std::function<void(const std::string&)> reply) {
    dataReply_ = std::move(reply);
  }
  // Also told of every print-stream command (a page renderer).
  void SetPageListener(PrintStreamListener* listener) { pageListener_ = listener; }
  // Durations are multiplied by this (1 is a real printer's pace).
  void SetTimeScale(double scale) { timeScale_ = scale; }

  // Power-on with the EEPROM as loaded: transport liquid in means waiting for the charge.
  void PowerOn();
  // Finishes the work whose time has come.
  void Update();
  void Feed(std::span<const std::uint8_t> bytes) { stream_.Feed(bytes); }
  void ResetStream() { stream_.Reset(); }
  bool InRemoteMode() const { return stream_.InRemoteMode(); }

  std::optional<std::uint8_t> ErrorNow() const;
  std::uint8_t StNow() const;
  // The "ST:" reply text the printer would give now.
  std::string StatusText();
  std::int64_t BusyUntilMs() const;
  // Whether a cleaning, charge or print is still running (as of the last Update); carriage
  // moves alone do not count.
  bool Working() const;
  const std::array<std::uint8_t, 4>& Ink() const { return ink_; }
  bool PaperOut() const { return paperOut_; }
  bool BeforeFill() const { return beforeFill_; }
  int HeadAngleLever() const { return headAngleLever_; }
  std::uint32_t PagesPrinted() const { return pagesPrinted_; }

  // The console. Held down (over about three seconds) the ink switch runs a cleaning; a short
  // press at home sends the carriage to the cartridge position, and the next short press
  // brings it back and cleans, as the head-angle steps use it. Either ends the job in the
  // printer: a sheet printed on goes out first, so the next print starts a new sheet.
  void PressInkSwitch();
  void TapInkSwitch();
  bool CarriageOut() const { return carriageOut_; }
  void SetPaperOut(bool out);
  void RaiseError(std::uint8_t erValue);
  void ClearError();
  void SetHeadAngleLever(int position) { headAngleLever_ = position; }
  void PrintNozzleCheck();

 private:
  class StreamReactions;
  class Paper;

  enum class Activity { Printing, Busy, Cleaning, InkCharge, NozzleCheck };
  struct Work {
    Activity activity;
    std::int64_t endMs;
  };

  void Queue(Activity activity, std::int64_t durationMs);
  void WorkDone(Activity activity);
  std::int64_t Scaled(std::int64_t ms) const;
  void FactoryFrame(std::span<const std::uint8_t> body);
  void CarriageCommand(std::uint8_t code, std::span<const std::uint8_t> params);
  void Clean(std::uint8_t kind);
  void UseInk(int black, int color);
  void EjectPrintedSheet();

  Clock& clock_;
  Model model_;
  EepromStore& store_;
  TrueMechanism true_;
  std::unique_ptr<Paper> paper_;
  std::unique_ptr<StreamReactions> reactions_;
  PrintStream stream_;
  PrintStreamListener* pageListener_ = nullptr;
  std::function<void(const std::string&)> dataReply_;
  double timeScale_ = 1.0;

  std::deque<Work> work_;
  std::optional<std::uint8_t> error_;  // raised from the console or by the mechanism
  bool paperOut_ = false;
  bool beforeFill_ = false;
  bool carriageOut_ = false;  // at the cartridge position after a short press
  int headAngleLever_ = 0;
  std::array<std::uint8_t, 4> ink_{82, 74, 77, 69};
  bool carriageMeasured_ = false;  // an a=0 move came before the measuring move
  std::uint32_t pagesPrinted_ = 0;
  bool pageStarted_ = false;
  std::uint32_t measurements_ = 0;  // varies the CR readings a little, as a motor does
};

}  // namespace vantor::sim
