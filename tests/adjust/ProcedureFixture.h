// A procedure against the virtual printer on a started link, its messages kept as lines.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "adjust/procedures/Messages.h"
#include "link/Link.h"
#include "sim/VirtualPrinter.h"

namespace vantor::test {

class Memo final : public MessageDisplay {
 public:
  void Show(MessageKind kind, std::string_view text) override {
    if (kind == MessageKind::Append && !lines.empty()) {
      lines.back() += text;
    } else {
      lines.emplace_back(text);
    }
  }
  std::vector<std::string> lines;
};

class ProcedureFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    printer.AttachTo(table);
    link.channel.SetModel(Model::Q40);
    ASSERT_EQ(link.port.OpenPort(0x501), kOk);
    ASSERT_EQ(link.channel.StartLink(), kOk);
  }

  VirtualClock clock;
  sim::VirtualPrinter printer{clock, Model::Q40};
  PortTable table;
  Link link{table, clock};
  Memo memo;
  Reporter reporter{link, memo};
};

}  // namespace vantor::test
