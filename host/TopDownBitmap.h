// The description of a 32-bit top-down device-independent bitmap (BGRX rows
// of width × 4 bytes, first row on top), as the host's Windows painting and
// window capture use it.
#pragma once
#if defined(_WIN32)
#include <windows.h>

#include <cstdint>

inline BITMAPINFO TopDownBitmapInfo(int32_t width, int32_t height) {
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;  // negative: top-down
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  return info;
}
#endif
