// A print sink and job steps that record what a generator sends and does, in one order, and
// answer from a small EEPROM.
#pragma once

#include <array>
#include <cstring>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "link/EepromAddresses.h"
#include "raster/Malbid.h"
#include "raster/PrintSink.h"

namespace vantor::test {

// One call other than print data; `at` is how many print-data bytes came before it.
struct Call {
  std::string what;
  int a = 0;
  int b = 0;
  std::size_t at = 0;
  bool operator==(const Call& o) const { return what == o.what && a == o.a && b == o.b; }
};

class Recorder final : public PrintSink, public JobSteps {
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

  // "data" counts QueuePrintData calls, "runs" the raster lines.
  Result QueuePrintData(std::span<const std::uint8_t> bytes) override {
    VANTOR_TRY(Count("data"));
    data.insert(data.end(), bytes.begin(), bytes.end());
    return kOk;
  }
  Result QueueRuns(std::span<const std::uint8_t> runs) override {
    ++lines;
    VANTOR_TRY(Count("runs"));
    data.insert(data.end(), runs.begin(), runs.end());
    return kOk;
  }
  Result FlushPrintData() override { return Record("flush"); }
  Result WaitUntilReady() override { return Record("wait"); }
  Result SetBidValues(std::uint8_t dotType, int black, int colour) override {
    // Two fields of one call: the dot type goes to the test through `what`.
    return Record("bid" + std::to_string(dotType), black, colour);
  }
  Result FactoryCommandD1(std::uint8_t value) override { return Record("d1", value); }
  Result FactoryCommandCB() override { return Record("cb"); }
  Result ReadPfValue(std::uint8_t& value) override {
    VANTOR_TRY(Record("read-pf"));
    value = eeprom[0x7D];
    return kOk;
  }
  void SleepMs(std::int64_t ms) override {
    calls.push_back({"sleep", static_cast<int>(ms), 0, data.size()});
  }

  // What a procedure reads before a job, from this EEPROM and these texts.
  StoredBid Stored() const {
    StoredBid stored{};
    for (std::size_t i = 0; i < eeprom::kBidReadOrder.size(); ++i)
      stored[i] = eeprom[eeprom::kBidReadOrder[i]];
    return stored;
  }
  CheckReadouts Readouts() const {
    CheckReadouts r;
    Copy(counter, r.counter);
    Copy(headId, r.headId);
    Copy(usbId, r.usbId);
    r.bid = Stored();
    r.model = modelIndex;
    return r;
  }
  // A PF candidate setter, and the factory read and Bi-D write of single values.
  auto SetPf() {
    return [this](std::int8_t value) { return Record("pf", value); };
  }
  FactoryRead Read() {
    return [this](std::uint8_t address, std::uint8_t& value) {
      VANTOR_TRY(Record("factory-read", address));
      value = eeprom[address];
      return kOk;
    };
  }
  BidWrite Write() {
    return [this](std::uint8_t dotType, int black, int colour) {
      return SetBidValues(dotType, black, colour);
    };
  }

  int lines = 0;

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
  static void Copy(const std::string& value, std::array<char, N>& text) {
    text.fill('\0');
    std::memcpy(text.data(), value.data(), std::min(value.size(), N - 1));
  }
  std::map<std::string, std::pair<int, Result>> fail_;
};

}  // namespace vantor::test
