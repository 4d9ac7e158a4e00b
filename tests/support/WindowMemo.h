// The message area as the adjustment window keeps it: a kind other than Append or NewLine
// replaces the text; the kinds shown are kept in order.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "adjust/procedures/Messages.h"

namespace vantor::test {

class WindowMemo final : public MessageDisplay {
 public:
  void Show(MessageKind kind, std::string_view text) override {
    kinds.push_back(kind);
    if (kind == MessageKind::Append && !lines.empty())
      lines.back() += text;
    else if (kind == MessageKind::NewLine)
      lines.emplace_back(text);
    else
      lines.assign(1, std::string(text));
    if (kind != MessageKind::Append && kind != MessageKind::NewLine) opening = kind;
  }
  bool MessageAreaEmpty() const override { return lines.empty(); }
  bool Question(std::string_view, std::string_view) override { return answer; }

  std::vector<std::string> lines;
  std::vector<MessageKind> kinds;
  MessageKind opening = MessageKind::Replace;  // the kind that began the text shown
  bool answer = false;                         // OK or Cancel to every question
};

}  // namespace vantor::test
