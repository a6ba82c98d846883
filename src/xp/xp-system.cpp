#include "xp-system.h"

#include "application.h"
#include "resource-ledger.h"
#include "xp-colors.h"

#include <algorithm>
#include <cstring>

namespace {

void WindowsVersion(DWORD& AMajor, DWORD& AMinor) {
  // GetVersion answers the real version to programs without a manifest up
  // to Windows 8, which is all these tests need.
  const DWORD version = GetVersion();
  AMajor = LOBYTE(LOWORD(version));
  AMinor = HIBYTE(LOWORD(version));
}

bool XPOrLater(DWORD AMajor, DWORD AMinor) {
  return AMajor > 5 || (AMajor == 5 && AMinor > 0);
}

} // namespace

bool IsWindowsXPOrLater() {
  DWORD major, minor;
  WindowsVersion(major, minor);
  return XPOrLater(major, minor);
}

bool IsWindowsVistaOrLater() {
  DWORD major, minor;
  WindowsVersion(major, minor);
  return major >= 6;
}

int XPThemeStateFor(DWORD AMajorVersion, DWORD AMinorVersion, bool AThemesEnabled) {
  if (AThemesEnabled)
    return xtsThemed;
  if (XPEmulationEnabled && !XPOrLater(AMajorVersion, AMinorVersion))
    return xtsEmulated;
  return xtsClassic;
}

int GetXPThemeState() {
  return int(GetThemeState());
}

HINSTANCE FindResourceModule(const wchar_t* AName, const wchar_t* AType) {
  const HINSTANCE modules[] = {ModuleInstance(), GetModuleHandleW(nullptr)};
  for (HINSTANCE module : modules)
    if (module && FindResourceW(module, AName, AType))
      return module;
  return nullptr;
}

void GetMonitorInfoFromPoint(POINT APoint, MONITORINFO& AInfo) {
  std::memset(&AInfo, 0, sizeof(AInfo));
  if (HMONITOR monitor = MonitorFromPoint(APoint, MONITOR_DEFAULTTONEAREST)) {
    AInfo.cbSize = sizeof(AInfo);
    GetMonitorInfoW(monitor, &AInfo);
  }
}

TColor GetParentBackColor(TControl* AControl) {
  return AControl->Parent() ? AControl->Parent()->Color() : AControl->Color();
}

void PaintParentBackground(TControl* AControl, HDC ADC, const RECT* AClip) {
  TWinControl* parent = AControl->Parent();
  if (!parent)
    return;
  const int saved = SaveDC(ADC);
  const bool doubleBuffered = parent->DoubleBuffered();
  parent->SetDoubleBuffered(false);
  HRGN savedClip = nullptr;
  if (AClip)
    ClipToRect(ADC, *AClip, savedClip);
  auto windowed = dynamic_cast<TWinControl*>(AControl);
  int dx = 0, dy = 0;
  WINDOWINFO info{};
  info.cbSize = sizeof(info);
  if (windowed && GetWindowInfo(windowed->Handle(), &info)) {
    dy = info.rcClient.top - info.rcWindow.top;
    dx = info.rcClient.left - info.rcWindow.left;
  }
  const int offsetX = dx + AControl->Left(), offsetY = dy + AControl->Top();
  POINT origin;
  OffsetWindowOrgEx(ADC, offsetX, offsetY, &origin);
  const HWND parentWindow = parent->Handle();
  SendMessageW(parentWindow, WM_ERASEBKGND, WPARAM(ADC), 0);
  // The parent's painting of a graphic control would paint the control itself.
  if (windowed)
    SendMessageW(parentWindow, WM_PAINT, WPARAM(ADC), 0);
  SetWindowOrgEx(ADC, origin.x, origin.y, nullptr);
  if (AClip)
    RestoreClipRgn(ADC, savedClip);
  parent->SetDoubleBuffered(doubleBuffered);
  RestoreDC(ADC, saved);
}

bool PrintControlToBitmap(TWinControl* AControl, TBitmap& ABitmap) {
  ABitmap.SetPixelFormat(TPixelFormat::pf32bit);
  ABitmap.SetSize(AControl->Width(), AControl->Height());
  TCanvas& canvas = ABitmap.Canvas();
  canvas.Lock();
  const HWND window = AControl->Handle();
  SendMessageW(window, WM_PRINT, WPARAM(canvas.Handle()),
               PRF_CHECKVISIBLE | PRF_NONCLIENT | PRF_CLIENT | PRF_ERASEBKGND | PRF_CHILDREN);
  WINDOWINFO info{};
  info.cbSize = sizeof(info);
  if (!GetWindowInfo(window, &info)) {
    canvas.Unlock();
    return false;
  }
  const int left = info.rcClient.left - info.rcWindow.left;
  const int top = info.rcClient.top - info.rcWindow.top;
  if (left || top)
    BitBlt(canvas.Handle(), 0, 0, AControl->ClientWidth(), AControl->ClientHeight(),
           canvas.Handle(), left, top, SRCCOPY);
  canvas.Unlock();
  ABitmap.SetSize(AControl->ClientWidth(), AControl->ClientHeight());
  return true;
}

TXPButtonPlacement PlaceGlyphAndText(const RECT& AClient, POINT AGlyphSize, POINT ATextSize,
                                     TXPButtonLayout ALayout, int AMargin, int ASpacing) {
  TXPButtonPlacement result;
  const int clientWidth = AClient.right - AClient.left;
  const int clientHeight = AClient.bottom - AClient.top;
  const bool horizontal =
      ALayout == TXPButtonLayout::blGlyphLeft || ALayout == TXPButtonLayout::blGlyphRight;
  POINT& glyph = result.GlyphPos;
  POINT text{};
  if (horizontal) {
    glyph.y = (clientHeight - AGlyphSize.y + 1) / 2;
    text.y = (clientHeight - ATextSize.y) / 2;
  } else {
    glyph.x = (clientWidth - AGlyphSize.x + 1) / 2;
    text.x = (clientWidth - ATextSize.x) / 2;
  }
  if (ATextSize.x == 0 || AGlyphSize.x == 0)
    ASpacing = 0;
  const int extent = horizontal ? clientWidth : clientHeight;
  const int glyphAlong = horizontal ? AGlyphSize.x : AGlyphSize.y;
  const int textAlong = horizontal ? ATextSize.x : ATextSize.y;
  const int across =
      horizontal ? std::max(AGlyphSize.y, ATextSize.y) : std::max(AGlyphSize.x, ATextSize.x);
  int along = 0;
  if (AMargin == -1 && ASpacing == -1) {
    along = glyphAlong + textAlong;
    AMargin = (extent - along) / 3;
    ASpacing = AMargin;
  } else if (AMargin == -1) {
    along = glyphAlong + ASpacing + textAlong;
    AMargin = (extent - along) / 2;
  } else if (ASpacing == -1) {
    along = extent - (AMargin + glyphAlong);
    ASpacing = (along - textAlong) / 2;
  } else {
    along = glyphAlong + ASpacing + textAlong;
  }
  result.TotalSize = horizontal ? POINT{along, across} : POINT{across, along};
  switch (ALayout) {
  case TXPButtonLayout::blGlyphLeft:
    glyph.x = AMargin;
    text.x = AMargin + ASpacing + AGlyphSize.x;
    break;
  case TXPButtonLayout::blGlyphRight:
    glyph.x = clientWidth - (AMargin + AGlyphSize.x);
    text.x = glyph.x - (ASpacing + ATextSize.x);
    break;
  case TXPButtonLayout::blGlyphTop:
    glyph.y = AMargin;
    text.y = AMargin + ASpacing + AGlyphSize.y;
    break;
  case TXPButtonLayout::blGlyphBottom:
    glyph.y = clientHeight - (AMargin + AGlyphSize.y);
    text.y = glyph.y - (ASpacing + ATextSize.y);
    break;
  }
  glyph.x += AClient.left;
  glyph.y += AClient.top;
  result.TextBounds.left = text.x + AClient.left;
  result.TextBounds.top = text.y + AClient.top;
  result.TextBounds.right = result.TextBounds.left + ATextSize.x;
  result.TextBounds.bottom = result.TextBounds.top + ATextSize.y;
  return result;
}

TXPButtonPlacement CalcXPButtonLayout(TCanvas& ACanvas, const RECT& AClient, TFont& AFont,
                                      const std::wstring& ACaption, POINT AGlyphSize,
                                      TXPButtonLayout ALayout, int AMargin, int ASpacing,
                                      TXPDrawCaptionFlags AFlags) {
  ACanvas.SetFont(AFont);
  POINT textSize{};
  if (!ACaption.empty()) {
    RECT room = AClient;
    if (AGlyphSize.x > 0 && AGlyphSize.y > 0) {
      const int spacing = ASpacing > 0 ? ASpacing : 0;
      if (ALayout == TXPButtonLayout::blGlyphLeft || ALayout == TXPButtonLayout::blGlyphRight)
        room.right -= AGlyphSize.x + spacing;
      else
        room.bottom -= AGlyphSize.y + spacing;
    }
    SIZE measured{};
    MeasureXPCaption(ACanvas, room, ACaption, measured, 100, epNone, AFlags, AFont);
    textSize = {measured.cx, measured.cy};
  }
  return PlaceGlyphAndText(AClient, AGlyphSize, textSize, ALayout, AMargin, ASpacing);
}

bool InstallCodeHook(void* AEntry, void* AReplacement, TCodeHook& AHook) {
  AHook = TCodeHook{};
  // A relative jump reaches only 2 GB either way.
  const int64_t distance =
      int64_t(reinterpret_cast<intptr_t>(AReplacement) - reinterpret_cast<intptr_t>(AEntry) - 5);
  if (distance < INT32_MIN || distance > INT32_MAX)
    return false;
  uint8_t saved[5];
  SIZE_T read = 0;
  if (!ReadProcessMemory(GetCurrentProcess(), AEntry, saved, 5, &read) || read != 5)
    return false;
  uint8_t jump[5] = {0xE9};
  const int32_t displacement = int32_t(distance);
  std::memcpy(jump + 1, &displacement, 4);
  SIZE_T written = 0;
  if (!WriteProcessMemory(GetCurrentProcess(), AEntry, jump, 5, &written) || written != 5) {
    // A partial write is undone as far as it went.
    if (written)
      WriteProcessMemory(GetCurrentProcess(), AEntry, saved, written, nullptr);
    return false;
  }
  FlushInstructionCache(GetCurrentProcess(), AEntry, 5);
  AHook.Address = AEntry;
  std::memcpy(AHook.Saved, saved, 5);
  return true;
}

void RemoveCodeHook(TCodeHook& AHook) {
  if (!AHook.Address)
    return;
  WriteProcessMemory(GetCurrentProcess(), AHook.Address, AHook.Saved, 5, nullptr);
  FlushInstructionCache(GetCurrentProcess(), AHook.Address, 5);
  AHook = TCodeHook{};
}

void DrawThemePart(HWND AWindow, const wchar_t* AClass, int APart, int AState, HDC ADC,
                   const RECT& ARect) {
  TSystemLibrary uxtheme(L"uxtheme.dll");
  using TOpen = HANDLE(WINAPI*)(HWND, LPCWSTR);
  using TClose = HRESULT(WINAPI*)(HANDLE);
  using TDraw = HRESULT(WINAPI*)(HANDLE, HDC, int, int, const RECT*, const RECT*);
  auto open = uxtheme.Function<TOpen>("OpenThemeData");
  auto close = uxtheme.Function<TClose>("CloseThemeData");
  auto draw = uxtheme.Function<TDraw>("DrawThemeBackground");
  if (!open || !close || !draw)
    return;
  HANDLE theme = open(AWindow, AClass);
  if (!theme)
    return;
  draw(theme, ADC, APart, AState, &ARect, nullptr);
  close(theme);
}

bool ThemePartTrueSize(HWND AWindow, const wchar_t* AClass, int APart, int AState, HDC ADC,
                       SIZE& ASize) {
  TSystemLibrary uxtheme(L"uxtheme.dll");
  using TOpen = HANDLE(WINAPI*)(HWND, LPCWSTR);
  using TClose = HRESULT(WINAPI*)(HANDLE);
  using TSize = HRESULT(WINAPI*)(HANDLE, HDC, int, int, const RECT*, int, SIZE*);
  auto open = uxtheme.Function<TOpen>("OpenThemeData");
  auto close = uxtheme.Function<TClose>("CloseThemeData");
  auto size = uxtheme.Function<TSize>("GetThemePartSize");
  if (!open || !close || !size)
    return false;
  HANDLE theme = open(AWindow, AClass);
  if (!theme)
    return false;
  constexpr int kTrueSize = 1;
  SIZE result{};
  const bool ok = SUCCEEDED(size(theme, ADC, APart, AState, nullptr, kTrueSize, &result)) &&
                  result.cx > 0 && result.cy > 0;
  close(theme);
  if (ok)
    ASize = result;
  return ok;
}
