#include "test-harness.h"

#include <algorithm>

#include <cstring>

namespace harness {

void PumpMessages() {
  MSG message;
  for (int i = 0; i < 10000 && PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE); ++i) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

std::unique_ptr<TBitmap> RenderControl(TWinControl& AControl) {
  auto bitmap =
      std::make_unique<TBitmap>(AControl.Width(), AControl.Height(), TPixelFormat::pf32bit);
  AControl.PaintTo(bitmap->Canvas().Handle(), 0, 0);
  GdiFlush();
  return bitmap;
}

std::unique_ptr<TBitmap> PrintWindow(TWinControl& AControl) {
  auto bitmap =
      std::make_unique<TBitmap>(AControl.Width(), AControl.Height(), TPixelFormat::pf32bit);
  SendMessageW(AControl.Handle(), WM_PRINT, reinterpret_cast<WPARAM>(bitmap->Canvas().Handle()),
               PRF_CLIENT | PRF_CHILDREN | PRF_ERASEBKGND);
  GdiFlush();
  return bitmap;
}

std::unique_ptr<TBitmap> PrintWindow(HWND AWindow) {
  RECT client;
  GetClientRect(AWindow, &client);
  auto bitmap = std::make_unique<TBitmap>(client.right, client.bottom, TPixelFormat::pf32bit);
  SendMessageW(AWindow, WM_PRINT, reinterpret_cast<WPARAM>(bitmap->Canvas().Handle()),
               PRF_CLIENT | PRF_CHILDREN | PRF_ERASEBKGND);
  GdiFlush();
  return bitmap;
}

void ClickAtScreen(int AX, int AY) {
  SetCursorPos(AX, AY);
  INPUT inputs[2] = {};
  for (INPUT& input : inputs)
    input.type = INPUT_MOUSE;
  inputs[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
  inputs[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
  SendInput(2, inputs, sizeof(INPUT));
}

long ChannelGlow(TBitmap& APicture, const RECT& AArea, int AChannel) {
  long glow = 0;
  for (int y = AArea.top; y < AArea.bottom; ++y) {
    const auto* row = static_cast<const uint8_t*>(APicture.ScanLine(y));
    for (int x = AArea.left; x < AArea.right; ++x) {
      const uint8_t* pixel = row + size_t(x) * 4;
      const int other = std::max(pixel[(AChannel + 1) % 3], pixel[(AChannel + 2) % 3]);
      glow += std::max(0, int(pixel[AChannel]) - other);
    }
  }
  return glow;
}

TColor PixelAt(TBitmap& ABitmap, int AX, int AY) {
  // 24-bit rows hold three bytes a pixel; everything else the tests read
  // is 32-bit.
  const size_t bytes = ABitmap.PixelFormat() == TPixelFormat::pf24bit ? 3 : 4;
  const auto* row = static_cast<const uint8_t*>(ABitmap.ScanLine(AY));
  const uint8_t* pixel = row + size_t(AX) * bytes;
  return TColor(pixel[2] | (pixel[1] << 8) | (pixel[0] << 16));
}

bool SamePixels(TBitmap& A, TBitmap& B) {
  if (A.Width() != B.Width() || A.Height() != B.Height())
    return false;
  for (int y = 0; y < A.Height(); ++y)
    if (std::memcmp(A.ScanLine(y), B.ScanLine(y), size_t(A.Width()) * 4) != 0)
      return false;
  return true;
}

std::wstring SaveScreenshot(const std::wstring& AScene, TBitmap& ABitmap) {
  CreateDirectoryW(L"screenshots", nullptr);
  const std::wstring path = L"screenshots\\" + AScene + L".png";
  TPngImage png;
  png.Assign(&ABitmap);
  // The picture is opaque whatever the DIB's fourth byte holds.
  for (int y = 0; y < png.Height(); ++y)
    for (int x = 0; x < png.Width(); ++x)
      png.SetPixelARGB(x, y, png.PixelARGB(x, y) | 0xFF000000u);
  png.SaveToFile(path);
  return path;
}

} // namespace harness
