// Reads a print-data stream back into commands, checking every raster line's runs on the way.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace vantor::test {

struct Band {
  std::uint8_t colour = 0;  // colour byte of the header
  int width = 0;
  int lines = 0;
  std::vector<std::vector<std::uint8_t>> rows;  // decoded bytes
};

struct Item {
  // "init", "ESC(G", "ESC(U", "ESC(e", "ESC(K", "ESC(v", "ESC(D", "ESC(S", "ESC(c", "ESCU",
  // "ESC$", "band", "CR", "LF", "FF", "text".
  std::string kind;
  std::vector<std::uint8_t> params;
  std::string text;
  Band band;
  std::size_t offset = 0;
};

// Fails the current test on any byte it cannot place.
inline std::vector<Item> Decode(std::span<const std::uint8_t> s) {
  std::vector<Item> items;
  std::size_t i = 0;
  const auto need = [&](std::size_t n) {
    if (i + n > s.size()) {
      ADD_FAILURE() << "stream ends inside a command at " << i;
      return false;
    }
    return true;
  };
  while (i < s.size()) {
    Item item;
    item.offset = i;
    const std::uint8_t b = s[i];
    if (b == 0x1B) {
      if (!need(2)) break;
      const std::uint8_t c = s[i + 1];
      if (c == 0x40) {
        item.kind = "init";
        i += 2;
      } else if (c == 0x55) {
        if (!need(3)) break;
        item.kind = "ESCU";
        item.params = {s[i + 2]};
        i += 3;
      } else if (c == 0x24) {
        if (!need(4)) break;
        item.kind = "ESC$";
        item.params = {s[i + 2], s[i + 3]};
        i += 4;
      } else if (c == 0x28) {
        if (!need(5)) break;
        const std::size_t n = s[i + 3] | (s[i + 4] << 8);
        if (!need(5 + n)) break;
        item.kind = std::string("ESC(") + static_cast<char>(s[i + 2]);
        item.params.assign(s.begin() + i + 5, s.begin() + i + 5 + n);
        i += 5 + n;
      } else if (c == 0x69) {
        if (!need(9)) break;
        item.kind = "band";
        Band& band = item.band;
        band.colour = s[i + 2];
        EXPECT_EQ(s[i + 3], 1) << "compression at " << i;
        EXPECT_EQ(s[i + 4], 2) << "bits per dot at " << i;
        band.width = s[i + 5] | (s[i + 6] << 8);
        band.lines = s[i + 7] | (s[i + 8] << 8);
        i += 9;
        for (int line = 0; line < band.lines; ++line) {
          std::vector<std::uint8_t> row;
          while (static_cast<int>(row.size()) < band.width) {
            if (!need(2)) return items;
            const int count = s[i] == 0 ? 1 : 257 - s[i];
            if (s[i] != 0 && s[i] < 0x80) {
              ADD_FAILURE() << "literal run longer than one byte at " << i;
              return items;
            }
            row.insert(row.end(), count, s[i + 1]);
            i += 2;
          }
          if (static_cast<int>(row.size()) != band.width) {
            ADD_FAILURE() << "runs of line " << line + 1 << " add up to " << row.size() << ", not "
                          << band.width;
            return items;
          }
          band.rows.push_back(std::move(row));
        }
      } else {
        ADD_FAILURE() << "unknown escape " << int(c) << " at " << i;
        break;
      }
    } else if (b == 0x0D || b == 0x0A || b == 0x0C) {
      item.kind = b == 0x0D ? "CR" : b == 0x0A ? "LF" : "FF";
      ++i;
    } else {
      item.kind = "text";
      while (i < s.size() && s[i] != 0x1B && s[i] != 0x0D && s[i] != 0x0A && s[i] != 0x0C)
        item.text.push_back(static_cast<char>(s[i++]));
    }
    items.push_back(std::move(item));
  }
  return items;
}

inline std::vector<const Item*> OfKind(const std::vector<Item>& items, const std::string& kind) {
  std::vector<const Item*> out;
  for (const Item& item : items)
    if (item.kind == kind) out.push_back(&item);
  return out;
}

// The bytes of a line between first and last inclusive, all equal to value.
inline bool Solid(const std::vector<std::uint8_t>& row, int first, int last, std::uint8_t value) {
  for (int x = first; x <= last; ++x)
    if (row[static_cast<std::size_t>(x)] != value) return false;
  return true;
}

// Positions of the bytes in a line that are not blank.
inline std::vector<int> Marks(const std::vector<std::uint8_t>& row) {
  std::vector<int> at;
  for (std::size_t x = 0; x < row.size(); ++x)
    if (row[x] != 0) at.push_back(static_cast<int>(x));
  return at;
}

}  // namespace vantor::test
