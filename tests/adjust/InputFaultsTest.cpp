// The line under "Input data is wrong.": which field, and why.
#include <gtest/gtest.h>

#include "adjust/procedures/InputFaults.h"
#include "adjust/procedures/TopMarginProcedure.h"

namespace vantor::procedures {
namespace {

TEST(InputFaults, EepromEntriesNameTheFieldAndTheFault) {
  const struct {
    std::string got, want;
  } cases[] = {
      {EepromRangeFault("00", "FF"), ""},
      {EepromRangeFault("20", "20"), ""},
      {EepromRangeFault("", "10"), "Start address: empty; two hexadecimal digits are needed."},
      {EepromRangeFault("5", "10"),
       "Start address: one character; two hexadecimal digits are needed."},
      {EepromRangeFault("G0", "10"), "Start address: \"G0\" is not hexadecimal."},
      {EepromRangeFault("100", "10"), "Start address: \"100\" is more than two digits."},
      {EepromRangeFault("10", "1G"), "End address: \"1G\" is not hexadecimal."},
      {EepromRangeFault("F0", "0F"), "End address: 0F is below the start address F0."},
      {EepromChangeFault("5D", "0E"), ""},
      {EepromChangeFault("X1", "00"), "Address: \"X1\" is not hexadecimal."},
      {EepromChangeFault("5D", "E"), "Data: one character; two hexadecimal digits are needed."},
  };
  for (const auto& c : cases) EXPECT_EQ(c.got, c.want);
}

TEST(InputFaults, PfValueAndTopMarginEntry) {
  TopMarginList read;
  read.filled = true;
  read.group = kTopMarginLadderLow;
  const struct {
    std::string got, want;
  } cases[] = {
      {PfValueFault("-4"), ""},
      {PfValueFault(" 4 "), ""},
      {PfValueFault("-5"), "PF value: -5 is outside -4 to 4."},
      {PfValueFault("252"), "PF value: 252 is outside -4 to 4."},
      {PfValueFault("x"), "PF value: \"x\" is not a whole number."},
      {PfValueFault(""), "PF value: empty; a whole number is needed."},
      {TopMarginFault({}, 0), "Top margin: no list of entries was read."},
      {TopMarginFault(read, -1), "Top margin: no entry chosen."},
      {TopMarginFault(read, 0), ""},
  };
  for (const auto& c : cases) EXPECT_EQ(c.got, c.want);
}

}  // namespace
}  // namespace vantor::procedures
