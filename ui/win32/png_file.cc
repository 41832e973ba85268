#include "ui/win32/png_file.h"

#include <zlib.h>

namespace px::win32 {

namespace {

void PutBigEndian(std::string* out, uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8)
    out->push_back(static_cast<char>((v >> shift) & 0xFF));
}

// A chunk: its length, its type, its data and the CRC of type and data.
void PutChunk(std::string* out, const char type[4], const std::string& data) {
  PutBigEndian(out, static_cast<uint32_t>(data.size()));
  const size_t start = out->size();
  out->append(type, 4);
  out->append(data);
  const auto* bytes = reinterpret_cast<const Bytef*>(out->data() + start);
  PutBigEndian(out, static_cast<uint32_t>(crc32(0, bytes, static_cast<uInt>(out->size() - start))));
}

}  // namespace

std::string EncodePng(int width, int height, const std::vector<uint8_t>& rgb) {
  if (width <= 0 || height <= 0) return "";
  const size_t row = static_cast<size_t>(width) * 3;
  if (rgb.size() != row * static_cast<size_t>(height)) return "";
  // Each row is preceded by its filter type, 0 (none).
  std::string raw;
  raw.reserve((row + 1) * static_cast<size_t>(height));
  for (int y = 0; y < height; ++y) {
    raw.push_back('\0');
    raw.append(reinterpret_cast<const char*>(rgb.data()) + row * static_cast<size_t>(y), row);
  }
  uLongf packed_size = compressBound(static_cast<uLong>(raw.size()));
  std::string packed(packed_size, '\0');
  if (compress2(reinterpret_cast<Bytef*>(packed.data()), &packed_size,
                reinterpret_cast<const Bytef*>(raw.data()), static_cast<uLong>(raw.size()),
                Z_BEST_SPEED) != Z_OK) {
    return "";
  }
  packed.resize(packed_size);

  std::string header;
  PutBigEndian(&header, static_cast<uint32_t>(width));
  PutBigEndian(&header, static_cast<uint32_t>(height));
  header +=
      std::string("\x08\x02\x00\x00\x00", 5);  // depth 8, RGB, deflate, no filter, no interlace
  std::string out("\x89PNG\r\n\x1a\n", 8);
  PutChunk(&out, "IHDR", header);
  PutChunk(&out, "IDAT", packed);
  PutChunk(&out, "IEND", "");
  return out;
}

}  // namespace px::win32
