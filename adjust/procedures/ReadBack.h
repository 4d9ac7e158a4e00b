// An operation's EEPROM writes in the technician's words: every byte goes through the link's
// one verified path, and only what the EEPROM holds afterwards is reported as registered.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>

#include "adjust/procedures/ProcedureContext.h"
#include "link/VerifiedWrites.h"

namespace vantor::procedures {

// How a value read back is written: a Bi-D or PF value is signed, a top margin is not, a raw
// EEPROM byte is hexadecimal.
enum class Shown : std::uint8_t { Signed, Unsigned, Hex };

struct ByteName {
  std::string name;  // as the window names the value: "VSD3 Color"
  std::string text;  // as the technician gave it: "9", "+3"
  Shown shown = Shown::Signed;
};

class CheckedWrites {
 public:
  explicit CheckedWrites(ProcedureContext& context)
      : context_(context), path_(context.link.channel) {}

  // For the link's sequences and the ID modules, which write through it.
  VerifiedWrites& Path() { return path_; }
  // A byte without a name is "EEPROM byte 5D" with its value in hexadecimal.
  void Name(std::uint8_t address, ByteName name) { names_[address] = std::move(name); }
  bool Confirmed(std::uint8_t address) const;

  // Reads back when the writes went; a reading failure is returned unreported.
  Result Verify(Result written) { return path_.Verify(written); }
  // Reports `failure` (the writes' or the reading's), then names in red every byte that is not
  // confirmed but the one whose write failed. Returns the failure, kNotConfirmed (reported) when
  // the reading went well but a byte does not hold, or kOk.
  Result ReportUnconfirmed(Result failure);
  // Both.
  Result Confirm(Result written) { return ReportUnconfirmed(Verify(written)); }

  // The service record's entry: each byte's before, intended value and outcome, and the
  // operation's result, which names the bytes not confirmed, or says that all were before a
  // later failure.
  void Record(std::string_view operation, Result result);

 private:
  ByteName NameOf(const ByteWrite& b) const;

  ProcedureContext& context_;
  VerifiedWrites path_;
  std::map<std::uint8_t, ByteName> names_;
};

}  // namespace vantor::procedures
