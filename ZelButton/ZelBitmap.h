// TZelBitmap: a picture the button owns, kept as a 32-bit top-down DIB section so that its
// pixels can be read and copied exactly.
#pragma once

#include <windows.h>

#include <cstdint>

#include "platform/WinHandles.h"

namespace morvane {

class TZelBitmap {
 public:
  TZelBitmap() = default;
  TZelBitmap(int width, int height) { SetSize(width, height); }
  TZelBitmap(TZelBitmap&&) = default;
  TZelBitmap& operator=(TZelBitmap&&) = default;
  TZelBitmap(const TZelBitmap&) = delete;
  TZelBitmap& operator=(const TZelBitmap&) = delete;

  int Width() const { return width_; }
  int Height() const { return height_; }
  bool Empty() const { return width_ == 0 || height_ == 0; }
  HBITMAP Handle() const { return bitmap_.get(); }

  // Makes a width x height picture, all black; 0 x 0 empties it.
  void SetSize(int width, int height);
  void Clear() { SetSize(0, 0); }
  // Copies another picture (a device-dependent or DIB bitmap of any depth).
  void Assign(const TZelBitmap& other);
  void Assign(HBITMAP bitmap);
  // Loads a bitmap resource of the module by name; false (and empty) when there is none.
  bool LoadFromResource(HINSTANCE module, const char* name);
  // Copies columns [x, x + width) of source, full height.
  void CopyColumns(const TZelBitmap& source, int x, int width);

  COLORREF Pixel(int x, int y) const;
  void SetPixel(int x, int y, COLORREF color);
  // Pixels as 0x00RRGGBB, rows top to bottom.
  std::uint32_t* Bits() const { return bits_; }

 private:
  GdiObject<HBITMAP> bitmap_;
  std::uint32_t* bits_ = nullptr;
  int width_ = 0, height_ = 0;
};

}  // namespace morvane
