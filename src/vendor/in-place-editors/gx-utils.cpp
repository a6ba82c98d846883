#include "gx-utils.h"

#include "resource-ledger.h"
#include "rtl-exceptions.h"
#include "storage.h"
#include "string-lists.h"

#include <commctrl.h>

#include <algorithm>
#include <cwchar>
#include <vector>

namespace {

class TSystemBeep : public TgxBeepSeam {
public:
  void Beep(UINT AType) override { MessageBeep(AType); }
};

HBRUSH GHalftoneBrush = nullptr;
HBRUSH GBtnShadowBrush = nullptr;

template <typename THandle> THandle Taken(THandle AHandle) {
  if (!AHandle)
    throw EOutOfResources(L"Error creating a GDI object");
  LedgerTake(TResourceKind::GdiObject, AHandle);
  return AHandle;
}

template <typename THandle> void Given(THandle& AHandle) {
  if (!AHandle)
    return;
  DeleteObject(AHandle);
  LedgerGive(TResourceKind::GdiObject, AHandle);
  AHandle = nullptr;
}

// A memory DC with a bitmap of its own, both given back with the scope.
class TMemoryBitmap {
public:
  TMemoryBitmap(HDC ADC, int AWidth, int AHeight, bool AMonochrome) {
    FDC = CreateCompatibleDC(ADC);
    if (!FDC)
      throw EOutOfResources(L"Error creating a memory context");
    LedgerTake(TResourceKind::DeviceContext, FDC);
    FBitmap = AMonochrome ? CreateBitmap(std::max(AWidth, 1), std::max(AHeight, 1), 1, 1, nullptr)
                          : CreateCompatibleBitmap(ADC, std::max(AWidth, 1), std::max(AHeight, 1));
    if (!FBitmap) {
      DeleteDC(FDC);
      LedgerGive(TResourceKind::DeviceContext, FDC);
      throw EOutOfResources(L"Error creating a bitmap");
    }
    LedgerTake(TResourceKind::GdiObject, FBitmap);
    FOld = SelectObject(FDC, FBitmap);
  }
  TMemoryBitmap(const TMemoryBitmap&) = delete;
  TMemoryBitmap& operator=(const TMemoryBitmap&) = delete;
  ~TMemoryBitmap() {
    SelectObject(FDC, FOld);
    DeleteObject(FBitmap);
    LedgerGive(TResourceKind::GdiObject, FBitmap);
    DeleteDC(FDC);
    LedgerGive(TResourceKind::DeviceContext, FDC);
  }
  HDC DC() const { return FDC; }

private:
  HDC FDC = nullptr;
  HBITMAP FBitmap = nullptr;
  HGDIOBJ FOld = nullptr;
};

// The DC's font, colours and background mode, put back with the scope.
class TDCStateScope {
public:
  explicit TDCStateScope(HDC ADC) : FDC(ADC), FSaved(SaveDC(ADC)) {}
  TDCStateScope(const TDCStateScope&) = delete;
  TDCStateScope& operator=(const TDCStateScope&) = delete;
  ~TDCStateScope() { RestoreDC(FDC, FSaved); }

private:
  HDC FDC;
  int FSaved;
};

int Width(const RECT& R) {
  return R.right - R.left;
}
int Height(const RECT& R) {
  return R.bottom - R.top;
}

void FillWith(HDC ADC, const RECT& ARect, HBRUSH ABrush) {
  if (ABrush && ARect.right > ARect.left && ARect.bottom > ARect.top)
    FillRect(ADC, &ARect, ABrush);
}

// The masked copy shared by DrawBitmapOnBrush and DrawGlyphOnBrush:
// AColour holds the picture (brush already under it where wanted); the
// pixels of the transparent colour become the brush pattern.
void BlitMasked(HDC ADC, HBRUSH ABrush, const RECT& ATarget, HDC AColour, HDC ASource,
                const RECT& ASourceArea, COLORREF ATransparent) {
  const int w = Width(ATarget), h = Height(ATarget);
  TMemoryBitmap mask(ADC, w, h, true);
  PatBlt(mask.DC(), 0, 0, w, h, BLACKNESS);
  const COLORREF oldBk = SetBkColor(ASource, ATransparent);
  BitBlt(mask.DC(), ASourceArea.left - ATarget.left, ASourceArea.top - ATarget.top,
         Width(ASourceArea), Height(ASourceArea), ASource, 0, 0, SRCCOPY);
  SetBkColor(ASource, oldBk);
  // Pattern where the mask is set, destination elsewhere.
  const COLORREF oldText = SetTextColor(AColour, RGB(0, 0, 0));
  const COLORREF oldBack = SetBkColor(AColour, RGB(255, 255, 255));
  HGDIOBJ oldBrush = SelectObject(AColour, ABrush);
  SetBrushOrgEx(AColour, ATarget.left, ATarget.top, nullptr);
  BitBlt(AColour, 0, 0, w, h, mask.DC(), 0, 0, 0xE20746);
  SelectObject(AColour, oldBrush);
  SetTextColor(AColour, oldText);
  SetBkColor(AColour, oldBack);
  BitBlt(ADC, ATarget.left, ATarget.top, w, h, AColour, 0, 0, SRCCOPY);
}

} // namespace

TgxBeepSeam& TgxBeepSeam::System() {
  static TSystemBeep system;
  return system;
}

void EditorBeep() {
  TgxBeepSeam::Current().Beep(0);
}

HBRUSH GetHalftoneBrush() {
  if (!GHalftoneBrush) {
    WORD pattern[8];
    for (int y = 0; y < 8; ++y)
      // A set bit is white: x and y of different parity.
      pattern[y] = WORD(y % 2 ? 0xAA : 0x55);
    HBITMAP bitmap = CreateBitmap(8, 8, 1, 1, pattern);
    if (!bitmap)
      throw EOutOfResources(L"Error creating the halftone pattern");
    GHalftoneBrush = CreatePatternBrush(bitmap);
    DeleteObject(bitmap);
    Taken(GHalftoneBrush);
  }
  return GHalftoneBrush;
}

void FreeHalftoneBrush() {
  Given(GHalftoneBrush);
}

HBRUSH GetBtnShadowBrush() {
  if (!GBtnShadowBrush)
    GBtnShadowBrush = Taken(CreateSolidBrush(GetSysColor(COLOR_BTNSHADOW)));
  return GBtnShadowBrush;
}

void FreeBtnShadowBrush() {
  Given(GBtnShadowBrush);
}

void EnsureBitmapSize(TBitmap& ABitmap, int AWidth, int AHeight) {
  const int width = std::max(ABitmap.Width(), AWidth), height = std::max(ABitmap.Height(), AHeight);
  if (width != ABitmap.Width() || height != ABitmap.Height())
    ABitmap.SetSize(width, height);
}

void DitherRect(HDC ADC, const RECT& ARect, TColor AColor) {
  const int w = Width(ARect), h = Height(ARect);
  if (w <= 0 || h <= 0)
    return;
  HBRUSH pattern = GetHalftoneBrush();
  TMemoryBitmap memory(ADC, w, h, false);
  TDCStateScope state(ADC);
  // Pattern-white pixels keep the screen, pattern-black ones become black.
  SetTextColor(memory.DC(), RGB(0, 0, 0));
  SetBkColor(memory.DC(), RGB(255, 255, 255));
  SetBrushOrgEx(memory.DC(), ARect.left, ARect.top, nullptr);
  HGDIOBJ old = SelectObject(memory.DC(), pattern);
  PatBlt(memory.DC(), 0, 0, w, h, PATCOPY);
  SelectObject(memory.DC(), old);
  BitBlt(memory.DC(), 0, 0, w, h, ADC, ARect.left, ARect.top, SRCAND);
  // The other half becomes the colour, and the kept pixels are laid over.
  SetTextColor(ADC, ColorToColorRef(ColorToRGB(AColor)));
  SetBkColor(ADC, RGB(0, 0, 0));
  SelectObject(ADC, pattern);
  PatBlt(ADC, ARect.left, ARect.top, w, h, PATCOPY);
  BitBlt(ADC, ARect.left, ARect.top, w, h, memory.DC(), 0, 0, SRCPAINT);
}

void DrawBitmapOnBrush(HDC ADC, HBRUSH ABrush, const RECT& ARect, TBitmap& ABitmap) {
  if (ABitmap.Empty() || Width(ARect) <= 0 || Height(ARect) <= 0)
    return;
  TMemoryBitmap colour(ADC, Width(ARect), Height(ARect), false);
  HDC source = ABitmap.Canvas().Handle();
  BitBlt(colour.DC(), 0, 0, Width(ARect), Height(ARect), source, 0, 0, SRCCOPY);
  const RECT area{ARect.left, ARect.top, ARect.left + ABitmap.Width(),
                  ARect.top + ABitmap.Height()};
  BlitMasked(ADC, ABrush, ARect, colour.DC(), source, area,
             ColorToColorRef(ColorToRGB(ABitmap.TransparentColor())));
}

void DrawGlyphOnBrush(HDC ADC, HBRUSH ABrush, const RECT& AAreaRect, const RECT& AGlyphRect,
                      TBitmap& ABitmap) {
  const int w = Width(AAreaRect), h = Height(AAreaRect);
  if (w <= 0 || h <= 0)
    return;
  TMemoryBitmap colour(ADC, w, h, false);
  const RECT local{0, 0, w, h};
  SetBrushOrgEx(colour.DC(), AAreaRect.left, AAreaRect.top, nullptr);
  FillWith(colour.DC(), local, ABrush);
  if (ABitmap.Empty()) {
    BitBlt(ADC, AAreaRect.left, AAreaRect.top, w, h, colour.DC(), 0, 0, SRCCOPY);
    return;
  }
  HDC source = ABitmap.Canvas().Handle();
  BitBlt(colour.DC(), AGlyphRect.left - AAreaRect.left, AGlyphRect.top - AAreaRect.top,
         ABitmap.Width(), ABitmap.Height(), source, 0, 0, SRCCOPY);
  const RECT glyph{AGlyphRect.left, AGlyphRect.top, AGlyphRect.left + ABitmap.Width(),
                   AGlyphRect.top + ABitmap.Height()};
  BlitMasked(ADC, ABrush, AAreaRect, colour.DC(), source, glyph,
             ColorToColorRef(ColorToRGB(ABitmap.TransparentColor())));
}

int DrawTextInRect(HDC ADC, const wchar_t* AText, int ALength, const RECT& AClipRect,
                   const RECT& ATextRect, uint16_t AFlags, HBRUSH ABrush, HFONT AFont,
                   COLORREF ABkColor, COLORREF ATextColor, int* ATextHeight) {
  TDCStateScope state(ADC);
  if (AFont)
    SelectObject(ADC, AFont);
  SetBkColor(ADC, ABkColor);
  SetTextColor(ADC, ATextColor);
  const bool measuring = (AFlags & gxdtMeasure) != 0;
  // A length beyond the text's end stops at its terminator.
  const int length = AText ? int(wcsnlen(AText, size_t(std::max(ALength, 0)))) : 0;
  const wchar_t* text = AText ? AText : L"";

  SIZE extent{0, 0};
  GetTextExtentPoint32W(ADC, text, length, &extent);
  if (measuring) {
    if (ATextHeight)
      *ATextHeight = extent.cy;
    if (extent.cy == 0)
      return 0;
  }

  const unsigned layout = AFlags & gxdtLayoutMask;
  const unsigned align = AFlags & gxdtAlignMask;
  bool tooWide;
  bool wordPath;
  if (AFlags & (gxdtPrefix | gxdtWordWrap)) {
    tooWide = true;
    wordPath = true;
  } else {
    tooWide = Width(ATextRect) < extent.cx;
    const bool breaks = std::find_if(text, text + length, [](wchar_t c) {
                          return c == L'\r' || c == L'\n';
                        }) != text + length;
    wordPath =
        (tooWide || breaks) && (AFlags & (gxdtWordWrap | gxdtEndEllipsis | gxdtPathEllipsis)) != 0;
  }

  int textHeight = extent.cy;
  RECT work = ATextRect;
  if (!wordPath) {
    RECT clip = AClipRect;
    if (tooWide) {
      if (!(AFlags & gxdtNoFill) && !measuring) {
        const RECT rest{ATextRect.right, AClipRect.top, AClipRect.right, AClipRect.bottom};
        FillWith(ADC, rest, ABrush);
      }
      clip.right = ATextRect.right;
    } else {
      if (align == gxdtCenter)
        work.left = (work.left + work.right - extent.cx) / 2;
      else if (align == gxdtRight)
        work.left = work.right - extent.cx;
      work.right = work.left + extent.cx;
    }
    if (layout == gxdtVCenter) {
      work.top = (work.top + work.bottom - extent.cy) / 2;
      work.bottom = work.top + extent.cy;
    } else if (layout == gxdtBottom) {
      work.top = work.bottom - extent.cy;
    }
    if (!measuring) {
      if (AFlags & gxdtNoFill) {
        if (!(AFlags & gxdtKeepBkMode))
          SetBkMode(ADC, TRANSPARENT);
        ExtTextOutW(ADC, work.left, work.top, ETO_CLIPPED, &clip, text, UINT(length), nullptr);
      } else {
        ExtTextOutW(ADC, work.left, work.top, ETO_OPAQUE | ETO_CLIPPED, &clip, text, UINT(length),
                    nullptr);
      }
    }
  } else {
    UINT format = (align == gxdtCenter  ? DT_CENTER
                   : align == gxdtRight ? DT_RIGHT
                                        : DT_LEFT) |
                  DT_EXPANDTABS;
    if (!tooWide)
      format |= DT_NOCLIP;
    if (!(AFlags & gxdtPrefix))
      format |= DT_NOPREFIX;
    if (AFlags & gxdtEndEllipsis)
      format |= DT_END_ELLIPSIS;
    if (AFlags & gxdtPathEllipsis)
      format |= DT_PATH_ELLIPSIS;
    if (layout == gxdtVCenter)
      format |= DT_SINGLELINE | DT_VCENTER;
    else if (layout == gxdtBottom)
      format |= DT_SINGLELINE | DT_BOTTOM;
    else if (layout == gxdtWordWrap || layout == gxdtWordWrapVCenter)
      format |= DT_WORDBREAK;
    else
      format |= DT_SINGLELINE;
    auto measure = [&](RECT ARect) {
      DrawTextW(ADC, text, length, &ARect, format | DT_CALCRECT);
      return ARect;
    };
    const RECT measured = measure(work);
    textHeight = Height(measured);
    if (layout == gxdtWordWrapVCenter) {
      const int top = (work.top + work.bottom - textHeight) / 2;
      if (top > work.top)
        work.top = top;
    }
    if (!measuring) {
      if (!(AFlags & gxdtNoFill))
        FillWith(ADC, AClipRect, ABrush);
      const int oldMode = (AFlags & gxdtKeepBkMode) ? 0 : SetBkMode(ADC, TRANSPARENT);
      DrawTextW(ADC, text, length, &work, format);
      if (oldMode)
        SetBkMode(ADC, oldMode);
      if ((AFlags & gxdtFocusRect) && (AFlags & gxdtFocusTextOnly)) {
        RECT own = measure(work);
        if (!(format & DT_WORDBREAK)) {
          // The measured rectangle sits at the top; the text is where the
          // layout put it.
          const int h = Height(own);
          if (layout == gxdtVCenter)
            own.top = (work.top + work.bottom - h) / 2;
          else if (layout == gxdtBottom)
            own.top = work.bottom - h;
          own.bottom = own.top + h;
          const int wdt = Width(own);
          if (align == gxdtCenter)
            own.left = (work.left + work.right - wdt) / 2;
          else if (align == gxdtRight)
            own.left = work.right - wdt;
          own.right = own.left + wdt;
        }
        work = own;
      }
    }
  }

  if (measuring)
    return Height(AClipRect) - Height(ATextRect) + textHeight;

  if (AFlags & gxdtFocusRect) {
    RECT focus = ATextRect;
    bool draw = true;
    if (AFlags & gxdtFocusTextOnly) {
      focus = work;
      draw = length > 0;
    }
    if (draw) {
      InflateRect(&focus, 1, 1);
      SetBkColor(ADC, RGB(0, 0, 0));
      SetTextColor(ADC, RGB(255, 255, 255));
      DrawFocusRect(ADC, &focus);
    }
  }
  return 0;
}

void DrawShadow(HDC ADC, const RECT& ARect, int ASize, HBRUSH ABrush) {
  const RECT bottom{ARect.left, ARect.bottom - ASize, ARect.right, ARect.bottom};
  const RECT right{ARect.right - ASize, ARect.top, ARect.right, ARect.bottom};
  FillWith(ADC, bottom, ABrush);
  FillWith(ADC, right, ABrush);
}

void GetWorkAreaFromPoint(POINT AP, RECT& ARect) {
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &ARect, 0);
  MONITORINFO info{};
  info.cbSize = sizeof(info);
  if (HMONITOR monitor = MonitorFromPoint(AP, MONITOR_DEFAULTTONEAREST))
    if (GetMonitorInfoW(monitor, &info))
      ARect = info.rcWork;
}

void AdjustPopupPos(POINT& AP, int AWidth, int AHeight, int AEditHeight) {
  RECT work;
  GetWorkAreaFromPoint(AP, work);
  if (AP.x < work.left)
    AP.x = work.left;
  if (AP.x + AWidth > work.right)
    AP.x = work.right - AWidth;
  if (AP.y + AHeight > work.bottom && work.bottom - AP.y - AEditHeight < AP.y - work.top)
    AP.y -= AHeight + AEditHeight;
}

COLORREF GetImageListColor(TColor AColor) {
  if (AColor == clNone)
    return CLR_NONE;
  if (AColor == clDefault)
    return CLR_DEFAULT;
  return ColorToColorRef(ColorToRGB(AColor));
}

void KillMessage(HWND AWnd, UINT AMsg) {
  MSG msg;
  if (PeekMessageW(&msg, AWnd, AMsg, AMsg, PM_REMOVE) && msg.message == WM_QUIT)
    PostQuitMessage(int(msg.wParam));
}

int GetPopupBarHeight() {
  const int scroll = GetSystemMetrics(SM_CYHSCROLL);
  const int button = GetSystemMetrics(SM_CYSIZE);
  return button > scroll + 2 ? button + 1 : scroll + 3;
}

LRESULT GetHitTestByCorner(TgxCorner ACorner) {
  static constexpr LRESULT kCodes[] = {HTTOPLEFT, HTTOPRIGHT, HTBOTTOMLEFT, HTBOTTOMRIGHT};
  return kCodes[ACorner];
}

void DrawCloseButton(HDC ADC, RECT& ARect, bool AHot, bool APressed, TgxCorner ACorner) {
  const int s = GetSystemMetrics(SM_CXSIZE);
  RECT button = ARect;
  if (ACorner == coTopRight || ACorner == coBottomRight)
    button.right = button.left + s;
  else
    button.left = button.right - s;
  button.top = (ARect.top + ARect.bottom - s - 1) / 2;
  if (ACorner == coBottomLeft || ACorner == coBottomRight)
    ++button.top;
  button.bottom = button.top + s + 1;
  InflateRect(&button, -1, -2);
  ARect = button;
  const HBRUSH face = GetSysColorBrush(COLOR_BTNFACE);
  RECT frame = button;
  if (AHot)
    DrawEdge(ADC, &frame, APressed ? BDR_SUNKENOUTER : BDR_RAISEDINNER, BF_RECT);
  else
    FrameRect(ADC, &frame, face);
  InflateRect(&frame, -1, -1);
  FrameRect(ADC, &frame, face);
  InflateRect(&frame, -1, -1);
  TDCStateScope state(ADC);
  IntersectClipRect(ADC, frame.left, frame.top, frame.right, frame.bottom);
  InflateRect(&frame, 1, 1);
  if (s != 22)
    OffsetRect(&frame, 0, 1);
  DrawFrameControl(ADC, &frame, DFC_CAPTION,
                   DFCS_CAPTIONCLOSE | DFCS_FLAT | (APressed ? DFCS_PUSHED : 0));
}

void DrawSizeGrip(HDC ADC, const RECT& ARect, TgxCorner ACorner) {
  const int w = GetSystemMetrics(SM_CXVSCROLL), h = GetSystemMetrics(SM_CYHSCROLL);
  const bool left = ACorner == coTopLeft || ACorner == coBottomLeft;
  const bool top = ACorner == coTopLeft || ACorner == coTopRight;
  RECT square{left ? ARect.left : ARect.right - w, top ? ARect.top : ARect.bottom - h, 0, 0};
  square.right = square.left + w;
  square.bottom = square.top + h;
  const HBRUSH face = GetSysColorBrush(COLOR_BTNFACE);
  RECT strip = square;
  if (left)
    strip.right = strip.left + 2;
  else
    strip.left = strip.right - 2;
  FillWith(ADC, strip, face);
  strip = square;
  if (top)
    strip.bottom = strip.top + 2;
  else
    strip.top = strip.bottom - 2;
  FillWith(ADC, strip, face);
  RECT grip{left ? square.left + 2 : square.left, top ? square.top + 2 : square.top,
            left ? square.right : square.right - 2, top ? square.bottom : square.bottom - 2};
  const int gw = Width(grip), gh = Height(grip);
  if (gw <= 0 || gh <= 0)
    return;
  TMemoryBitmap memory(ADC, gw, gh, false);
  RECT local{0, 0, gw, gh};
  DrawFrameControl(memory.DC(), &local, DFC_SCROLL, DFCS_SCROLLSIZEGRIP);
  // Mirrored so the ridges always point into the corner.
  StretchBlt(ADC, left ? grip.right - 1 : grip.left, top ? grip.bottom - 1 : grip.top,
             left ? -gw : gw, top ? -gh : gh, memory.DC(), 0, 0, gw, gh, SRCCOPY);
}

// ---------------------------------------------------------------------------
// TgxRegIniWrapper

namespace {

TCustomIniFile* AsIni(TPersistent* AObject) {
  return dynamic_cast<TCustomIniFile*>(AObject);
}

TRegIniFile& AsReg(TPersistent* AObject) {
  auto* reg = dynamic_cast<TRegIniFile*>(AObject);
  if (!reg)
    throw Exception(L"The layout storage is neither an ini file nor a registry ini file");
  return *reg;
}

// Works in the subkey ASection of the registry object's current key for a
// moment and puts the current key back, also on failure.
class TSubKeyScope {
public:
  TSubKeyScope(TRegistry& ARegistry, HKEY AKey) : FRegistry(ARegistry), FKey(AKey) {
    FPrevious = ARegistry.CurrentKey();
    ARegistry.SetCurrentKey(AKey);
  }
  TSubKeyScope(const TSubKeyScope&) = delete;
  TSubKeyScope& operator=(const TSubKeyScope&) = delete;
  ~TSubKeyScope() {
    FRegistry.SetCurrentKey(FPrevious);
    RegCloseKey(FKey);
  }

private:
  TRegistry& FRegistry;
  HKEY FKey;
  HKEY FPrevious;
};

} // namespace

std::wstring TgxRegIniWrapper::ReadString(const std::wstring& ASection, const std::wstring& AIdent,
                                          const std::wstring& ADefault) {
  if (TCustomIniFile* ini = AsIni(FRegIniObject))
    return ini->ReadString(ASection, AIdent, ADefault);
  return AsReg(FRegIniObject).ReadString(ASection, AIdent, ADefault);
}

void TgxRegIniWrapper::WriteString(const std::wstring& ASection, const std::wstring& AIdent,
                                   const std::wstring& AValue) {
  if (TCustomIniFile* ini = AsIni(FRegIniObject))
    ini->WriteString(ASection, AIdent, AValue);
  else
    AsReg(FRegIniObject).WriteString(ASection, AIdent, AValue);
}

int TgxRegIniWrapper::ReadInteger(const std::wstring& ASection, const std::wstring& AIdent,
                                  int ADefault) {
  if (TCustomIniFile* ini = AsIni(FRegIniObject))
    return ini->ReadInteger(ASection, AIdent, ADefault);
  return AsReg(FRegIniObject).ReadInteger(ASection, AIdent, ADefault);
}

void TgxRegIniWrapper::WriteInteger(const std::wstring& ASection, const std::wstring& AIdent,
                                    int AValue) {
  if (TCustomIniFile* ini = AsIni(FRegIniObject))
    ini->WriteInteger(ASection, AIdent, AValue);
  else
    AsReg(FRegIniObject).WriteInteger(ASection, AIdent, AValue);
}

bool TgxRegIniWrapper::ReadBool(const std::wstring& ASection, const std::wstring& AIdent,
                                bool ADefault) {
  if (TCustomIniFile* ini = AsIni(FRegIniObject))
    return ini->ReadBool(ASection, AIdent, ADefault);
  return AsReg(FRegIniObject).ReadBool(ASection, AIdent, ADefault);
}

void TgxRegIniWrapper::WriteBool(const std::wstring& ASection, const std::wstring& AIdent,
                                 bool AValue) {
  if (TCustomIniFile* ini = AsIni(FRegIniObject))
    ini->WriteBool(ASection, AIdent, AValue);
  else
    AsReg(FRegIniObject).WriteBool(ASection, AIdent, AValue);
}

void TgxRegIniWrapper::ReadSection(const std::wstring& ASection, TStrings& AStrings) {
  if (TCustomIniFile* ini = AsIni(FRegIniObject))
    ini->ReadSection(ASection, AStrings);
  else
    AsReg(FRegIniObject).ReadSection(ASection, AStrings);
}

void TgxRegIniWrapper::ReadSections(TStrings& AStrings) {
  if (TCustomIniFile* ini = AsIni(FRegIniObject))
    ini->ReadSections(AStrings);
  else
    AsReg(FRegIniObject).ReadSections(AStrings);
}

void TgxRegIniWrapper::ReadSectionValues(const std::wstring& ASection, TStrings& AStrings) {
  if (TCustomIniFile* ini = AsIni(FRegIniObject))
    ini->ReadSectionValues(ASection, AStrings);
  else
    AsReg(FRegIniObject).ReadSectionValues(ASection, AStrings);
}

void TgxRegIniWrapper::EraseSection(const std::wstring& ASection) {
  if (TCustomIniFile* ini = AsIni(FRegIniObject))
    ini->EraseSection(ASection);
  else
    AsReg(FRegIniObject).EraseSection(ASection);
}

void TgxRegIniWrapper::DeleteKey(const std::wstring& ASection, const std::wstring& AIdent) {
  if (TCustomIniFile* ini = AsIni(FRegIniObject))
    ini->DeleteKey(ASection, AIdent);
  else
    AsReg(FRegIniObject).DeleteKey(ASection, AIdent);
}

int TgxRegIniWrapper::ReadBinaryData(const std::wstring& ASection, const std::wstring& AIdent,
                                     void* ABuffer, int ABufSize) {
  auto* registry = dynamic_cast<TRegistry*>(FRegIniObject);
  if (!registry)
    return 0;
  HKEY key = registry->GetKey(ASection, false);
  if (!key)
    return 0;
  TSubKeyScope scope(*registry, key);
  const int size = registry->GetDataSize(AIdent);
  if (size < 0)
    return 0;
  if (ABufSize <= 0)
    return size;
  return registry->ReadBinaryData(AIdent, ABuffer, ABufSize);
}

void TgxRegIniWrapper::WriteBinaryData(const std::wstring& ASection, const std::wstring& AIdent,
                                       const void* ABuffer, int ABufSize) {
  auto* registry = dynamic_cast<TRegistry*>(FRegIniObject);
  if (!registry)
    return;
  HKEY key = registry->GetKey(ASection, true);
  if (!key)
    throw ERegistryException(L"Failed to create key " + ASection);
  TSubKeyScope scope(*registry, key);
  registry->WriteBinaryData(AIdent, ABuffer, std::max(ABufSize, 0));
}

void TgxRegIniWrapper::Erase(const std::wstring& APath) {
  TCustomIniFile* ini = AsIni(FRegIniObject);
  if (!ini)
    return;
  TStringList sections;
  ini->ReadSections(sections);
  for (int i = 0; i < sections.Count(); ++i) {
    const std::wstring name = sections.Strings(i);
    if (name.compare(0, APath.size(), APath) == 0)
      ini->EraseSection(name);
  }
}
