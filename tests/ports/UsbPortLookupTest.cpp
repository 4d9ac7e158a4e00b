// The Windows USB port lookup's steps against a fake system: which member's "PortName" matches,
// what ends the lookup, what is opened in which order.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "link/backends/PortTexts.h"
#include "link/backends/UsbPortLookup.h"

namespace vantor {
namespace {

struct FakeMember {
  std::string path;
  std::optional<std::string> portName;  // empty: the value cannot be read
  bool detail = true;
  bool key = true;
};

FakeMember NoDetail(std::string path, std::string name) {
  return {std::move(path), std::move(name), false, false};
}
FakeMember NoKey(std::string path) {
  return {std::move(path), "TVUSB2:", true, false};
}

class FakeRegistry final : public UsbPortRegistry {
 public:
  bool listFails = false;
  bool direct = false;
  std::vector<FakeMember> members;
  std::vector<std::string> printClass;

  bool ListPortInterfaces() override { return !listFails; }
  Member PortInterface(std::size_t index, std::string& path) override {
    if (index >= members.size()) return Member::End;
    if (!members[index].detail) return Member::DetailFailed;
    path = members[index].path;
    return Member::Listed;
  }
  bool ReadPortName(std::size_t index, std::optional<std::string>& value,
                    std::string& why) override {
    if (!members[index].key) {
      why = "Access is denied";
      return false;
    }
    value = members[index].portName;
    return true;
  }
  bool DirectNameExists(std::size_t) override { return direct; }
  std::vector<std::string> PrintClassPaths() override { return printClass; }
};

// "driver:PATH direct:PATH class:PATH" in order, or "fails at PATH".
std::string Render(const UsbLookup& lookup) {
  if (lookup.failure) return "fails at " + lookup.failedPath;
  std::string text;
  for (const auto& c : lookup.candidates) {
    const char* way = c.way == UsbWay::PortDriver   ? "driver:"
                      : c.way == UsbWay::DirectName ? "direct:"
                                                    : "class:";
    text += (text.empty() ? "" : " ") + std::string(way) + c.path;
  }
  return text;
}

struct LookupCase {
  const char* what;
  std::vector<FakeMember> members;
  std::vector<std::string> printClass;
  std::size_t index;
  std::string expected;
};

TEST(UsbPortLookup, FindsThePortByItsPortNameThenTheDirectNameThenThePrintClass) {
  const std::vector<LookupCase> cases = {
      {"upper case", {{"a", "TVUSB1:"}, {"b", "TVUSB2:"}}, {}, 1, "driver:b direct:\\\\.\\TVUSB2:"},
      {"lower case", {{"a", "tvusb3:"}}, {}, 2, "driver:a direct:\\\\.\\TVUSB3:"},
      {"first match wins",
       {{"a", "TVUSB2:"}, {"b", "tvusb2:"}},
       {},
       1,
       "driver:a direct:\\\\.\\TVUSB2:"},
      {"member without detail skipped, its key unread",
       {NoDetail("a", "TVUSB2:"), {"b", "TVUSB2:"}},
       {},
       1,
       "driver:b direct:\\\\.\\TVUSB2:"},
      {"unreadable value passed over",
       {{"a", std::nullopt}, {"b", "TVUSB1:"}},
       {},
       0,
       "driver:b direct:\\\\.\\TVUSB1:"},
      {"only the whole name matches",
       {{"a", "TVUSB2"}, {"b", "TVUSB2: "}, {"c", "TVUSB12:"}, {"d", ""}},
       {},
       1,
       "direct:\\\\.\\TVUSB2:"},
      {"no match: print class at the same position after the direct name",
       {{"a", "TVUSB1:"}},
       {"p0", "p1"},
       1,
       "direct:\\\\.\\TVUSB2: class:p1"},
      {"print class too short", {}, {"p0"}, 1, "direct:\\\\.\\TVUSB2:"},
      {"a match keeps the print class last",
       {{"a", "TVUSB1:"}},
       {"p0"},
       0,
       "driver:a direct:\\\\.\\TVUSB1: class:p0"},
      {"a key that cannot be opened ends the lookup",
       {NoKey("a"), {"b", "TVUSB2:"}},
       {"p0", "p1"},
       1,
       "fails at a"},
      {"a refused key after the match is never reached",
       {{"a", "TVUSB2:"}, NoKey("b")},
       {},
       1,
       "driver:a direct:\\\\.\\TVUSB2:"},
  };
  for (const auto& c : cases) {
    FakeRegistry registry;
    registry.members = c.members;
    registry.printClass = c.printClass;
    EXPECT_EQ(Render(LookUpUsbPort(c.index, registry)), c.expected) << c.what;
  }
}

TEST(UsbPortLookup, AListThatCannotBeHadEndsTheLookup) {
  FakeRegistry registry;
  registry.listFails = true;
  registry.printClass = {"p0"};
  const UsbLookup lookup = LookUpUsbPort(0, registry);
  EXPECT_EQ(Render(lookup), "fails at ");
  EXPECT_EQ(*lookup.failure, texts::kNoPortInterfaces);
}

TEST(UsbPortLookup, DescriptionNamesTheFirstWayThatIsThereNow) {
  struct Case {
    const char* what;
    std::vector<FakeMember> members;
    bool direct;
    std::vector<std::string> printClass;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {"match", {{"a", "TVUSB2:"}}, true, {"p0", "p1"}, "a (USB port driver, by PortName)"},
      {"direct name known to Windows",
       {},
       true,
       {"p0", "p1"},
       "\\\\.\\TVUSB2: (USB port driver, direct name)"},
      {"direct name unknown", {}, false, {"p0", "p1"}, "p1 (Windows USB printing class)"},
      {"nothing", {}, false, {"p0"}, ""},
      {"refused key", {NoKey("a")}, true, {}, "a (USB port driver, by PortName)"},
  };
  for (const auto& c : cases) {
    FakeRegistry registry;
    registry.members = c.members;
    registry.direct = c.direct;
    registry.printClass = c.printClass;
    EXPECT_EQ(DescribeUsbLookup(LookUpUsbPort(1, registry)), c.expected) << c.what;
  }
}

class NullDevice final : public PortDevice {
 public:
  IoResult Write(std::span<const std::uint8_t>, std::int64_t) override { return {}; }
  IoResult Read(std::span<std::uint8_t>, std::int64_t) override { return {}; }
  IoResult ReadReply(std::span<std::uint8_t>, std::int64_t) override { return {}; }
  std::size_t DeviceId(std::span<std::uint8_t>) override { return 0; }
};

TEST(UsbPortLookup, OpensTheCandidatesInTurnAndSaysWhatEachAnswered) {
  UsbLookup all;
  all.index = 1;
  all.candidates = {{UsbWay::PortDriver, "a"},
                    {UsbWay::DirectName, "\\\\.\\TVUSB2:"},
                    {UsbWay::PrintClass, "p1"}};
  UsbLookup noClass;
  noClass.index = 1;
  noClass.candidates = {{UsbWay::DirectName, "\\\\.\\TVUSB2:"}};
  UsbLookup refused;
  refused.failure = "key refused";
  struct Case {
    const char* what;
    const UsbLookup& lookup;
    std::set<std::string> opens;
    std::string tried;
    std::string reason;  // empty when something opened
  };
  const std::vector<Case> cases = {
      {"match opens", all, {"a", "\\\\.\\TVUSB2:", "p1"}, "a", ""},
      {"matched path fails: direct name", all, {"\\\\.\\TVUSB2:", "p1"}, "a \\\\.\\TVUSB2:", ""},
      {"print class last", all, {"p1"}, "a \\\\.\\TVUSB2: p1", ""},
      {"none opens", all, {}, "a \\\\.\\TVUSB2: p1", "a: gone; \\\\.\\TVUSB2:: gone; p1: gone"},
      {"no print class printer",
       noClass,
       {},
       "\\\\.\\TVUSB2:",
       "\\\\.\\TVUSB2:: gone; " + std::string(texts::kNoPrintClassPrinter)},
      {"failed lookup opens nothing", refused, {"a"}, "", "key refused"},
  };
  for (const auto& c : cases) {
    std::string tried;
    OpenFailure why;
    const auto device = OpenUsbLookup(
        c.lookup,
        [&](const UsbCandidate& candidate, OpenFailure& failure) -> std::unique_ptr<PortDevice> {
          tried += (tried.empty() ? "" : " ") + candidate.path;
          if (c.opens.contains(candidate.path)) return std::make_unique<NullDevice>();
          failure.reason = candidate.path + ": gone";
          return nullptr;
        },
        why);
    EXPECT_EQ(tried, c.tried) << c.what;
    EXPECT_EQ(device == nullptr, !c.reason.empty()) << c.what;
    EXPECT_EQ(why.reason, c.reason) << c.what;
  }
}

}  // namespace
}  // namespace vantor
