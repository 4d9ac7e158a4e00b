// Small state files read whole, one implementation per platform. Always binary: the bytes on
// disk are the bytes in memory.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace vantor::sim {

enum class ReadOutcome { Read, Missing, WrongSize, CannotRead, CannotOpen };

// Fills `out` from the file when it is a plain file of exactly out.size() bytes; on CannotRead
// and CannotOpen `reason` holds the system's words.
ReadOutcome ReadWholeImage(const std::string& path, std::span<std::uint8_t> out,
                           std::string& reason);

}  // namespace vantor::sim
