#include "ui/win32/window_picture.h"

#include <cstdint>
#include <cstdio>
#include <vector>

#include "runtime/win32_text.h"
#include "ui/win32/png_file.h"

#include <windows.h>

namespace px::win32 {

namespace {

// Copies width x height pixels at (x, y) of the device context into RGB rows and writes
// them as PNG.
bool SaveFrom(HDC source, int x, int y, int width, int height, const std::string& png_path) {
  if (width <= 0 || height <= 0) return false;
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // top row first
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(source, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (bitmap == nullptr || bits == nullptr) return false;
  HDC memory = CreateCompatibleDC(source);
  HGDIOBJ old = SelectObject(memory, bitmap);
  const bool copied = BitBlt(memory, 0, 0, width, height, source, x, y, SRCCOPY) != 0;
  GdiFlush();
  std::vector<uint8_t> rgb;
  if (copied) {
    rgb.resize(static_cast<size_t>(width) * static_cast<size_t>(height) * 3);
    const auto* px = static_cast<const uint8_t*>(bits);  // blue, green, red, unused
    for (size_t i = 0, n = static_cast<size_t>(width) * static_cast<size_t>(height); i < n; ++i) {
      rgb[i * 3] = px[i * 4 + 2];
      rgb[i * 3 + 1] = px[i * 4 + 1];
      rgb[i * 3 + 2] = px[i * 4];
    }
  }
  SelectObject(memory, old);
  DeleteDC(memory);
  DeleteObject(bitmap);
  if (!copied) return false;
  const std::string png = EncodePng(width, height, rgb);
  if (png.empty()) return false;
  FILE* f = _wfopen(Win32PathOf(png_path).c_str(), L"wb");
  if (f == nullptr) return false;
  const bool written = std::fwrite(png.data(), 1, png.size(), f) == png.size();
  return std::fclose(f) == 0 && written;
}

}  // namespace

bool SaveWindowPicture(void* window, const std::string& png_path) {
  HWND hwnd = static_cast<HWND>(window);
  RECT r;
  if (!GetClientRect(hwnd, &r)) return false;
  // The window's own pixels, children included: the screen's may hold another window
  // over it.
  HDC dc = GetDC(hwnd);
  if (dc == nullptr) return false;
  const bool ok = SaveFrom(dc, 0, 0, r.right, r.bottom, png_path);
  ReleaseDC(hwnd, dc);
  return ok;
}

bool SaveScreenPicture(int left, int top, int width, int height, const std::string& png_path) {
  HDC dc = GetDC(nullptr);
  if (dc == nullptr) return false;
  const bool ok = SaveFrom(dc, left, top, width, height, png_path);
  ReleaseDC(nullptr, dc);
  return ok;
}

}  // namespace px::win32
