#include "sim/Transport.h"

#include <algorithm>

namespace vantor::sim {

namespace {

constexpr std::size_t kHeader = wire::kHeaderSize;
constexpr std::size_t kMaxPacket = 4096;
// A reply is bounded by the host's 1024-byte packet.
constexpr std::size_t kMaxReplyPayload = 1024 - kHeader;

bool IsEntry(std::span<const std::uint8_t> packet) {
  return std::equal(packet.begin(), packet.end(), wire::kEntryPacket.begin(),
                    wire::kEntryPacket.end(),
                    [](std::uint8_t b, char c) { return static_cast<std::uint8_t>(c) == b; });
}

}  // namespace

// Every command but Init and Exit names its channel twice after the command byte.
const Transport::Rule Transport::kRules[] = {
    {wire::kInit, 2, &Transport::Init},
    {wire::kOpenChannel, 3, &Transport::Open},
    {wire::kCloseChannel, 3, &Transport::Close},
    {wire::kCredit, 5, &Transport::Credit},
    {wire::kCreditRequest, 7, &Transport::Credit},
    {wire::kExit, 1, &Transport::Exit},
};

Transport::Transport(Clock& clock, Faults& faults, PacketHandler& handler)
    : clock_(clock), faults_(faults), handler_(handler), assembler_(kMaxPacket) {}

void Transport::Disconnect() {
  assembler_.Clear();
  replies_.clear();
  replyOffset_ = 0;
}

void Transport::Receive(std::span<const std::uint8_t> bytes) {
  using Kind = wire::PacketAssembler::Kind;
  assembler_.Append(bytes);
  // Each packet may switch packet mode, which decides how the next bytes frame.
  for (;;) {
    const wire::PacketAssembler::Event e = assembler_.Next(packetMode_);
    switch (e.kind) {
      case Kind::None:
        return;
      case Kind::Malformed:
        QueueError(e.socket, wire::kErrMalformed);
        break;
      case Kind::TooLong:
        QueueError(e.socket, wire::kErrTooLong);
        break;
      case Kind::Packet:
        HandlePacket(e.packet);
        break;
    }
  }
}

void Transport::HandlePacket(std::span<const std::uint8_t> packet) {
  const std::uint8_t socket = packet[0];
  if (const auto error = faults_.TakeErrorReply(socket)) {
    if (*error == wire::kErrChannelClosed) {
      if (socket == kControlSocket) controlOpen_ = false;
      if (socket == kDataSocket) dataOpen_ = false;
    }
    QueueError(socket, *error);
    return;
  }
  const std::span<const std::uint8_t> payload = packet.subspan(kHeader);
  if (socket != kDataSocket) handler_.CommandArrived();
  switch (socket) {
    case kTransactionSocket:
      HandleTransaction(packet);
      return;
    case kControlSocket: {
      if (!controlOpen_) return QueueError(socket, wire::kErrChannelClosed);
      std::string text = handler_.Control(payload);
      if (auto forced = faults_.TakeControlReply()) text = std::move(*forced);
      if (faults_.TakeBusyAnswer()) text = "@BDC  BUSY\r\n";
      QueueText(kControlSocket, text);
      return;
    }
    case kDataSocket:
      if (!dataOpen_) return QueueError(socket, wire::kErrChannelClosed);
      if (dataCreditsFromHost_ == 0) {
        ++creditFaults_;
      } else {
        --dataCreditsFromHost_;
      }
      handler_.Data(payload);
      return;
    default:
      QueueError(socket, wire::kErrChannelClosed);
  }
}

void Transport::ResetChannels() {
  controlOpen_ = dataOpen_ = false;
  dataCreditsFromHost_ = dataCreditsToHost_ = 0;
}

bool Transport::SocketOpen(std::uint8_t s) const {
  return (s == kControlSocket && controlOpen_) || (s == kDataSocket && dataOpen_);
}

void Transport::Answer(std::span<const std::uint8_t> payload) {
  QueueReply(kTransactionSocket, payload, true);
}

void Transport::HandleTransaction(std::span<const std::uint8_t> packet) {
  if (IsEntry(packet)) {
    // Also a new host taking over a printer that was left in packet mode.
    packetMode_ = true;
    ResetChannels();
    handler_.SessionStarted();
    const std::uint8_t reply[] = {static_cast<std::uint8_t>(packet[6] | wire::kReplyBit),
                                  wire::kResultOk};
    return Answer(reply);
  }
  const std::span<const std::uint8_t> p = packet.subspan(kHeader);
  if (p.empty()) return QueueError(kTransactionSocket, wire::kErrMalformed);
  const auto rule = std::find_if(std::begin(kRules), std::end(kRules),
                                 [&](const Rule& r) { return r.command == p[0]; });
  if (rule == std::end(kRules)) return QueueError(kTransactionSocket, wire::kErrUnknownCommand);
  if (p.size() < rule->minPayload) return QueueError(kTransactionSocket, wire::kErrMalformed);
  (this->*rule->handle)(p);
}

void Transport::Init(std::span<const std::uint8_t> p) {
  ResetChannels();
  const std::uint8_t result = p[1] == wire::kRevision ? wire::kResultOk : wire::kResultBadRevision;
  const std::uint8_t reply[] = {wire::kInit | wire::kReplyBit, result, wire::kRevision};
  Answer(reply);
}

void Transport::Open(std::span<const std::uint8_t> p) {
  const std::uint8_t s = p[1];
  std::uint8_t result = wire::kResultOk;
  if (s != kControlSocket && s != kDataSocket) {
    result = wire::kResultNoSuchSocket;
  } else if (SocketOpen(s)) {
    result = wire::kResultAlreadyOpen;
  }
  if (s == kControlSocket && result != wire::kResultNoSuchSocket) controlOpen_ = true;
  if (s == kDataSocket && result != wire::kResultNoSuchSocket) {
    dataOpen_ = true;
    dataCreditsFromHost_ = dataCreditsToHost_ = 0;
  }
  const std::uint8_t reply[] = {wire::kOpenChannel | wire::kReplyBit,
                                result,
                                s,
                                p[2],
                                0x04,
                                0x00,
                                0x04,
                                0x00,
                                0x00,
                                0x00,
                                0x00,
                                0x00};
  Answer(reply);
}

void Transport::Close(std::span<const std::uint8_t> p) {
  const std::uint8_t s = p[1];
  const std::uint8_t result = SocketOpen(s) ? wire::kResultOk : wire::kResultNotOpen;
  if (s == kControlSocket) controlOpen_ = false;
  if (s == kDataSocket) dataOpen_ = false;
  const std::uint8_t reply[] = {wire::kCloseChannel | wire::kReplyBit, result, s, p[2]};
  Answer(reply);
}

void Transport::Credit(std::span<const std::uint8_t> p) {
  const std::uint8_t command = p[0];
  const std::size_t amountAt = command == wire::kCredit ? 3 : 5;
  const std::uint8_t s = p[1];
  const std::uint16_t asked = static_cast<std::uint16_t>(p[amountAt] << 8 | p[amountAt + 1]);
  std::uint8_t result = SocketOpen(s) ? wire::kResultOk : wire::kResultNotOpen;
  std::uint16_t amount = asked;
  if (result == wire::kResultOk && s == kDataSocket) {
    std::uint16_t& count = command == wire::kCredit ? dataCreditsToHost_ : dataCreditsFromHost_;
    if (command == wire::kCredit && asked > 0xFFFF - count) {
      result = wire::kResultCreditOverflow;
      amount = 0;
    } else {
      // A request is granted as far as the count can hold.
      amount = std::min<std::uint16_t>(asked, static_cast<std::uint16_t>(0xFFFF - count));
      count = static_cast<std::uint16_t>(count + amount);
    }
  }
  if (result != wire::kResultOk) amount = 0;
  const std::uint8_t reply[] = {static_cast<std::uint8_t>(command | wire::kReplyBit),
                                result,
                                s,
                                p[2],
                                static_cast<std::uint8_t>(amount >> 8),
                                static_cast<std::uint8_t>(amount & 0xFF)};
  Answer(reply);
}

void Transport::Exit(std::span<const std::uint8_t>) {
  const std::uint8_t reply[] = {wire::kExit | wire::kReplyBit, wire::kResultOk};
  Answer(reply);
  packetMode_ = false;
  ResetChannels();
}

void Transport::QueueReply(std::uint8_t socket, std::span<const std::uint8_t> payload,
                           bool credit) {
  if (faults_.TakeDroppedReply()) return;
  if (socket == kDataSocket) {
    if (dataCreditsToHost_ == 0) {
      ++creditFaults_;
    } else {
      --dataCreditsToHost_;
    }
  }
  const std::size_t length = kHeader + payload.size();
  Reply reply;
  // Sized once and filled in place: GCC 12 at -O3 misreads an insert after a short list.
  reply.bytes.assign(length, 0x00);
  reply.bytes[0] = socket;
  reply.bytes[1] = socket;
  reply.bytes[2] = static_cast<std::uint8_t>(length >> 8);
  reply.bytes[3] = static_cast<std::uint8_t>(length & 0xFF);
  reply.bytes[4] = static_cast<std::uint8_t>(credit ? 1 : 0);
  std::copy(payload.begin(), payload.end(), reply.bytes.begin() + kHeader);
  faults_.ReplyLeaving(reply.bytes);
  reply.availableMs = clock_.NowMs() + faults_.TakeReplyDelay();
  // Replies leave in order: one held back holds back the ones behind it.
  if (!replies_.empty()) {
    reply.availableMs = std::max(reply.availableMs, replies_.back().availableMs);
  }
  replies_.push_back(std::move(reply));
}

void Transport::QueueText(std::uint8_t socket, const std::string& text) {
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.data());
  QueueReply(socket, {bytes, std::min(text.size(), kMaxReplyPayload)}, false);
}

void Transport::QueueError(std::uint8_t socket, std::uint8_t error) {
  const std::uint8_t payload[] = {wire::kErrorReply, socket, socket, error};
  QueueReply(kTransactionSocket, payload, true);
}

bool Transport::WaitForReply(std::int64_t limitMs) {
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

void Transport::Consume(std::size_t n) {
  replyOffset_ += n;
  if (replyOffset_ == replies_.front().bytes.size()) {
    replies_.pop_front();
    replyOffset_ = 0;
  }
}

std::size_t Transport::TakeStream(std::span<std::uint8_t> buffer, std::int64_t limitMs) {
  if (buffer.empty() || !WaitForReply(limitMs)) return 0;
  std::size_t done = 0;
  const std::int64_t now = clock_.NowMs();
  while (done < buffer.size() && !replies_.empty() && replies_.front().availableMs <= now) {
    const std::vector<std::uint8_t>& front = replies_.front().bytes;
    const std::size_t n = std::min(buffer.size() - done, front.size() - replyOffset_);
    std::copy_n(front.begin() + static_cast<std::ptrdiff_t>(replyOffset_), n,
                buffer.begin() + static_cast<std::ptrdiff_t>(done));
    done += n;
    Consume(n);
  }
  return done;
}

std::size_t Transport::TakeReply(std::span<std::uint8_t> buffer, std::int64_t limitMs) {
  if (buffer.empty() || !WaitForReply(limitMs)) return 0;
  const std::vector<std::uint8_t>& front = replies_.front().bytes;
  const std::size_t n = std::min(buffer.size(), front.size() - replyOffset_);
  std::copy_n(front.begin() + static_cast<std::ptrdiff_t>(replyOffset_), n, buffer.begin());
  Consume(n);
  return n;
}

}  // namespace vantor::sim
