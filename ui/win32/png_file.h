// Writing a picture as a PNG file (8-bit RGB, no interlacing), compressed with zlib.
#ifndef PX_UI_WIN32_PNG_FILE_H_
#define PX_UI_WIN32_PNG_FILE_H_

#include <cstdint>
#include <string>
#include <vector>

namespace px::win32 {

// The PNG file's bytes for a picture of width x height pixels given row by row, top
// row first, three bytes (red, green, blue) a pixel. Empty when the sizes do not fit the
// pixels or compression fails.
std::string EncodePng(int width, int height, const std::vector<uint8_t>& rgb);

}  // namespace px::win32

#endif  // PX_UI_WIN32_PNG_FILE_H_
