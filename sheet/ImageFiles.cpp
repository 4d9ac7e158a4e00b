// The image files technicians send: PNG from the tool's own flow, JPEG and TIFF as scanners
// and phones save them. Each is decoded to 8-bit RGB and handed to FromPixels.
#include <png.h>

#include <algorithm>
#include <array>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "sheet/SheetImage.h"

#if VANTOR_SHEET_JPEG
#include <csetjmp>
// jpeglib.h needs FILE and size_t declared first.
#include <jpeglib.h>
#endif
#if VANTOR_SHEET_TIFF
#include <tiffio.h>
#endif

namespace vantor::sheet {

namespace {

// A legal-size scanner bed at 1200 dpi, with room to spare; the file's pixels are held at four
// bytes each until the reading takes them down to its working resolution.
constexpr std::uint64_t kMaxPixels = 180'000'000;
constexpr std::uint32_t kMaxSide = 20'000;

// Checked against the header before anything is allocated: a damaged or hostile header may
// claim any size.
bool SizeAllowed(const std::string& path, std::uint64_t width, std::uint64_t height,
                 std::string& error) {
  if (width * height <= kMaxPixels && std::max(width, height) <= kMaxSide) return true;
  error = path + ": the image is too large to be a scan of a sheet (" + std::to_string(width) +
          " x " + std::to_string(height) + " pixels; scan at 100 to 1200 dpi)";
  return false;
}

std::string Unreadable(const std::string& path, const std::string& reason) {
  return path + ": not a readable PNG image, JPEG or TIFF file (" + reason + ")";
}

bool LoadPngFile(const std::string& path, SheetImage& image, std::string& error) {
  png_image png{};
  png.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&png, path.c_str())) {
    error = path + ": not a readable PNG image (" + png.message + ")";
    return false;
  }
  if (!SizeAllowed(path, png.width, png.height, error)) {
    png_image_free(&png);
    return false;
  }
  // Scanners write 16-bit samples coded like 8-bit ones, without saying so; a file that does
  // say it is linear is still converted.
  png.flags |= PNG_IMAGE_FLAG_16BIT_sRGB;
  png.format = PNG_FORMAT_RGB;
  std::vector<std::uint8_t> rgb(PNG_IMAGE_SIZE(png));
  // Transparent parts are paper, not ink.
  const png_color white{255, 255, 255};
  if (!png_image_finish_read(&png, &white, rgb.data(), 0, nullptr)) {
    error = path + ": the PNG image is damaged (" + png.message + ")";
    png_image_free(&png);
    return false;
  }
  image = FromPixels(static_cast<int>(png.width), static_cast<int>(png.height), 3, rgb.data());
  return true;
}

#if VANTOR_SHEET_JPEG
struct JpegFailure {
  jpeg_error_mgr manager{};
  std::jmp_buf jump{};
  std::string message;
};

void JpegExit(j_common_ptr info) {
  auto* failure = reinterpret_cast<JpegFailure*>(info->err);
  char text[JMSG_LENGTH_MAX] = {};
  (*info->err->format_message)(info, text);
  failure->message = text;
  std::longjmp(failure->jump, 1);
}

void JpegQuiet(j_common_ptr, int) {}

// Plain data only between setjmp and longjmp: the buffers live in the caller.
bool DecodeJpeg(std::FILE* file, const std::string& path, std::vector<std::uint8_t>& rgb,
                int& width, int& height, std::string& error) {
  jpeg_decompress_struct info{};
  JpegFailure failure;
  // Declared before the jump point: a longjmp skips the destructors of what comes after it.
  std::vector<std::uint8_t> row;
  info.err = jpeg_std_error(&failure.manager);
  failure.manager.error_exit = JpegExit;
  failure.manager.emit_message = JpegQuiet;
  if (setjmp(failure.jump)) {
    jpeg_destroy_decompress(&info);
    error = path + ": the JPEG image is damaged (" + failure.message + ")";
    return false;
  }
  jpeg_create_decompress(&info);
  jpeg_stdio_src(&info, file);
  jpeg_read_header(&info, TRUE);
  if (!SizeAllowed(path, info.image_width, info.image_height, error)) {
    jpeg_destroy_decompress(&info);
    return false;
  }
  const bool cmyk = info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK;
  info.out_color_space = cmyk ? JCS_CMYK : JCS_RGB;
  jpeg_start_decompress(&info);
  width = static_cast<int>(info.output_width);
  height = static_cast<int>(info.output_height);
  const auto channels = static_cast<std::size_t>(info.output_components);
  row.resize(static_cast<std::size_t>(width) * channels);
  rgb.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 3, 255);
  while (info.output_scanline < info.output_height) {
    JSAMPROW rows[1] = {row.data()};
    const auto y = static_cast<std::size_t>(info.output_scanline);
    jpeg_read_scanlines(&info, rows, 1);
    std::uint8_t* out = &rgb[y * static_cast<std::size_t>(width) * 3];
    for (std::size_t x = 0; x < static_cast<std::size_t>(width); ++x) {
      const std::uint8_t* p = &row[x * channels];
      if (cmyk) {
        // Scanners and image tools write CMYK JPEG inverted: 255 is no ink.
        for (std::size_t c = 0; c < 3; ++c)
          out[3 * x + c] = static_cast<std::uint8_t>(p[c] * p[3] / 255);
      } else {
        std::copy_n(p, 3, &out[3 * x]);
      }
    }
  }
  jpeg_finish_decompress(&info);
  jpeg_destroy_decompress(&info);
  return true;
}

bool LoadJpegFile(const std::string& path, SheetImage& image, std::string& error) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) {
    error = Unreadable(path, "cannot be opened");
    return false;
  }
  std::vector<std::uint8_t> rgb;
  int width = 0, height = 0;
  const bool ok = DecodeJpeg(file, path, rgb, width, height, error);
  std::fclose(file);
  if (ok) image = FromPixels(width, height, 3, rgb.data());
  return ok;
}
#endif

#if VANTOR_SHEET_TIFF
// libtiff reports through process-wide handlers; the last message is kept for the words.
thread_local std::string tiffMessage;

void TiffError(const char*, const char* format, va_list args) {
  char text[512];
  std::vsnprintf(text, sizeof text, format, args);
  tiffMessage = text;
}

bool LoadTiffFile(const std::string& path, SheetImage& image, std::string& error) {
  TIFFSetErrorHandler(TiffError);
  TIFFSetWarningHandler(nullptr);
  tiffMessage.clear();
  TIFF* tiff = TIFFOpen(path.c_str(), "r");
  if (!tiff) {
    error = path + ": the TIFF image is damaged (" + tiffMessage + ")";
    return false;
  }
  std::uint32_t width = 0, height = 0;
  TIFFGetField(tiff, TIFFTAG_IMAGEWIDTH, &width);
  TIFFGetField(tiff, TIFFTAG_IMAGELENGTH, &height);
  if (width == 0 || height == 0 || !SizeAllowed(path, width, height, error)) {
    if (error.empty()) error = path + ": the TIFF image is damaged (no size)";
    TIFFClose(tiff);
    return false;
  }
  std::vector<std::uint32_t> abgr(static_cast<std::size_t>(width) * height);
  // Strips or tiles, grey, palette, RGB, CMYK or YCbCr, 1 to 16 bits: libtiff's own
  // conversion knows them all.
  const bool ok =
      TIFFReadRGBAImageOriented(tiff, width, height, abgr.data(), ORIENTATION_TOPLEFT, 0) != 0;
  TIFFClose(tiff);
  if (!ok) {
    error = path + ": the TIFF image is damaged (" + tiffMessage + ")";
    return false;
  }
  std::vector<std::uint8_t> rgb(abgr.size() * 3);
  for (std::size_t i = 0; i < abgr.size(); ++i) {
    // Transparent parts are paper, as in a PNG.
    const std::uint32_t p = abgr[i];
    const std::uint32_t alpha = TIFFGetA(p);
    const std::uint32_t channel[3] = {TIFFGetR(p), TIFFGetG(p), TIFFGetB(p)};
    for (std::size_t c = 0; c < 3; ++c)
      rgb[3 * i + c] = static_cast<std::uint8_t>((channel[c] * alpha + 255 * (255 - alpha)) / 255);
  }
  image = FromPixels(static_cast<int>(width), static_cast<int>(height), 3, rgb.data());
  return true;
}
#endif

}  // namespace

std::string ImagePatterns() {
  std::string patterns = "*.png";
#if VANTOR_SHEET_JPEG
  patterns += " *.jpg *.jpeg";
#endif
#if VANTOR_SHEET_TIFF
  patterns += " *.tif *.tiff";
#endif
  return patterns;
}

bool LoadImage(const std::string& path, SheetImage& image, std::string& error) {
  std::array<unsigned char, 8> head{};
  {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
      error = Unreadable(path, "cannot be opened");
      return false;
    }
    in.read(reinterpret_cast<char*>(head.data()), head.size());
  }
  const auto starts = [&](std::initializer_list<unsigned char> magic) {
    return std::equal(magic.begin(), magic.end(), head.begin());
  };
  if (starts({0x89, 'P', 'N', 'G'})) return LoadPngFile(path, image, error);
  if (starts({0xFF, 0xD8, 0xFF})) {
#if VANTOR_SHEET_JPEG
    return LoadJpegFile(path, image, error);
#else
    error = path + ": this build reads no JPEG; save the scan as PNG";
    return false;
#endif
  }
  if (starts({'I', 'I', 42, 0}) || starts({'M', 'M', 0, 42})) {
#if VANTOR_SHEET_TIFF
    return LoadTiffFile(path, image, error);
#else
    error = path + ": this build reads no TIFF; save the scan as PNG";
    return false;
#endif
  }
  error = Unreadable(path, "the file is of another kind");
  return false;
}

}  // namespace vantor::sheet
