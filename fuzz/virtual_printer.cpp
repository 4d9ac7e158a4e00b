// The virtual printer fed arbitrary host bytes: it never stalls or breaks, and every reply it
// sends is framed by its own length field.
#include "fuzz/FuzzCheck.h"
#include "link/Clock.h"
#include "sim/VirtualPrinter.h"

using namespace vantor;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 1) return 0;
  VirtualClock clock;
  sim::VirtualPrinter printer(clock, data[0] & 1 ? Model::Q30 : Model::Q40);
  auto device = printer.Connect(data[0] & 2 ? InterfaceKind::Usb : InterfaceKind::Parallel);
  const std::uint8_t step = data[0] / 4 % 31 + 1;
  std::vector<std::uint8_t> stream;
  std::array<std::uint8_t, 4096> buffer{};
  for (std::size_t at = 1; at < size; at += step) {
    const std::size_t n = std::min<std::size_t>(step, size - at);
    const IoResult w = device->Write({data + at, n}, 0);
    FUZZ_CHECK(w.ok && w.count <= n);
    for (;;) {
      const IoResult r = device->Read(buffer, 0);
      FUZZ_CHECK(r.ok && r.count <= buffer.size());
      if (r.count == 0) break;
      stream.insert(stream.end(), buffer.begin(), buffer.begin() + r.count);
    }
  }
  // Replies follow one another, each exactly as long as its header says.
  std::size_t at = 0;
  while (at + 6 <= stream.size()) {
    const std::size_t length = stream[at + 2] * 256u + stream[at + 3];
    FUZZ_CHECK(length >= 6);
    at += length;
  }
  FUZZ_CHECK(at == stream.size());
  return 0;
}
