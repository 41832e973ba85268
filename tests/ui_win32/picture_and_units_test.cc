// The Win32 backend's parts that do not need the window system: the PNG files of its
// pictures and the dialog units of its templates.
#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "ui/win32/dialog_template.h"
#include "ui/win32/png_file.h"

namespace px::win32 {
namespace {

uint32_t BigEndian(const std::string& s, size_t at) {
  return (static_cast<uint32_t>(static_cast<uint8_t>(s[at])) << 24) |
         (static_cast<uint32_t>(static_cast<uint8_t>(s[at + 1])) << 16) |
         (static_cast<uint32_t>(static_cast<uint8_t>(s[at + 2])) << 8) |
         static_cast<uint32_t>(static_cast<uint8_t>(s[at + 3]));
}

// Reads the file back as a decoder does: every chunk's checksum, the header, and the
// pixel rows inflated from the data.
TEST(PngFileTest, ReadsBackAsWritten) {
  const int width = 3, height = 2;
  std::vector<uint8_t> rgb;
  for (int i = 0; i < width * height * 3; ++i) rgb.push_back(static_cast<uint8_t>(i * 13));
  const std::string png = EncodePng(width, height, rgb);
  ASSERT_EQ(png.substr(0, 8), std::string("\x89PNG\r\n\x1a\n", 8));
  std::vector<std::string> types;
  std::string header, data;
  for (size_t at = 8; at + 12 <= png.size();) {
    const uint32_t length = BigEndian(png, at);
    ASSERT_LE(at + 12 + length, png.size());
    const std::string type = png.substr(at + 4, 4);
    const auto* checked = reinterpret_cast<const Bytef*>(png.data() + at + 4);
    EXPECT_EQ(BigEndian(png, at + 8 + length), crc32(0, checked, length + 4)) << type;
    if (type == "IHDR") header = png.substr(at + 8, length);
    if (type == "IDAT") data += png.substr(at + 8, length);
    types.push_back(type);
    at += 12 + length;
  }
  EXPECT_EQ(types, (std::vector<std::string>{"IHDR", "IDAT", "IEND"}));
  ASSERT_EQ(header.size(), 13u);
  EXPECT_EQ(BigEndian(header, 0), 3u);
  EXPECT_EQ(BigEndian(header, 4), 2u);
  EXPECT_EQ(header.substr(8), std::string("\x08\x02\x00\x00\x00", 5));
  std::string rows(static_cast<size_t>((width * 3 + 1) * height), '\0');
  uLongf rows_size = rows.size();
  ASSERT_EQ(uncompress(reinterpret_cast<Bytef*>(rows.data()), &rows_size,
                       reinterpret_cast<const Bytef*>(data.data()), data.size()),
            Z_OK);
  for (int y = 0; y < height; ++y) {
    const std::string row = rows.substr(static_cast<size_t>(y * (width * 3 + 1)), width * 3 + 1);
    EXPECT_EQ(row[0], '\0');  // no filter
    EXPECT_EQ(row.substr(1),
              std::string(rgb.begin() + y * width * 3, rgb.begin() + (y + 1) * width * 3));
  }
  // Sizes that do not fit the pixels give no file.
  EXPECT_EQ(EncodePng(0, 2, {}), "");
  EXPECT_EQ(EncodePng(2, 2, rgb), "");
}

// Pixels put into dialog units and back land within half a unit of where they were,
// for the base units of small and large fonts.
TEST(DialogUnitsTest, PixelsComeBackWithinHalfAUnit) {
  for (const DialogUnits u :
       {DialogUnits{5, 11}, DialogUnits{6, 13}, DialogUnits{7, 16}, DialogUnits{9, 19}}) {
    for (int p = 0; p <= 800; ++p) {
      SCOPED_TRACE(std::to_string(u.base_x) + "x" + std::to_string(u.base_y) + " at " +
                   std::to_string(p));
      EXPECT_LE(std::abs(u.PixelsAcross(u.AcrossFromPixels(p)) - p), (u.base_x + 7) / 8);
      EXPECT_LE(std::abs(u.PixelsDown(u.DownFromPixels(p)) - p), (u.base_y + 15) / 16);
    }
  }
}

}  // namespace
}  // namespace px::win32
