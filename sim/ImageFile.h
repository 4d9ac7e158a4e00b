// Small state files read whole and replaced atomically, one implementation per platform. Always
// binary: the bytes on disk are the bytes in memory.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace vantor::sim {

enum class ReadOutcome { Read, Missing, WrongSize, Failed };

// Fills `out` from the file when it holds exactly out.size() bytes; `error` says why on Failed.
ReadOutcome ReadWholeImage(const std::string& path, std::span<std::uint8_t> out,
                           std::string& error);

// Writes a temporary file beside the target, flushes it to disk and puts it in the target's
// place in one step, so a crash leaves either the old contents or the new, never a mixture.
bool ReplaceAtomically(const std::string& path, std::span<const std::uint8_t> bytes,
                       std::string& error);

}  // namespace vantor::sim
