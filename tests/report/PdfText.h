// Just enough of a PDF reader to check what a browser printed: the pages, their size and the
// text they show (through the fonts' ToUnicode maps).
#pragma once

#include <string>

namespace vantor::test {

struct PdfFacts {
  int pages = 0;
  double width = 0, height = 0;  // the first page's media box, in points
  std::string text;              // each text object on a line of its own
};

// False with the reason for bytes that are not such a PDF.
bool ReadPdf(const std::string& bytes, PdfFacts& facts, std::string& why);

}  // namespace vantor::test
