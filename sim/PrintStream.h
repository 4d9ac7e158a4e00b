// The printer's reading of the data-channel byte stream: escape sequences, raster bands,
// remote-mode blocks and factory frames, fed in pieces that may split a command anywhere.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace vantor::sim {

inline constexpr std::uint8_t kEsc = 0x1B;

// One raster band: the header of ESC i and its lines, decoded to plain bytes (2 bits per dot).
struct RasterBand {
  std::uint8_t color = 0;        // colour byte of the header (0x00 black, 0x01 magenta, ...)
  std::uint8_t compression = 0;  // 1 run-length, 0 plain
  std::uint8_t bitsPerDot = 2;
  std::uint16_t bytesPerLine = 0;
  std::uint16_t lines = 0;
  // lines x bytesPerLine bytes; empty when the band was too large to keep (truncated set).
  std::vector<std::uint8_t> data;
  bool truncated = false;

  std::span<const std::uint8_t> Line(std::size_t line) const;
  // Dot value (0..3) of dot x in a line, first dot in the two most significant bits.
  int Dot(std::size_t line, std::size_t x) const;
};

// Told of every command in the stream. All defaults do nothing, so a page renderer overrides
// only what it draws.
class PrintStreamListener {
 public:
  virtual ~PrintStreamListener() = default;
  virtual void InitPrinter() {}                                // ESC @
  virtual void GraphicsMode(std::uint8_t /*mode*/) {}          // ESC ( G
  virtual void Unit(std::uint8_t /*unit*/) {}                  // ESC ( U
  virtual void PrintDirection(std::uint8_t /*direction*/) {}   // ESC U
  virtual void DotSize(std::uint8_t /*dotSize*/) {}            // ESC ( e
  virtual void ColorMode(std::uint8_t /*mode*/) {}             // ESC ( K
  virtual void VerticalMove(std::int32_t /*units*/) {}         // ESC ( v, relative
  virtual void HorizontalPosition(std::uint16_t /*units*/) {}  // ESC $
  virtual void RasterResolution(std::uint16_t /*base*/, std::uint8_t /*vertical*/,
                                std::uint8_t /*horizontal*/) {}                 // ESC ( D
  virtual void PaperSize(std::uint32_t /*width*/, std::uint32_t /*length*/) {}  // ESC ( S
  virtual void PageFormat(std::uint32_t /*top*/, std::uint32_t /*bottom*/) {}   // ESC ( c
  virtual void Band(const RasterBand& /*band*/) {}
  virtual void CarriageReturn() {}
  virtual void LineFeed() {}
  virtual void FormFeed() {}
  virtual void Text(char /*c*/) {}
  virtual void RemoteModeEnter() {}
  virtual void RemoteCommand(std::string_view /*name*/, std::span<const std::uint8_t> /*params*/) {}
  virtual void RemoteModeExit() {}
  // The body of an ESC | frame (model bytes, code, complement, sub-code, parameters).
  virtual void FactoryFrame(std::span<const std::uint8_t> /*body*/) {}
  // A sequence the printer does not know; it is skipped.
  virtual void Unknown(std::span<const std::uint8_t> /*bytes*/) {}
  // Not a command: the printer put the sheet out by itself.
  virtual void SheetEjected() {}
};

class PrintStream {
 public:
  explicit PrintStream(PrintStreamListener& listener) : listener_(listener) {}

  void Feed(std::span<const std::uint8_t> bytes);
  // Drops any half-read command, as a printer does on a new job.
  void Reset();
  bool InRemoteMode() const { return remote_; }
  bool InBand() const { return state_ == State::Raster; }

  // Parameters beyond these are read past but not kept.
  static constexpr std::size_t kMaxParams = 64;
  static constexpr std::size_t kMaxFactoryBody = 256;
  static constexpr std::size_t kMaxBandBytes = 8u << 20;

 private:
  enum class State { Ground, Escape, Params, Raster, Remote, RemoteParams };

  void Step(std::uint8_t b);
  void StepGround(std::uint8_t b);
  void StepEscape(std::uint8_t b);
  void StepParams(std::uint8_t b);
  void StepRaster(std::uint8_t b);
  void StepRemote(std::uint8_t b);
  void StepRemoteParams(std::uint8_t b);
  void StartParams(std::size_t length);
  void FinishParams();
  void DispatchParen(std::uint8_t letter, std::span<const std::uint8_t> p);
  void StartBand();
  void PutRasterBytes(std::uint8_t b, std::size_t count);
  void EndLine();
  void FinishBand();
  void ToGround() {
    state_ = remote_ ? State::Remote : State::Ground;
    head_.clear();
  }

  PrintStreamListener& listener_;
  State state_ = State::Ground;
  bool remote_ = false;
  std::vector<std::uint8_t> head_;    // command bytes before its parameters
  std::vector<std::uint8_t> params_;  // kept parameters (bounded)
  std::size_t paramsLeft_ = 0;
  bool paramsClipped_ = false;

  RasterBand band_;
  bool keepBand_ = false;
  std::size_t line_ = 0;
  std::size_t lineFill_ = 0;
  int runLiteral_ = 0;  // literal bytes still to come in the current run
  int runRepeat_ = 0;   // count of the repeat run whose value byte is next
};

}  // namespace vantor::sim
