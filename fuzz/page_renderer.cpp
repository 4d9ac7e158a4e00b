// The page renderer behind the stream reader, on a small sheet: pages it hands over have the
// size they claim, whatever the stream asks for.
#include "fuzz/FuzzCheck.h"
#include "sim/PageRenderer.h"
#include "sim/PrintStream.h"

using namespace vantor::sim;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // A small sheet first, so each run stays fast; the fuzzer's bytes follow.
  static constexpr std::uint8_t kSmallSheet[] = {
      0x1B, '(', 'S', 8, 0, 0xB4, 0, 0, 0, 0xB4, 0, 0, 0,  // 180 x 180 units
  };
  PrintMechanics mechanics;
  int pages = 0;
  PageRenderer renderer(mechanics, [&](Page&& page) {
    ++pages;
    FUZZ_CHECK(page.width >= 0 && page.height >= 0);
    FUZZ_CHECK(page.rgb.size() == std::size_t(page.width) * page.height * 3);
  });
  PrintStream stream(renderer);
  stream.Feed(kSmallSheet);
  stream.Feed({data, size});
  stream.Feed(std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>("\x0C"), 1));
  FUZZ_CHECK(pages <= static_cast<int>(size) + 1);
  return 0;
}
