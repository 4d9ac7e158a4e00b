#include "tests/report/PdfText.h"

#include <zlib.h>

#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <sstream>
#include <vector>

namespace vantor::test {

namespace {

struct Object {
  std::string dict;
  std::string stream;  // inflated
};

bool Inflate(const std::string& in, std::string& out) {
  z_stream z{};
  if (inflateInit(&z) != Z_OK) return false;
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.data()));
  z.avail_in = static_cast<uInt>(in.size());
  char buffer[16384];
  int r = Z_OK;
  while (r == Z_OK) {
    z.next_out = reinterpret_cast<Bytef*>(buffer);
    z.avail_out = sizeof buffer;
    r = inflate(&z, Z_NO_FLUSH);
    out.append(buffer, sizeof buffer - z.avail_out);
  }
  inflateEnd(&z);
  return r == Z_STREAM_END;
}

// The number after key in dict ("/Length 239"), or -1.
long NumberAfter(const std::string& dict, const std::string& key) {
  const auto at = dict.find(key);
  if (at == std::string::npos) return -1;
  return std::strtol(dict.c_str() + at + key.size(), nullptr, 10);
}

// Objects by number; streams with a direct length, as a browser writes them.
std::map<int, Object> Objects(const std::string& pdf) {
  std::map<int, Object> objects;
  std::size_t pos = 0;
  while ((pos = pdf.find(" 0 obj", pos)) != std::string::npos) {
    std::size_t start = pos;
    while (start > 0 && std::isdigit(static_cast<unsigned char>(pdf[start - 1]))) --start;
    const int number = std::atoi(pdf.c_str() + start);
    std::size_t body = pos + 6;
    const std::size_t end = pdf.find("endobj", body);
    const std::size_t stream = pdf.find("stream", body);
    Object o;
    if (stream != std::string::npos && stream < end) {
      o.dict = pdf.substr(body, stream - body);
      std::size_t data = stream + 6;
      if (data < pdf.size() && pdf[data] == '\r') ++data;
      if (data < pdf.size() && pdf[data] == '\n') ++data;
      const long length = NumberAfter(o.dict, "/Length ");
      if (length < 0 || data + static_cast<std::size_t>(length) > pdf.size()) break;
      o.stream = pdf.substr(data, static_cast<std::size_t>(length));
      if (o.dict.find("/FlateDecode") != std::string::npos) {
        std::string inflated;
        if (Inflate(o.stream, inflated)) o.stream = inflated;
      }
      pos = data + static_cast<std::size_t>(length);
    } else {
      o.dict = pdf.substr(body, end - body);
      pos = end;
    }
    objects[number] = std::move(o);
  }
  return objects;
}

void AppendUtf8(std::string& out, std::uint32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | c >> 6);
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | c >> 12);
    out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

using CMap = std::map<std::uint32_t, std::uint32_t>;

std::uint32_t Hex(const std::string& text) {
  return static_cast<std::uint32_t>(std::strtoul(text.c_str(), nullptr, 16));
}

// bfchar "<src> <dst>" and bfrange "<lo> <hi> <dst>" lines, single code units.
CMap ParseCMap(const std::string& text) {
  CMap map;
  std::istringstream lines(text);
  bool chars = false, ranges = false;
  for (std::string line; std::getline(lines, line);) {
    if (line.find("beginbfchar") != std::string::npos) chars = true;
    if (line.find("endbfchar") != std::string::npos) chars = false;
    if (line.find("beginbfrange") != std::string::npos) ranges = true;
    if (line.find("endbfrange") != std::string::npos) ranges = false;
    std::vector<std::string> hex;
    for (std::size_t a = line.find('<'); a != std::string::npos; a = line.find('<', a + 1)) {
      const std::size_t b = line.find('>', a);
      if (b == std::string::npos) break;
      hex.push_back(line.substr(a + 1, b - a - 1));
      a = b;
    }
    if (chars && hex.size() == 2) map[Hex(hex[0])] = Hex(hex[1]);
    if (ranges && hex.size() == 3) {
      for (std::uint32_t g = Hex(hex[0]), u = Hex(hex[2]); g <= Hex(hex[1]); ++g, ++u) map[g] = u;
    }
  }
  return map;
}

// The text a content stream shows: hex strings of two-byte glyph codes under Tf's font.
std::string ShowText(const std::string& content, const std::map<std::string, const CMap*>& fonts) {
  std::string text, font;
  std::vector<std::string> operands;
  const auto show = [&](const std::string& hex) {
    const auto f = fonts.find(font);
    for (std::size_t i = 0; i + 4 <= hex.size(); i += 4) {
      const std::uint32_t glyph = Hex(hex.substr(i, 4));
      if (f != fonts.end()) {
        if (const auto u = f->second->find(glyph); u != f->second->end())
          AppendUtf8(text, u->second);
      }
    }
  };
  std::size_t i = 0;
  while (i < content.size()) {
    const char c = content[i];
    if (std::isspace(static_cast<unsigned char>(c))) {
      ++i;
    } else if (c == '<' && i + 1 < content.size() && content[i + 1] != '<') {
      const std::size_t end = content.find('>', i);
      if (end == std::string::npos) break;
      operands.push_back(content.substr(i + 1, end - i - 1));
      i = end + 1;
    } else if (c == '[') {
      const std::size_t end = content.find(']', i);
      if (end == std::string::npos) break;
      operands.push_back(content.substr(i, end - i + 1));
      i = end + 1;
    } else if (c == '/') {
      std::size_t end = i + 1;
      while (end < content.size() && !std::isspace(static_cast<unsigned char>(content[end])) &&
             content[end] != '/' && content[end] != '<' && content[end] != '[')
        ++end;
      operands.push_back(content.substr(i, end - i));
      i = end;
    } else if (c == '<' || c == '>' || c == '(' || c == ')') {
      ++i;
    } else {
      std::size_t end = i;
      while (end < content.size() && !std::isspace(static_cast<unsigned char>(content[end])) &&
             content[end] != '/' && content[end] != '<' && content[end] != '[' &&
             content[end] != '>')
        ++end;
      if (end == i) ++end;
      const std::string word = content.substr(i, end - i);
      i = end;
      if (std::isdigit(static_cast<unsigned char>(word[0])) || word[0] == '-' || word[0] == '.') {
        operands.push_back(word);
        continue;
      }
      if (word == "Tf" && operands.size() >= 2) font = operands[operands.size() - 2];
      if (word == "Tj" && !operands.empty()) show(operands.back());
      if (word == "TJ" && !operands.empty()) {
        const std::string& array = operands.back();
        for (std::size_t a = array.find('<'); a != std::string::npos; a = array.find('<', a + 1)) {
          const std::size_t b = array.find('>', a);
          if (b == std::string::npos) break;
          show(array.substr(a + 1, b - a - 1));
          a = b;
        }
      }
      if (word == "ET") text += '\n';
      operands.clear();
    }
  }
  return text;
}

// "/F4 4 0 R" pairs inside the page's /Font dictionary.
std::map<std::string, int> FontNames(const std::string& dict) {
  std::map<std::string, int> names;
  const std::size_t at = dict.find("/Font <<");
  if (at == std::string::npos) return names;
  const std::size_t end = dict.find(">>", at);
  std::istringstream words(dict.substr(at + 8, end - at - 8));
  std::string name, zero, r;
  int number = 0;
  while (words >> name >> number >> zero >> r) names[name] = number;
  return names;
}

}  // namespace

bool ReadPdf(const std::string& bytes, PdfFacts& facts, std::string& why) {
  if (bytes.rfind("%PDF-", 0) != 0) {
    why = "not a PDF";
    return false;
  }
  const std::map<int, Object> objects = Objects(bytes);
  std::map<int, CMap> cmaps;  // by font object
  for (const auto& [number, o] : objects) {
    const long unicode = NumberAfter(o.dict, "/ToUnicode ");
    if (unicode < 0) continue;
    if (const auto m = objects.find(static_cast<int>(unicode)); m != objects.end())
      cmaps[number] = ParseCMap(m->second.stream);
  }
  facts = {};
  for (const auto& [number, o] : objects) {
    const std::size_t type = o.dict.find("/Type /Page");
    if (type == std::string::npos || o.dict.compare(type, 12, "/Type /Pages") == 0) continue;
    if (++facts.pages == 1) {
      const std::size_t box = o.dict.find("/MediaBox [");
      if (box != std::string::npos) {
        std::istringstream values(o.dict.substr(box + 11));
        double x0 = 0, y0 = 0;
        values >> x0 >> y0 >> facts.width >> facts.height;
      }
    }
    std::map<std::string, const CMap*> fonts;
    for (const auto& [name, font] : FontNames(o.dict)) {
      if (const auto c = cmaps.find(font); c != cmaps.end()) fonts[name] = &c->second;
    }
    const long contents = NumberAfter(o.dict, "/Contents ");
    if (const auto c = objects.find(static_cast<int>(contents)); c != objects.end())
      facts.text += ShowText(c->second.stream, fonts);
  }
  if (facts.pages == 0) {
    why = "no page in the PDF";
    return false;
  }
  return true;
}

}  // namespace vantor::test
