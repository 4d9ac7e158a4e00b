// Head ID and USB ID: a text that passes decodes and encodes back to itself; encoded values
// decode to themselves.
#include <algorithm>
#include <string>
#include <string_view>

#include "fuzz/FuzzCheck.h"
#include "ids/Malheadid.h"
#include "ids/Malusbid.h"

using namespace vantor;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);

  const headid::Parsed parsed = headid::Parse(text);
  if (parsed.detail == headid::kNoFault) {
    const headid::Formatted again = headid::Format(parsed.values);
    FUZZ_CHECK(again.detail == headid::kNoFault);
    FUZZ_CHECK(headid::Parse(again.text).values == parsed.values);
  }
  if (size >= 7) {
    headid::Values values{};
    for (std::size_t i = 0; i < 7; ++i) values[i] = data[i];
    const headid::Formatted f = headid::Format(values);
    // Damaged pairs are shown so they can be read off, but do not read back.
    const bool pairsSound = std::all_of(values.begin() + 1, values.begin() + 6,
                                        [](std::uint8_t v) { return v <= headid::kMaxPair; });
    if (f.detail == headid::kNoFault && pairsSound) {
      FUZZ_CHECK(f.text.size() == headid::kLength);
      const headid::Parsed back = headid::Parse(f.text);
      FUZZ_CHECK(back.detail == headid::kNoFault);
      FUZZ_CHECK(back.values == values);
    }
  }
  for (int k = -2; k <= 40; ++k) {
    const char c = headid::CheckCharacter(k);
    FUZZ_CHECK((c != '\0') == (k >= 1 && k <= 37));
    if (c) FUZZ_CHECK(headid::CheckValueOf(c) == k);
  }

  for (const std::size_t length : {usbid::kLength, usbid::kSerialLength}) {
    const std::uint16_t detail = usbid::CheckTyped(text, length);
    if (detail == usbid::kNoFault) {
      FUZZ_CHECK(text.size() == length);
      for (const char c : text) FUZZ_CHECK(usbid::IsStoredCharacter(static_cast<std::uint8_t>(c)));
    }
  }
  if (size >= 6) {
    LocalDateTime when{1990 + data[0] % 60, data[1] % 14, data[2] % 33,
                       data[3] % 26,        data[4] % 62, data[5] % 62};
    if (const auto code = usbid::DateCode(when)) {
      FUZZ_CHECK(code->size() == usbid::kDateCodeLength);
      FUZZ_CHECK(usbid::CheckTyped(*code, usbid::kDateCodeLength) == usbid::kNoFault);
    }
  }
  return 0;
}
