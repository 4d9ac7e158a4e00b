// A printer access that records what a generator sends and answers from a small EEPROM.
#pragma once

#include <array>
#include <cstring>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "raster/PrinterAccess.h"

namespace vantor::test {

// One call other than print data; `at` is how many print-data bytes came before it.
struct Call {
  std::string what;
  int a = 0;
  int b = 0;
  std::size_t at = 0;
  bool operator==(const Call& o) const { return what == o.what && a == o.a && b == o.b; }
};

class Recorder final : public PrinterAccess {
 public:
  std::vector<std::uint8_t> data;
  std::vector<Call> calls;
  std::array<std::uint8_t, 256> eeprom{};
  int modelIndex = 0;
  std::string counter = "3937", headId = "21A2B3C4D5E12", usbId = "ABCDEFGHIJ12345678";

  // The nth (from 1) call named `what` fails with r; "data" counts QueuePrintData calls.
  void FailOn(std::string what, int nth, Result r) { fail_[what] = {nth, r}; }

  std::vector<Call> Named(const std::string& what) const {
    std::vector<Call> out;
    for (const Call& c : calls)
      if (c.what == what) out.push_back(c);
    return out;
  }

  Result QueuePrintData(std::span<const std::uint8_t> bytes) override {
    VANTOR_TRY(Count("data"));
    data.insert(data.end(), bytes.begin(), bytes.end());
    return kOk;
  }
  Result FlushPrintData() override { return Record("flush"); }
  Result WaitUntilReady() override { return Record("wait"); }
  Result ReadEepromByte(std::uint8_t address, std::uint8_t& value) override {
    VANTOR_TRY(Record("read", address));
    value = eeprom[address];
    return kOk;
  }
  Result FactoryReadEepromByte(std::uint8_t address, std::uint8_t& value) override {
    VANTOR_TRY(Record("factory-read", address));
    value = eeprom[address];
    return kOk;
  }
  Result SetBidValues(std::uint8_t dotType, int black, int colour) override {
    // Two fields of one call: the dot type goes to the test through `what`.
    return Record("bid" + std::to_string(dotType), black, colour);
  }
  Result SetPfValue(std::int8_t value) override { return Record("pf", value); }
  Result FinishAdjustWrite() override { return Record("finish"); }
  Result FactoryCommandD1(std::uint8_t value) override { return Record("d1", value); }
  Result FactoryCommandCB() override { return Record("cb"); }
  Result ReadProtectionCounter(CounterText& text) override {
    return Text("counter", counter, text);
  }
  Result ReadHeadId(HeadIdText& text) override { return Text("head-id", headId, text); }
  Result ReadUsbId(UsbIdText& text) override { return Text("usb-id", usbId, text); }
  void SleepMs(std::int64_t ms) override {
    calls.push_back({"sleep", static_cast<int>(ms), 0, data.size()});
  }
  int ModelIndex() const override { return modelIndex; }

 private:
  Result Count(const std::string& what) {
    const auto it = fail_.find(what);
    if (it != fail_.end() && --it->second.first == 0) return it->second.second;
    return kOk;
  }
  Result Record(const std::string& what, int a = 0, int b = 0) {
    calls.push_back({what, a, b, data.size()});
    return Count(what);
  }
  template <std::size_t N>
  Result Text(const std::string& what, const std::string& value, std::array<char, N>& text) {
    VANTOR_TRY(Record(what));
    text.fill('\0');
    std::memcpy(text.data(), value.data(), std::min(value.size(), N - 1));
    return kOk;
  }
  std::map<std::string, std::pair<int, Result>> fail_;
};

}  // namespace vantor::test
