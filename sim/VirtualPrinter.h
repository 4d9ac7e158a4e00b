// A Q40/Q30 on the wire: the 1284.4 device side, control commands, the EEPROM, the print
// stream and a mechanism whose state follows the clock. Reached only through PortDevice.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <span>
#include <string>
#include <vector>

#include "link/Clock.h"
#include "link/Model.h"
#include "link/PortDevice.h"
#include "sim/PageRenderer.h"
#include "sim/PrintStream.h"

namespace vantor::sim {

class DeviceView;

using EepromBytes = std::array<std::uint8_t, 256>;

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

// 1284.4 error numbers of the printer's error reply.
inline constexpr std::uint8_t kErrMalformed = 0x80;
inline constexpr std::uint8_t kErrUnknownCommand = 0x81;
inline constexpr std::uint8_t kErrNotInPacketMode = 0x82;
inline constexpr std::uint8_t kErrNoCredit = 0x83;
inline constexpr std::uint8_t kErrChannelClosed = 0x84;
inline constexpr std::uint8_t kErrTooLong = 0x86;

// The CR motor reading a measuring move leaves at 126-127 (one direction).
inline constexpr int kCrReadingBase = 1630;

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

// Faults the tests switch on. Counts are one-shot budgets: N means the next N, -1 means always.
struct Faults {
  int dropReplies = 0;            // commands processed but not answered
  std::int64_t replyDelayMs = 0;  // replies arrive this late
  int delayedReplies = 0;
  struct ErrorReply {
    std::uint8_t socket = 0;  // 0x00 transaction, 0x02 control, 0x40 data
    std::uint8_t error = kErrChannelClosed;
  };
  std::optional<ErrorReply> errorReply;  // the next packet on that socket is refused
  int shortWrites = 0;                   // Write reports one byte fewer than it took
  std::int64_t writeDelayMs = 0;         // Write takes this long
  int slowWrites = 0;
  std::optional<std::string> controlReply;  // the next control-channel reply, verbatim
  bool emptyDeviceId = false;
  std::size_t readChunk = 0;  // stream reads return at most this many bytes (0: no limit)
  // EEPROM write faults: the power goes after this many more writes (the next write is lost
  // and nothing is answered any more); writes answered 'O' that keep the old value.
  std::optional<int> eepromWritesBeforePowerLoss;
  int eepromWritesIgnored = 0;
};

class VirtualPrinter {
 public:
  VirtualPrinter(Clock& clock, Model model);
  ~VirtualPrinter();
  VirtualPrinter(const VirtualPrinter&) = delete;
  VirtualPrinter& operator=(const VirtualPrinter&) = delete;

  Model GetModel() const { return model_; }

  // Keeps the EEPROM in a 256-byte file: loads it when present, else writes the factory image.
  bool UseStateFile(const std::string& path, std::string& error);
  // The reason the last save failed (empty when it succeeded).
  const std::string& SaveError() const { return saveError_; }

  std::unique_ptr<PortDevice> Connect(InterfaceKind kind);
  void AttachTo(PortTable& table);
  // The 1284 device ID text without its length prefix.
  std::string DeviceIdText() const;

  std::uint8_t Eeprom(std::uint8_t address) const { return eeprom_[address]; }
  void SetEeprom(std::uint8_t address, std::uint8_t value);
  EepromBytes EepromImage() const { return eeprom_; }
  static EepromBytes FactoryImage(Model model);

  // The console of the printer.
  void PressInkSwitch();
  void SetPaperOut(bool out);
  void RaiseError(std::uint8_t erValue);
  void ClearError();
  void SetHeadAngleLever(int position);
  int HeadAngleLever() const { return headAngleLever_; }
  // Prints the printer's own nozzle check, as when its buttons are held at power-on.
  void PrintNozzleCheck();

  struct Snapshot {
    std::uint8_t st = kStReady;
    std::optional<std::uint8_t> er;
    bool packetMode = false;
    bool controlOpen = false;
    bool dataOpen = false;
    bool remoteMode = false;
    bool paperOut = false;
    bool beforeFill = false;
    std::uint16_t protectionCounter = 0;
    std::uint32_t pageCounter = 0;
    std::uint32_t passCounter = 0;
    std::int64_t busyUntilMs = 0;       // end of the queued mechanism work (now when idle)
    std::array<std::uint8_t, 4> ink{};  // per cent, black, cyan, magenta, yellow
    int headAngleLever = 0;
    std::uint64_t dataBytes = 0;  // data-channel payload bytes received
    std::uint32_t pagesPrinted = 0;
    std::uint32_t sessions = 0;      // packet-mode entries
    std::uint32_t creditFaults = 0;  // packets sent without credit, either way
  };
  Snapshot State();
  // The "ST:" reply text the printer would give now.
  std::string StatusText();

  void SetObserver(std::function<void()> observer) { observer_ = std::move(observer); }
  void SetCapture(std::ostream* out) { capture_ = out; }
  // Also told of every print-stream command (a page renderer).
  void SetPageListener(PrintStreamListener* listener) { pageListener_ = listener; }
  // Mechanism durations are multiplied by this (1 is a real printer's pace).
  void SetTimeScale(double scale) { timeScale_ = scale; }

  Faults& GetFaults() { return faults_; }

  static TrueMechanism FactoryMechanism(Model model);
  const TrueMechanism& Mechanism() const { return mechanism_; }
  void SetMechanism(const TrueMechanism& mechanism) { mechanism_ = mechanism; }
  // The mechanism as the page renderer sees it: true values against the EEPROM and the lever.
  const PrintMechanics& Mechanics() const;

  // A recorded data-channel stream, read as if it had arrived over the link.
  void FeedPrintData(std::span<const std::uint8_t> bytes);

 private:
  friend class DeviceView;
  class StreamReactions;
  class Paper;

  enum class Activity { Printing, Busy, Cleaning, InkCharge, NozzleCheck };
  struct Work {
    Activity activity;
    std::int64_t endMs;
  };
  struct Reply {
    std::vector<std::uint8_t> bytes;
    std::int64_t availableMs;
  };

  // Host side.
  void Receive(std::span<const std::uint8_t> bytes);
  void HandlePacket(std::span<const std::uint8_t> packet);
  void HandleTransaction(std::span<const std::uint8_t> packet);
  void HandleControl(std::span<const std::uint8_t> payload);
  void HandleData(std::span<const std::uint8_t> payload);
  std::string ControlReply(std::span<const std::uint8_t> payload);
  std::string EepromFrameReply(std::span<const std::uint8_t> payload);
  void QueueReply(std::uint8_t socket, std::span<const std::uint8_t> payload, bool credit);
  void QueueText(std::uint8_t socket, const std::string& text);
  void QueueError(std::uint8_t socket, std::uint8_t error);
  void ResetChannels();
  std::size_t TakeStream(std::span<std::uint8_t> buffer, std::int64_t limitMs);
  std::size_t TakeReply(std::span<std::uint8_t> buffer, std::int64_t limitMs);
  bool WaitForReply(std::int64_t limitMs);
  std::size_t DeviceIdReply(std::span<std::uint8_t> buffer) const;
  void OnConnect();

  // Mechanism.
  void Update();
  void Queue(Activity activity, std::int64_t durationMs);
  void WorkDone(Activity activity);
  std::int64_t Scaled(std::int64_t ms) const;
  std::optional<std::uint8_t> ErrorNow() const;
  std::uint8_t StNow() const;
  void FactoryFrame(std::span<const std::uint8_t> body);
  void CarriageCommand(std::uint8_t code, std::span<const std::uint8_t> params);
  void Clean(std::uint8_t kind);
  void UseInk(int black, int color);
  void AddToCounter(std::uint8_t first, int width, std::uint32_t amount, bool lazy = false);
  std::uint32_t Counter(std::uint8_t first, int width) const;

  // EEPROM store.
  void Store(std::uint8_t address, std::uint8_t value);
  bool Save();
  void SaveIfDirty();
  void Changed();

  Clock& clock_;
  Model model_;
  EepromBytes eeprom_{};
  std::string statePath_;
  std::string saveError_;
  bool dirty_ = false;
  bool lazyDirty_ = false;  // counters moved by print data, saved at the next command

  TrueMechanism mechanism_;
  std::unique_ptr<Paper> paper_;
  std::unique_ptr<StreamReactions> reactions_;
  PrintStream stream_;
  PrintStreamListener* pageListener_ = nullptr;
  std::ostream* capture_ = nullptr;
  std::function<void()> observer_;
  bool notifying_ = false;
  double timeScale_ = 1.0;
  Faults faults_;

  // Transport.
  bool packetMode_ = false;
  bool controlOpen_ = false;
  bool dataOpen_ = false;
  std::uint16_t dataCreditsFromHost_ = 0;  // data packets the host may still send us
  std::uint16_t dataCreditsToHost_ = 0;    // data packets we may still send the host
  std::vector<std::uint8_t> input_;        // bytes of an incomplete packet
  std::size_t discard_ = 0;                // bytes of an oversized packet still to skip
  std::deque<Reply> replies_;
  std::size_t replyOffset_ = 0;  // bytes of the front reply already read

  // Mechanism and console state.
  std::deque<Work> work_;
  std::optional<std::uint8_t> error_;  // raised from the console or by the mechanism
  bool paperOut_ = false;
  bool beforeFill_ = false;
  int headAngleLever_ = 0;
  std::array<std::uint8_t, 4> ink_{82, 74, 77, 69};
  bool carriageMeasured_ = false;  // an a=0 move came before the measuring move
  std::uint64_t dataBytes_ = 0;
  std::uint32_t pagesPrinted_ = 0;
  std::uint32_t sessions_ = 0;
  bool pageStarted_ = false;
  std::uint32_t creditFaults_ = 0;
  std::uint32_t measurements_ = 0;  // varies the CR readings a little, as a motor does
};

}  // namespace vantor::sim
