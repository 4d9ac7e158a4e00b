#include "PortDevice.h"

namespace vantor {

void PortTable::Set(std::string_view name, std::string description, Opener opener) {
  entries_.insert_or_assign(std::string(name), Entry{std::move(description), std::move(opener)});
}

bool PortTable::Has(std::string_view name) const {
  return entries_.find(name) != entries_.end();
}

std::string PortTable::Describe(std::string_view name) const {
  const auto it = entries_.find(name);
  return it == entries_.end() ? std::string() : it->second.description;
}

std::unique_ptr<PortDevice> PortTable::Open(std::string_view name, InterfaceKind kind,
                                            OpenFailure& why) const {
  const auto it = entries_.find(name);
  if (it == entries_.end() || !it->second.opener) {
    why.reason = "no device is configured for " + std::string(name);
    return nullptr;
  }
  return it->second.opener(kind, why);
}

}  // namespace vantor
