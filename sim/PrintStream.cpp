#include "sim/PrintStream.h"

#include <algorithm>

namespace vantor::sim {

namespace {

constexpr std::uint8_t kCr = 0x0D;
constexpr std::uint8_t kLf = 0x0A;
constexpr std::uint8_t kFf = 0x0C;
constexpr std::string_view kRemoteEntry{"\0REMOTE1", 8};

std::uint16_t Le16(const std::uint8_t* p) {
  return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}
std::uint32_t Le32(const std::uint8_t* p) {
  return p[0] | p[1] << 8 | p[2] << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

// Bytes of an escape sequence up to its parameters or data, by its second byte (0: unknown).
std::size_t HeadLength(std::uint8_t second) {
  switch (second) {
    case '@':
      return 2;
    case 'U':
      return 3;
    case '$':
      return 4;
    case '(':
      return 5;  // ESC ( letter nL nH
    case '|':
      return 5;  // ESC | 00 nL nH
    case 'i':
      return 9;  // ESC i r c b nL nH mL mH
    case 0x00:
      return 4;  // ESC 00 00 00
    default:
      return 0;
  }
}

}  // namespace

std::span<const std::uint8_t> RasterBand::Line(std::size_t line) const {
  if (line >= lines || data.size() < static_cast<std::size_t>(lines) * bytesPerLine) return {};
  return std::span<const std::uint8_t>(data).subspan(line * bytesPerLine, bytesPerLine);
}

int RasterBand::Dot(std::size_t line, std::size_t x) const {
  const auto bytes = Line(line);
  if (x / 4 >= bytes.size()) return 0;
  return (bytes[x / 4] >> (6 - 2 * (x % 4))) & 3;
}

void PrintStream::Reset() {
  state_ = State::Ground;
  remote_ = false;
  head_.clear();
  params_.clear();
  paramsLeft_ = 0;
  band_ = RasterBand{};
  runLiteral_ = runRepeat_ = 0;
}

void PrintStream::Feed(std::span<const std::uint8_t> bytes) {
  for (const std::uint8_t b : bytes) Step(b);
}

void PrintStream::Step(std::uint8_t b) {
  switch (state_) {
    case State::Ground:
      StepGround(b);
      break;
    case State::Escape:
      StepEscape(b);
      break;
    case State::Params:
    case State::RemoteParams:
      StepParams(b);
      break;
    case State::Raster:
      StepRaster(b);
      break;
    case State::Remote:
      StepRemote(b);
      break;
  }
}

void PrintStream::StepGround(std::uint8_t b) {
  switch (b) {
    case kEsc:
      head_.assign(1, b);
      state_ = State::Escape;
      return;
    case kCr:
      listener_.CarriageReturn();
      return;
    case kLf:
      listener_.LineFeed();
      return;
    case kFf:
      listener_.FormFeed();
      return;
    default:
      // Zero bytes and other controls pad the printer's text fields; they print nothing.
      if (b >= 0x20 && b != 0x7F) listener_.Text(static_cast<char>(b));
  }
}

void PrintStream::StepEscape(std::uint8_t b) {
  head_.push_back(b);
  const std::size_t need = HeadLength(head_[1]);
  if (need == 0) {
    listener_.Unknown(head_);
    ToGround();
    return;
  }
  if (head_.size() < need) return;
  switch (head_[1]) {
    case '@':
      listener_.InitPrinter();
      break;
    case 'U':
      listener_.PrintDirection(head_[2]);
      break;
    case '$':
      listener_.HorizontalPosition(Le16(&head_[2]));
      break;
    case '(':
    case '|':
      StartParams(Le16(&head_[3]));
      return;
    case 'i':
      StartBand();
      return;
    default:
      // ESC 00 00 00 outside remote mode ends nothing.
      listener_.Unknown(head_);
      break;
  }
  ToGround();
}

void PrintStream::StartParams(std::size_t length) {
  params_.clear();
  paramsClipped_ = false;
  paramsLeft_ = length;
  state_ = remote_ ? State::RemoteParams : State::Params;
  if (paramsLeft_ == 0) FinishParams();
}

void PrintStream::StepParams(std::uint8_t b) {
  const std::size_t cap = head_[1] == '|' && state_ == State::Params ? kMaxFactoryBody : kMaxParams;
  if (params_.size() < cap) {
    params_.push_back(b);
  } else {
    paramsClipped_ = true;
  }
  if (--paramsLeft_ == 0) FinishParams();
}

void PrintStream::FinishParams() {
  if (state_ == State::RemoteParams) {
    const std::string_view name(reinterpret_cast<const char*>(head_.data()), 2);
    if (paramsClipped_) {
      listener_.Unknown(head_);
    } else {
      listener_.RemoteCommand(name, params_);
    }
  } else if (paramsClipped_) {
    listener_.Unknown(head_);
  } else if (head_[1] == '|') {
    listener_.FactoryFrame(params_);
  } else {
    DispatchParen(head_[2], params_);
  }
  ToGround();
}

void PrintStream::DispatchParen(std::uint8_t letter, std::span<const std::uint8_t> p) {
  const std::size_t n = p.size();
  switch (letter) {
    case 'G':
      if (n == 1) return listener_.GraphicsMode(p[0]);
      break;
    case 'U':
      if (n == 1) return listener_.Unit(p[0]);
      break;
    case 'e':
      if (n == 2) return listener_.DotSize(p[1]);
      break;
    case 'K':
      if (n == 2) return listener_.ColorMode(p[1]);
      break;
    case 'v':
      if (n == 2) return listener_.VerticalMove(static_cast<std::int16_t>(Le16(p.data())));
      if (n == 4) return listener_.VerticalMove(static_cast<std::int32_t>(Le32(p.data())));
      break;
    case 'D':
      if (n == 4) return listener_.RasterResolution(Le16(p.data()), p[2], p[3]);
      break;
    case 'S':
      if (n == 8) return listener_.PaperSize(Le32(p.data()), Le32(p.data() + 4));
      break;
    case 'c':
      if (n == 8) return listener_.PageFormat(Le32(p.data()), Le32(p.data() + 4));
      if (n == 4) return listener_.PageFormat(Le16(p.data()), Le16(p.data() + 2));
      break;
    case 'R':
      if (n == kRemoteEntry.size() &&
          std::equal(p.begin(), p.end(), kRemoteEntry.begin(),
                     [](std::uint8_t a, char c) { return a == static_cast<std::uint8_t>(c); })) {
        remote_ = true;
        return listener_.RemoteModeEnter();
      }
      break;
    default:
      break;
  }
  std::vector<std::uint8_t> all(head_);
  all.insert(all.end(), p.begin(), p.end());
  listener_.Unknown(all);
}

void PrintStream::StepRemote(std::uint8_t b) {
  if (head_.empty() && b == kEsc) {
    head_.push_back(b);
    return;
  }
  if (!head_.empty() && head_[0] == kEsc) {
    if (b != 0x00 && head_.size() == 1) {
      // An escape sequence inside remote mode: the block has ended without its exit.
      remote_ = false;
      listener_.RemoteModeExit();
      state_ = State::Escape;
      StepEscape(b);
      return;
    }
    head_.push_back(b);
    if (head_.size() < 4) return;
    if (head_[2] == 0 && head_[3] == 0) {
      remote_ = false;
      listener_.RemoteModeExit();
    } else {
      listener_.Unknown(head_);
    }
    ToGround();
    return;
  }
  head_.push_back(b);
  if (head_.size() < 4) return;  // two letters and the parameter length
  StartParams(Le16(&head_[2]));
}

void PrintStream::StartBand() {
  band_.color = head_[2];
  band_.compression = head_[3];
  band_.bitsPerDot = head_[4];
  band_.bytesPerLine = Le16(&head_[5]);
  band_.lines = Le16(&head_[7]);
  const std::size_t total = static_cast<std::size_t>(band_.bytesPerLine) * band_.lines;
  keepBand_ = total <= kMaxBandBytes;
  band_.truncated = !keepBand_;
  band_.data.assign(keepBand_ ? total : 0, 0);
  line_ = lineFill_ = 0;
  runLiteral_ = runRepeat_ = 0;
  if (total == 0) return FinishBand();
  state_ = State::Raster;
}

void PrintStream::PutRasterBytes(std::uint8_t b, std::size_t count) {
  // A run that overshoots its line is read to its end but the excess is not drawn.
  if (lineFill_ >= band_.bytesPerLine) return;
  const std::size_t n = std::min<std::size_t>(count, band_.bytesPerLine - lineFill_);
  if (keepBand_) {
    const auto at =
        band_.data.begin() + static_cast<std::ptrdiff_t>(line_ * band_.bytesPerLine + lineFill_);
    std::fill_n(at, n, b);
  }
  lineFill_ += n;
}

void PrintStream::StepRaster(std::uint8_t b) {
  if (band_.compression != 1) {
    PutRasterBytes(b, 1);
    if (lineFill_ >= band_.bytesPerLine) EndLine();
    return;
  }
  if (runRepeat_ > 0) {
    PutRasterBytes(b, static_cast<std::size_t>(runRepeat_));
    runRepeat_ = 0;
  } else if (runLiteral_ > 0) {
    PutRasterBytes(b, 1);
    --runLiteral_;
  } else {
    if (b < 0x80) {
      runLiteral_ = b + 1;
    } else {
      runRepeat_ = 257 - b;
    }
    return;
  }
  if (runLiteral_ == 0 && lineFill_ >= band_.bytesPerLine) EndLine();
}

void PrintStream::EndLine() {
  lineFill_ = 0;
  if (++line_ >= band_.lines) FinishBand();
}

void PrintStream::FinishBand() {
  listener_.Band(band_);
  band_.data.clear();
  ToGround();
}

}  // namespace vantor::sim
