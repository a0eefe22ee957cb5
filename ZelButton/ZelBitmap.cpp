#include "ZelButton/ZelBitmap.h"

#include <cstring>

#include "platform/WideText.h"

namespace morvane {

namespace {

// A 32-bit top-down picture of that size, as the pixels are kept.
BITMAPINFO TopDown32(int width, int height) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  return info;
}

}  // namespace

void TZelBitmap::SetSize(int width, int height) {
  bitmap_.reset();
  bits_ = nullptr;
  width_ = height_ = 0;
  if (width <= 0 || height <= 0) return;
  BITMAPINFO info = TopDown32(width, height);
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (bitmap == nullptr) return;
  bitmap_.reset(bitmap);
  bits_ = static_cast<std::uint32_t*>(bits);
  width_ = width;
  height_ = height;
  std::memset(bits_, 0, static_cast<std::size_t>(width) * height * 4);
}

void TZelBitmap::Assign(const TZelBitmap& other) {
  if (&other == this) return;
  SetSize(other.width_, other.height_);
  if (!Empty()) std::memcpy(bits_, other.bits_, static_cast<std::size_t>(width_) * height_ * 4);
}

void TZelBitmap::Assign(HBITMAP bitmap) {
  BITMAP info{};
  if (bitmap == nullptr || GetObjectW(bitmap, sizeof info, &info) == 0) {
    Clear();
    return;
  }
  SetSize(info.bmWidth, info.bmHeight < 0 ? -info.bmHeight : info.bmHeight);
  if (Empty()) return;
  BITMAPINFO want = TopDown32(width_, height_);
  HDC screen = GetDC(nullptr);
  const int rows =
      GetDIBits(screen, bitmap, 0, static_cast<UINT>(height_), bits_, &want, DIB_RGB_COLORS);
  ReleaseDC(nullptr, screen);
  if (rows == 0) Clear();
}

bool TZelBitmap::LoadFromResource(HINSTANCE module, const char* name) {
  if (name == nullptr) {
    Clear();
    return false;
  }
  GdiObject<HBITMAP> loaded(LoadBitmapW(module, Widen(name).c_str()));
  Assign(loaded.get());
  return !Empty();
}

void TZelBitmap::CopyColumns(const TZelBitmap& source, int x, int width) {
  if (x < 0) x = 0;
  if (x + width > source.width_) width = source.width_ - x;
  SetSize(width, source.height_);
  for (int y = 0; y < height_; ++y)
    std::memcpy(bits_ + static_cast<std::size_t>(y) * width_,
                source.bits_ + static_cast<std::size_t>(y) * source.width_ + x,
                static_cast<std::size_t>(width_) * 4);
}

COLORREF TZelBitmap::Pixel(int x, int y) const {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return CLR_INVALID;
  const std::uint32_t p = bits_[static_cast<std::size_t>(y) * width_ + x];
  return RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF);
}

void TZelBitmap::SetPixel(int x, int y, COLORREF c) {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
  bits_[static_cast<std::size_t>(y) * width_ + x] =
      (static_cast<std::uint32_t>(GetRValue(c)) << 16) | (GetGValue(c) << 8) | GetBValue(c);
}

}  // namespace morvane
