// A procedure against the virtual printer on a started link, its messages kept as lines.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "adjust/procedures/ProcedureContext.h"
#include "link/Link.h"
#include "tests/support/VirtualBench.h"

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

class ProcedureFixture : public ::testing::Test, protected VirtualBench {
 protected:
  void SetUp() override { ASSERT_TRUE(Start()); }

  Memo memo;
  ProcedureContext& bench = Procedures(memo);
  Reporter& reporter = bench.reporter;
};

}  // namespace vantor::test
