// The text replies on their own: status, the EEPROM read reply of both channels, the
// acknowledge, the device ID.
#include <string_view>

#include "fuzz/FuzzCheck.h"
#include "link/Hex.h"
#include "link/PacketChannel.h"
#include "link/ProtocolParsers.h"
#include "link/backends/DeviceIdReply.h"

namespace {

using namespace vantor;

constexpr std::uint16_t kErrors[] = {kErrorNone, 0xEF0F, 0xEF0E, 0xEF0B, 0xEF0A,
                                     0xEF09,     0xEF06, 0xEF04, 0xEF00};

int Hex(char c) {
  const auto digit = HexDigitValue(c);
  return digit ? static_cast<int>(*digit) : -1;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);

  const wire::StatusReport s = wire::ParseStatusReply(text);
  FUZZ_CHECK(s.status == kStatusNone || (s.status >= 0xEFF9 && s.status <= 0xEFFF));
  FUZZ_CHECK(std::find(std::begin(kErrors), std::end(kErrors), s.error) != std::end(kErrors));
  const bool hasFields =
      text.find("ST:") != std::string_view::npos && text.find("IQ:") != std::string_view::npos;
  FUZZ_CHECK(s.complete == hasFields);
  FUZZ_CHECK(!s.rawError || s.error == 0xEF00);

  // Control channel and data channel read replies decode the same way.
  std::uint8_t value = 0;
  const std::optional<std::uint8_t> parsed = wire::ParseEepromReply(text);
  FUZZ_CHECK(parsed.has_value() == PacketChannel::DecodeEepromReply(text, value));
  if (parsed) {
    FUZZ_CHECK(text.starts_with("@BDC PS"));
    FUZZ_CHECK(*parsed == value);
    if (text.size() >= 16 && Hex(text[14]) >= 0 && Hex(text[15]) >= 0) {
      FUZZ_CHECK(*parsed == Hex(text[14]) * 16 + Hex(text[15]));
    }
  }

  const std::int16_t ack = wire::AcknowledgeCode(text);
  FUZZ_CHECK(ack == kChannelNoError || ack == 0x90 || ack == 0x91 || ack == -1);

  const DeviceIdText id = ParseDeviceId({data, size});
  FUZZ_CHECK(id.text.size() <= size);
  FUZZ_CHECK(id.shape != DeviceIdShape::Empty || id.text.empty());
  // A reply rebuilt from the text reads back as exactly that text.
  if (id.Usable() && id.text.size() < 1000) {
    std::uint8_t rebuilt[1024];
    const std::size_t n = WriteDeviceIdReply(id.text, rebuilt);
    const DeviceIdText again = ParseDeviceId({rebuilt, n});
    FUZZ_CHECK(again.text == id.text);
  }
  return 0;
}
