// A Q40/Q30 on the wire: the 1284.4 device side, control commands, the EEPROM, the print
// stream and a mechanism whose state follows the clock. Reached only through PortDevice.
// The parts own their state; this class wires them together and is what callers see.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <span>
#include <string>

#include "link/Clock.h"
#include "link/Model.h"
#include "link/PortDevice.h"
#include "link/Protocol.h"
#include "sim/ControlReplies.h"
#include "sim/EepromStore.h"
#include "sim/Faults.h"
#include "sim/Mechanism.h"
#include "sim/PageRenderer.h"
#include "sim/PrintStream.h"
#include "sim/Transport.h"

namespace vantor::sim {

class DeviceView;

using wire::kErDoubleFeed;
using wire::kErFatal;
using wire::kErInkOut;
using wire::kErMaintenance;
using wire::kErNotSelect;
using wire::kErPaperJam;
using wire::kErPaperOut;
using wire::kErrChannelClosed;
using wire::kErrMalformed;
using wire::kErrNoCredit;
using wire::kErrNotInPacketMode;
using wire::kErrTooLong;
using wire::kErrUnknownCommand;
using wire::kStBeforeFill;
using wire::kStBusy;
using wire::kStCleaning;
using wire::kStError;
using wire::kStNozzleCheck;
using wire::kStPrinting;
using wire::kStReady;

class VirtualPrinter final : private PacketHandler {
 public:
  VirtualPrinter(Clock& clock, Model model);
  ~VirtualPrinter() override;
  VirtualPrinter(const VirtualPrinter&) = delete;
  VirtualPrinter& operator=(const VirtualPrinter&) = delete;

  Model GetModel() const { return model_; }

  // Keeps the EEPROM in a 256-byte file: loads it when present, else writes the factory image.
  bool UseStateFile(const std::string& path, std::string& error);
  // The reason the last save failed (empty when it succeeded).
  const std::string& SaveError() const { return store_.SaveError(); }
  // Saves every change not saved yet (a long job's pass counts too); false when it cannot.
  bool SaveState();

  std::unique_ptr<PortDevice> Connect(InterfaceKind kind);
  void AttachTo(PortTable& table);
  // The 1284 device ID text without its length prefix.
  std::string DeviceIdText() const;

  std::uint8_t Eeprom(std::uint8_t address) const { return store_[address]; }
  void SetEeprom(std::uint8_t address, std::uint8_t value);
  EepromBytes EepromImage() const { return store_.Image(); }
  static EepromBytes FactoryImage(Model model) { return EepromStore::FactoryImage(model); }

  // The console of the printer: the ink switch held down, or pressed briefly.
  void PressInkSwitch();
  void TapInkSwitch();
  void SetPaperOut(bool out);
  void RaiseError(std::uint8_t erValue);
  void ClearError();
  void SetHeadAngleLever(int position);
  int HeadAngleLever() const { return mechanism_.HeadAngleLever(); }
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
  std::string StatusText() { return mechanism_.StatusText(); }

  void SetObserver(std::function<void()> observer) { observer_ = std::move(observer); }
  void SetCapture(std::ostream* out) { capture_ = out; }
  // Also told of every print-stream command (a page renderer).
  void SetPageListener(PrintStreamListener* listener) { mechanism_.SetPageListener(listener); }
  // Mechanism durations are multiplied by this (1 is a real printer's pace).
  void SetTimeScale(double scale) { mechanism_.SetTimeScale(scale); }

  Faults& GetFaults() { return faults_; }

  static TrueMechanism FactoryMechanism(Model model) { return PrinterMechanism::Factory(model); }
  const TrueMechanism& Mechanism() const { return mechanism_.True(); }
  void SetMechanism(const TrueMechanism& mechanism) { mechanism_.SetTrue(mechanism); }
  // Sets mechanical errors from text (sim/Misalignment.h) against the values stored now; with a
  // state file they are kept beside it, in STATE.mechanism. False with words on bad text.
  bool SetMisalignment(const std::string& text, std::string& why);
  // The present errors, every part named, in the same words.
  std::string MisalignmentText() const;
  // The mechanism as the page renderer sees it: true values against the EEPROM and the lever.
  const PrintMechanics& Mechanics() const { return mechanism_.Mechanics(); }

  // A recorded data-channel stream, read as if it had arrived over the link.
  void FeedPrintData(std::span<const std::uint8_t> bytes);

 private:
  friend class DeviceView;

  // PacketHandler.
  void SessionStarted() override;
  void CommandArrived() override { store_.PromoteLazy(); }
  std::string Control(std::span<const std::uint8_t> payload) override;
  void Data(std::span<const std::uint8_t> payload) override;

  // The device edge: what a port's write and reads do.
  void Written(std::span<const std::uint8_t> bytes);
  std::size_t DeviceIdReply(std::span<std::uint8_t> buffer) const;
  // Tells the observer once, however deep the change came from.
  void Changed();

  Clock& clock_;
  Model model_;
  std::string mechanismPath_;  // beside the state file; empty without one
  Faults faults_;
  EepromStore store_;
  PrinterMechanism mechanism_;
  ControlReplies control_;
  Transport transport_;

  std::ostream* capture_ = nullptr;
  std::function<void()> observer_;
  bool notifying_ = false;
  std::uint64_t dataBytes_ = 0;
  std::uint32_t sessions_ = 0;
};

}  // namespace vantor::sim
