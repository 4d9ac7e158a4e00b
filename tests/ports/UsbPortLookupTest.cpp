// The Windows USB port lookup's steps against a fake system: which member's "PortName" matches,
// what ends the lookup, what is opened in which order.
#include <gtest/gtest.h>

#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "link/backends/PortTexts.h"
#include "link/backends/UsbPortLookup.h"

namespace vantor {
namespace {

// The driver's interfaces as words: "a=TVUSB2:" is member a with that PortName, "a?" one whose
// value cannot be read, "a-" one whose detail fails, "a!" one whose device key is refused.
// "x" alone makes the list itself fail.
class FakeRegistry final : public UsbPortRegistry {
 public:
  FakeRegistry(const std::string& members, const std::string& printClass, bool direct = false)
      : direct_(direct) {
    std::istringstream words(members), paths(printClass);
    for (std::string word; words >> word;) members_.push_back(word);
    for (std::string path; paths >> path;) printClass_.push_back(path);
  }

  bool ListPortInterfaces() override { return members_ != std::vector<std::string>{"x"}; }
  Member PortInterface(std::size_t index, std::string& path) override {
    if (index >= members_.size()) return Member::End;
    path = members_[index].substr(0, 1);
    return members_[index][1] == '-' ? Member::DetailFailed : Member::Listed;
  }
  bool ReadPortName(std::size_t index, std::optional<std::string>& value,
                    std::string& why) override {
    const std::string& word = members_[index];
    if (word[1] == '-') ADD_FAILURE() << "the key of a member without detail was read";
    if (word[1] == '!') why = "Access is denied";
    if (word[1] == '=') value = word.substr(2);
    return word[1] != '!';
  }
  bool DirectNameExists(std::size_t) override { return direct_; }
  std::vector<std::string> PrintClassPaths() override { return printClass_; }

 private:
  bool direct_;
  std::vector<std::string> members_, printClass_;
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

TEST(UsbPortLookup, FindsThePortByItsPortNameThenTheDirectNameThenThePrintClass) {
  struct Case {
    const char* what;
    const char* members;
    const char* printClass;
    std::size_t index;
    std::string expected;
  };
  const std::string direct2 = "direct:\\\\.\\TVUSB2:";
  const std::vector<Case> cases = {
      {"lower case", "a=TVUSB1: b=tvusb3:", "", 2, "driver:b direct:\\\\.\\TVUSB3:"},
      {"first match wins", "a=TVUSB2: b=TVUSB2:", "", 1, "driver:a " + direct2},
      {"no detail: skipped, key unread", "a- b=TVUSB2:", "", 1, "driver:b " + direct2},
      {"unreadable value passed over", "a? b=TVUSB2:", "", 1, "driver:b " + direct2},
      {"only the whole name", "a=TVUSB2 b=TVUSB2:x c=TVUSB12: d=", "", 1, direct2},
      {"no match: print class after the direct name", "a=TVUSB1:", "p0 p1", 1,
       direct2 + " class:p1"},
      {"print class too short", "", "p0", 1, direct2},
      {"match: print class still last", "a=TVUSB2:", "p0 p1", 1,
       "driver:a " + direct2 + " class:p1"},
      {"a refused key ends the lookup", "a! b=TVUSB2:", "p0 p1", 1, "fails at a"},
      {"a refused key after the match", "a=TVUSB2: b!", "", 1, "driver:a " + direct2},
      {"no list of the driver's interfaces", "x", "p0 p1", 1, "fails at "},
  };
  for (const auto& c : cases) {
    FakeRegistry registry(c.members, c.printClass);
    EXPECT_EQ(Render(LookUpUsbPort(c.index, registry)), c.expected) << c.what;
  }
}

TEST(UsbPortLookup, DescriptionNamesTheFirstWayThatIsThereNow) {
  struct Case {
    const char* what;
    const char* members;
    bool direct;
    const char* printClass;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {"match", "a=TVUSB2:", true, "p0 p1", "a (USB port driver, by PortName)"},
      {"direct name", "", true, "p0 p1", "\\\\.\\TVUSB2: (USB port driver, direct name)"},
      {"direct name unknown", "", false, "p0 p1", "p1 (Windows USB printing class)"},
      {"nothing", "", false, "p0", ""},
      {"refused key", "a!", true, "", "a (USB port driver, by PortName)"},
  };
  for (const auto& c : cases) {
    FakeRegistry registry(c.members, c.printClass, c.direct);
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
  struct Case {
    const char* what;
    const char* members;
    const char* printClass;
    std::set<std::string> opens;
    std::string tried;
    std::string reason;  // empty when something opened
  };
  const std::string d = "\\\\.\\TVUSB2:";
  const std::vector<Case> cases = {
      {"match opens", "a=TVUSB2:", "p0 p1", {"a", d, "p1"}, "a", ""},
      {"matched path fails: direct name", "a=TVUSB2:", "p0 p1", {d, "p1"}, "a " + d, ""},
      {"print class last", "a=TVUSB2:", "p0 p1", {"p1"}, "a " + d + " p1", ""},
      {"none opens", "", "p0 p1", {}, d + " p1", d + ": gone; p1: gone"},
      {"no print class printer",
       "",
       "",
       {},
       d,
       d + ": gone; " + std::string(texts::kNoPrintClassPrinter)},
      {"failed lookup opens nothing",
       "a!",
       "p0 p1",
       {"a", d, "p1"},
       "",
       std::string(texts::kPortKeyRefused) + " (Access is denied)"},
  };
  for (const auto& c : cases) {
    FakeRegistry registry(c.members, c.printClass);
    std::string tried;
    OpenFailure why;
    const auto device = OpenUsbLookup(
        LookUpUsbPort(1, registry),
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
