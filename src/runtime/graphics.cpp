#include "graphics.h"

#include "resource-ledger.h"
#include "rtl-exceptions.h"

#include <objidl.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <cwctype>
#include <map>
#include <utility>

// --- colours -------------------------------------------------------------------

TColor ColorToRGB(TColor AColor) {
  if (AColor < 0)
    return TColor(GetSysColor(AColor & 0xFF));
  return AColor;
}

COLORREF ColorToColorRef(TColor AColor) {
  return COLORREF(ColorToRGB(AColor)) & 0x00FFFFFF;
}

namespace {

HGDIOBJ TakeGdi(HGDIOBJ AHandle) {
  if (!AHandle)
    throw EOutOfResources(L"Out of system resources");
  LedgerTake(TResourceKind::GdiObject, AHandle);
  return AHandle;
}

void GiveGdi(HGDIOBJ AHandle) {
  if (!AHandle)
    return;
  LedgerGive(TResourceKind::GdiObject, AHandle);
  DeleteObject(AHandle);
}

// A memory context for the length of one operation.
class TMemoryDC {
public:
  TMemoryDC() : FDC(CreateCompatibleDC(nullptr)) {
    if (!FDC)
      throw EOutOfResources(L"Out of system resources");
    LedgerTake(TResourceKind::DeviceContext, FDC);
  }
  ~TMemoryDC() {
    if (FOld)
      SelectObject(FDC, FOld);
    LedgerGive(TResourceKind::DeviceContext, FDC);
    DeleteDC(FDC);
  }
  TMemoryDC(const TMemoryDC&) = delete;
  TMemoryDC& operator=(const TMemoryDC&) = delete;
  void Select(HGDIOBJ AObject) {
    HGDIOBJ old = SelectObject(FDC, AObject);
    if (!FOld)
      FOld = old;
  }
  operator HDC() const { return FDC; }

private:
  HDC FDC;
  HGDIOBJ FOld = nullptr;
};

// The depth of a pfDevice bitmap, read once: a bitmap's rows must keep the
// layout they were made with even if the display changes meanwhile.
int ScreenBits() {
  static const int bits = [] {
    HDC screen = GetDC(nullptr);
    if (!screen)
      return 32;
    LedgerTake(TResourceKind::DeviceContext, screen);
    const int depth = GetDeviceCaps(screen, BITSPIXEL) * GetDeviceCaps(screen, PLANES);
    LedgerGive(TResourceKind::DeviceContext, screen);
    ReleaseDC(nullptr, screen);
    return depth == 16 || depth == 24 ? depth : 32;
  }();
  return bits;
}

} // namespace

// --- graphics objects ------------------------------------------------------------

TGraphicsObject::~TGraphicsObject() {
  FreeHandle();
}

HGDIOBJ TGraphicsObject::GetObjectHandle() {
  if (!FHandle) {
    FHandle = TakeGdi(CreateHandle());
    FOwned = true;
  }
  return FHandle;
}

void TGraphicsObject::FreeHandle() {
  if (FHandle && FOwned)
    GiveGdi(FHandle);
  FHandle = nullptr;
}

void TGraphicsObject::Changed() {
  // Whoever has the handle selected hears of the change first and lets go
  // of it; only then can it be deleted.
  if (OnChange)
    OnChange(this);
  FreeHandle();
}

void TGraphicsObject::SetObjectHandle(HGDIOBJ AHandle, bool AOwned) {
  if (OnChange)
    OnChange(this);
  FreeHandle();
  FHandle = AHandle;
  FOwned = AOwned;
  if (AHandle && AOwned)
    LedgerTake(TResourceKind::GdiObject, AHandle);
}

TFont::TFont() = default;

void TFont::Assign(const TPersistent* ASource) {
  if (auto* font = dynamic_cast<const TFont*>(ASource)) {
    FName = font->FName;
    FHeight = font->FHeight;
    FColor = font->FColor;
    FStyle = font->FStyle;
    FCharset = font->FCharset;
    FPitch = font->FPitch;
    FQuality = font->FQuality;
    FOrientation = font->FOrientation;
    Changed();
    return;
  }
  TPersistent::Assign(ASource);
}

void TFont::SetHandle(HFONT AHandle) {
  LOGFONTW font{};
  if (!AHandle || !GetObjectW(AHandle, sizeof font, &font))
    throw EInvalidGraphicOperation(L"Invalid font handle");
  FName = font.lfFaceName;
  FHeight = font.lfHeight;
  FStyle = TFontStyles((font.lfWeight >= FW_BOLD ? fsBold : 0) | (font.lfItalic ? fsItalic : 0) |
                       (font.lfUnderline ? fsUnderline : 0) | (font.lfStrikeOut ? fsStrikeOut : 0));
  FCharset = font.lfCharSet;
  FOrientation = font.lfEscapement;
  const int pitch = font.lfPitchAndFamily & 3;
  FPitch = pitch == FIXED_PITCH      ? TFontPitch::Fixed
           : pitch == VARIABLE_PITCH ? TFontPitch::Variable
                                     : TFontPitch::Default;
  Changed();
}

#define ORV_SETTER(Class, Field, Type, Name)                                                       \
  void Class::Name(Type AValue) {                                                                  \
    if (Field == AValue)                                                                           \
      return;                                                                                      \
    Field = AValue;                                                                                \
    Changed();                                                                                     \
  }

ORV_SETTER(TFont, FName, const std::wstring&, SetName)
ORV_SETTER(TFont, FHeight, int, SetHeight)
ORV_SETTER(TFont, FColor, TColor, SetColor)
ORV_SETTER(TFont, FStyle, TFontStyles, SetStyle)
ORV_SETTER(TFont, FCharset, BYTE, SetCharset)
ORV_SETTER(TFont, FPitch, TFontPitch, SetPitch)
ORV_SETTER(TFont, FQuality, TFontQuality, SetQuality)
ORV_SETTER(TFont, FOrientation, int, SetOrientation)
ORV_SETTER(TPen, FColor, TColor, SetColor)
ORV_SETTER(TPen, FStyle, TPenStyle, SetStyle)
ORV_SETTER(TPen, FMode, int, SetMode)
ORV_SETTER(TBrush, FColor, TColor, SetColor)
ORV_SETTER(TBrush, FStyle, TBrushStyle, SetStyle)
ORV_SETTER(TBrush, FBitmap, TBitmap*, SetBitmap)
#undef ORV_SETTER

int TFont::Size() const {
  return -MulDiv(FHeight, 72, FPixelsPerInch);
}

void TFont::SetSize(int AValue) {
  SetHeight(-MulDiv(AValue, FPixelsPerInch, 72));
}

HGDIOBJ TFont::CreateHandle() {
  static constexpr BYTE kQualities[] = {DEFAULT_QUALITY,     DRAFT_QUALITY,
                                        PROOF_QUALITY,       NONANTIALIASED_QUALITY,
                                        ANTIALIASED_QUALITY, CLEARTYPE_QUALITY};
  static constexpr BYTE kPitches[] = {DEFAULT_PITCH, VARIABLE_PITCH, FIXED_PITCH};
  LOGFONTW font{};
  font.lfHeight = FHeight;
  font.lfEscapement = FOrientation;
  font.lfOrientation = FOrientation;
  font.lfWeight = (FStyle & fsBold) ? FW_BOLD : FW_NORMAL;
  font.lfItalic = (FStyle & fsItalic) ? TRUE : FALSE;
  font.lfUnderline = (FStyle & fsUnderline) ? TRUE : FALSE;
  font.lfStrikeOut = (FStyle & fsStrikeOut) ? TRUE : FALSE;
  font.lfCharSet = FCharset;
  font.lfOutPrecision = OUT_DEFAULT_PRECIS;
  font.lfClipPrecision = CLIP_DEFAULT_PRECIS;
  font.lfQuality = kQualities[int(FQuality)];
  font.lfPitchAndFamily = kPitches[int(FPitch)];
  wcsncpy(font.lfFaceName, FName.c_str(), LF_FACESIZE - 1);
  return CreateFontIndirectW(&font);
}

void TPen::Assign(const TPersistent* ASource) {
  if (auto* pen = dynamic_cast<const TPen*>(ASource)) {
    FColor = pen->FColor;
    FWidth = pen->FWidth;
    FStyle = pen->FStyle;
    FMode = pen->FMode;
    Changed();
    return;
  }
  TPersistent::Assign(ASource);
}

void TPen::SetWidth(int AValue) {
  if (AValue < 0 || AValue == FWidth)
    return;
  FWidth = AValue;
  Changed();
}

HGDIOBJ TPen::CreateHandle() {
  static constexpr int kStyles[] = {PS_SOLID,      PS_DASH, PS_DOT,        PS_DASHDOT,
                                    PS_DASHDOTDOT, PS_NULL, PS_INSIDEFRAME};
  return CreatePen(kStyles[int(FStyle)], FWidth, ColorToColorRef(FColor));
}

void TBrush::Assign(const TPersistent* ASource) {
  if (auto* brush = dynamic_cast<const TBrush*>(ASource)) {
    FColor = brush->FColor;
    FStyle = brush->FStyle;
    FBitmap = brush->FBitmap;
    Changed();
    return;
  }
  TPersistent::Assign(ASource);
}

void TBrush::SetHandle(HBRUSH AHandle) {
  LOGBRUSH info{};
  if (AHandle && GetObjectW(AHandle, sizeof info, &info)) {
    FBitmap = nullptr;
    FStyle = info.lbStyle == BS_NULL ? TBrushStyle::Clear : TBrushStyle::Solid;
    if (info.lbStyle == BS_SOLID)
      FColor = TColor(info.lbColor);
  }
  SetObjectHandle(AHandle, false);
}

HGDIOBJ TBrush::CreateHandle() {
  if (FBitmap) {
    HBITMAP pattern = FBitmap->Handle();
    if (!pattern)
      throw EInvalidGraphicOperation(L"A pattern brush needs a bitmap with pixels");
    return CreatePatternBrush(pattern);
  }
  switch (FStyle) {
  case TBrushStyle::Solid:
    return CreateSolidBrush(ColorToColorRef(FColor));
  case TBrushStyle::Clear: {
    LOGBRUSH info{BS_NULL, 0, 0};
    return CreateBrushIndirect(&info);
  }
  default:
    return CreateHatchBrush(int(FStyle) - int(TBrushStyle::Horizontal), ColorToColorRef(FColor));
  }
}

// --- canvas --------------------------------------------------------------------------

TCanvas::TCanvas()
    : FFont(std::make_unique<TFont>()), FPen(std::make_unique<TPen>()),
      FBrush(std::make_unique<TBrush>()) {
  // An object about to change is taken out of the context, so its old
  // handle can be deleted; the next drawing operation selects the new one.
  FFont->OnChange = [this](TGraphicsObject*) {
    if (FHandle && (FState & csFontValid))
      SelectObject(FHandle, GetStockObject(SYSTEM_FONT));
    FState &= ~unsigned(csFontValid);
  };
  FPen->OnChange = [this](TGraphicsObject*) {
    if (FHandle && (FState & csPenValid))
      SelectObject(FHandle, GetStockObject(BLACK_PEN));
    FState &= ~unsigned(csPenValid);
  };
  FBrush->OnChange = [this](TGraphicsObject*) {
    if (FHandle && (FState & csBrushValid))
      SelectObject(FHandle, GetStockObject(HOLLOW_BRUSH));
    FState &= ~unsigned(csBrushValid);
  };
}

TCanvas::~TCanvas() {
  // Descendants release their own contexts; a foreign one is only left clean.
  DeselectHandles();
}

HDC TCanvas::Handle() {
  RequireState(csHandleValid);
  return FHandle;
}

void TCanvas::SetHandle(HDC AValue) {
  if (FHandle == AValue)
    return;
  DeselectHandles();
  FHandle = AValue;
  FState = AValue ? unsigned(csHandleValid) : 0;
}

void TCanvas::CreateHandle() {}

void TCanvas::DeselectHandles() {
  if (FHandle && (FState & (csFontValid | csPenValid | csBrushValid))) {
    SelectObject(FHandle, GetStockObject(BLACK_PEN));
    SelectObject(FHandle, GetStockObject(HOLLOW_BRUSH));
    SelectObject(FHandle, GetStockObject(SYSTEM_FONT));
  }
  FState &= ~unsigned(csFontValid | csPenValid | csBrushValid);
}

void TCanvas::Refresh() {
  DeselectHandles();
}

void TCanvas::RequireState(unsigned AState) {
  const unsigned needed = AState & ~FState;
  if (!needed)
    return;
  if (needed & csHandleValid) {
    CreateHandle();
    if (!FHandle)
      throw EInvalidGraphicOperation(L"Canvas does not allow drawing");
    FState |= csHandleValid;
  }
  if (needed & csFontValid)
    SelectFont();
  if (needed & csPenValid)
    SelectPen();
  if (needed & csBrushValid)
    SelectBrush();
}

void TCanvas::SelectFont() {
  SelectObject(FHandle, FFont->Handle());
  SetTextColor(FHandle, ColorToColorRef(FFont->Color()));
  FState |= csFontValid;
}

void TCanvas::SelectPen() {
  SelectObject(FHandle, FPen->Handle());
  SetROP2(FHandle, FPen->Mode());
  FState |= csPenValid;
}

void TCanvas::SelectBrush() {
  HBRUSH brush = FBrush->Handle();
  UnrealizeObject(brush);
  SelectObject(FHandle, brush);
  SetBkColor(FHandle, ColorToColorRef(FBrush->Color()));
  const bool opaque = FBrush->Style() == TBrushStyle::Solid && !FBrush->Bitmap();
  SetBkMode(FHandle, opaque ? OPAQUE : TRANSPARENT);
  FState |= csBrushValid;
}

void TCanvas::Changing() {
  if (OnChanging)
    OnChanging(this);
}

void TCanvas::Changed() {
  if (OnChange)
    OnChange(this);
}

POINT TCanvas::PenPos() {
  RequireState(csHandleValid);
  POINT point{};
  GetCurrentPositionEx(FHandle, &point);
  return point;
}

void TCanvas::MoveTo(int AX, int AY) {
  RequireState(csHandleValid);
  MoveToEx(FHandle, AX, AY, nullptr);
}

void TCanvas::LineTo(int AX, int AY) {
  Changing();
  RequireState(csHandleValid | csPenValid | csBrushValid);
  ::LineTo(FHandle, AX, AY);
  Changed();
}

void TCanvas::Polyline(const std::vector<POINT>& APoints) {
  Changing();
  RequireState(csHandleValid | csPenValid | csBrushValid);
  ::Polyline(FHandle, APoints.data(), int(APoints.size()));
  Changed();
}

void TCanvas::Polygon(const std::vector<POINT>& APoints) {
  Changing();
  RequireState(csHandleValid | csPenValid | csBrushValid);
  ::Polygon(FHandle, APoints.data(), int(APoints.size()));
  Changed();
}

void TCanvas::Rectangle(int AX1, int AY1, int AX2, int AY2) {
  Changing();
  RequireState(csHandleValid | csPenValid | csBrushValid);
  ::Rectangle(FHandle, AX1, AY1, AX2, AY2);
  Changed();
}

void TCanvas::Ellipse(int AX1, int AY1, int AX2, int AY2) {
  Changing();
  RequireState(csHandleValid | csPenValid | csBrushValid);
  ::Ellipse(FHandle, AX1, AY1, AX2, AY2);
  Changed();
}

void TCanvas::RoundRect(int AX1, int AY1, int AX2, int AY2, int AX3, int AY3) {
  Changing();
  RequireState(csHandleValid | csPenValid | csBrushValid);
  ::RoundRect(FHandle, AX1, AY1, AX2, AY2, AX3, AY3);
  Changed();
}

void TCanvas::FillRect(const RECT& ARect) {
  Changing();
  RequireState(csHandleValid | csBrushValid);
  if (FBrush->Style() != TBrushStyle::Clear || FBrush->Bitmap())
    ::FillRect(FHandle, &ARect, FBrush->Handle());
  Changed();
}

void TCanvas::FrameRect(const RECT& ARect) {
  Changing();
  RequireState(csHandleValid | csBrushValid);
  ::FrameRect(FHandle, &ARect, FBrush->Handle());
  Changed();
}

void TCanvas::DrawFocusRect(const RECT& ARect) {
  Changing();
  RequireState(csHandleValid | csBrushValid);
  ::DrawFocusRect(FHandle, &ARect);
  Changed();
}

void TCanvas::TextOut(int AX, int AY, const std::wstring& AText) {
  Changing();
  RequireState(csHandleValid | csFontValid | csBrushValid);
  ExtTextOutW(FHandle, AX, AY, 0, nullptr, AText.c_str(), UINT(AText.size()), nullptr);
  MoveToEx(FHandle, AX + TextWidth(AText), AY, nullptr);
  Changed();
}

void TCanvas::TextRect(const RECT& ARect, int AX, int AY, const std::wstring& AText) {
  Changing();
  RequireState(csHandleValid | csFontValid | csBrushValid);
  UINT options = ETO_CLIPPED;
  if (FBrush->Style() != TBrushStyle::Clear)
    options |= ETO_OPAQUE;
  ExtTextOutW(FHandle, AX, AY, options, &ARect, AText.c_str(), UINT(AText.size()), nullptr);
  Changed();
}

void TCanvas::TextRect(RECT& ARect, const std::wstring& AText, UINT AFlags) {
  Changing();
  RequireState(csHandleValid | csFontValid | csBrushValid);
  DrawTextW(FHandle, AText.c_str(), int(AText.size()), &ARect, AFlags);
  Changed();
}

SIZE TCanvas::TextExtent(const std::wstring& AText) {
  RequireState(csHandleValid | csFontValid);
  SIZE size{};
  GetTextExtentPoint32W(FHandle, AText.c_str(), int(AText.size()), &size);
  return size;
}

void TCanvas::Draw(int AX, int AY, TGraphic* AGraphic) {
  if (!AGraphic || AGraphic->Empty())
    return;
  Changing();
  RequireState(csHandleValid);
  AGraphic->Draw(*this, RECT{AX, AY, AX + AGraphic->Width(), AY + AGraphic->Height()});
  Changed();
}

void TCanvas::StretchDraw(const RECT& ARect, TGraphic* AGraphic) {
  if (!AGraphic || AGraphic->Empty())
    return;
  Changing();
  RequireState(csHandleValid);
  AGraphic->Draw(*this, ARect);
  Changed();
}

void TCanvas::CopyRect(const RECT& ADestRect, TCanvas& ASource, const RECT& ASourceRect) {
  Changing();
  RequireState(csHandleValid | csFontValid | csBrushValid);
  HDC source = ASource.Handle();
  StretchBlt(FHandle, ADestRect.left, ADestRect.top, ADestRect.right - ADestRect.left,
             ADestRect.bottom - ADestRect.top, source, ASourceRect.left, ASourceRect.top,
             ASourceRect.right - ASourceRect.left, ASourceRect.bottom - ASourceRect.top, FCopyMode);
  Changed();
}

TColor TCanvas::Pixel(int AX, int AY) {
  RequireState(csHandleValid);
  return TColor(GetPixel(FHandle, AX, AY));
}

void TCanvas::SetPixel(int AX, int AY, TColor AColor) {
  Changing();
  RequireState(csHandleValid);
  ::SetPixel(FHandle, AX, AY, ColorToColorRef(AColor));
  Changed();
}

RECT TCanvas::ClipRect() {
  RequireState(csHandleValid);
  RECT rect{};
  GetClipBox(FHandle, &rect);
  return rect;
}

void TCanvas::Lock() {
  FLock.lock();
  ++FLockCount;
}

bool TCanvas::TryLock() {
  if (!FLock.try_lock())
    return false;
  ++FLockCount;
  return true;
}

void TCanvas::Unlock() {
  --FLockCount;
  FLock.unlock();
}

// --- graphic -------------------------------------------------------------------------

void TGraphic::SetSize(int AWidth, int AHeight) {
  SetWidth(AWidth);
  SetHeight(AHeight);
}

void TGraphic::SetTransparent(bool AValue) {
  if (AValue == FTransparent)
    return;
  FTransparent = AValue;
  Changed();
}

void TGraphic::SetModified(bool AValue) {
  if (AValue)
    Changed();
  else
    FModified = false;
}

void TGraphic::Changed() {
  FModified = true;
  if (OnChange)
    OnChange(this);
}

void TGraphic::LoadFromFile(const std::wstring& AFileName) {
  TFileStream file(AFileName, fmOpenRead | fmShareDenyWrite);
  LoadFromStream(file);
}

void TGraphic::SaveToFile(const std::wstring& AFileName) {
  TFileStream file(AFileName, fmCreate);
  SaveToStream(file);
}

void TGraphic::LoadFromClipboardFormat(UINT, HANDLE, HPALETTE) {
  throw EInvalidGraphic(L"Unsupported clipboard format");
}

void TGraphic::SaveToClipboardFormat(UINT&, HANDLE&, HPALETTE&) {
  throw EInvalidGraphic(L"Unsupported clipboard format");
}

void TGraphic::ReadData(TStream& AStream) {
  const int32_t size = AStream.ReadValue<int32_t>();
  if (size < 0)
    throw EReadError(L"Invalid graphic data size");
  // The size comes from the data: room grows only with bytes that are
  // really there, so a wrong size gives the read error, not a huge block.
  std::vector<uint8_t> data;
  constexpr size_t kPiece = 0x10000;
  while (data.size() < size_t(size)) {
    const size_t piece = std::min(kPiece, size_t(size) - data.size());
    data.resize(data.size() + piece);
    AStream.ReadBuffer(data.data() + data.size() - piece, piece);
  }
  TMemoryStreamReadOnly inner(data.data(), data.size());
  LoadFromStream(inner);
}

void TGraphic::WriteData(TStream& AStream) {
  TMemoryStream inner;
  SaveToStream(inner);
  AStream.WriteValue(int32_t(inner.GetSize()));
  inner.SaveToStream(AStream);
}

// --- bitmap --------------------------------------------------------------------------

int PixelFormatBits(TPixelFormat AFormat) {
  static constexpr int kBits[] = {0, 1, 4, 8, 16, 16, 24, 32, 32};
  if (AFormat == TPixelFormat::pfDevice)
    return ScreenBits();
  return kBits[int(AFormat)];
}

namespace {

#pragma pack(push, 2)
struct TBitmapFileHeader {
  uint16_t Type;
  uint32_t Size;
  uint16_t Reserved1;
  uint16_t Reserved2;
  uint32_t OffBits;
};
#pragma pack(pop)
static_assert(sizeof(TBitmapFileHeader) == 14);

constexpr uint16_t kBitmapMagic = 0x4D42; // "BM"
// Larger images are refused as malformed rather than tried.
constexpr int64_t kMaxImageBytes = int64_t(1) << 30;

struct TBitmapInfo {
  BITMAPINFOHEADER Header;
  RGBQUAD Colors[256];
};

std::vector<RGBQUAD> DefaultColorTable(int ABits) {
  static constexpr COLORREF kVga[16] = {0x000000, 0x000080, 0x008000, 0x008080, 0x800000, 0x800080,
                                        0x808000, 0xC0C0C0, 0x808080, 0x0000FF, 0x00FF00, 0x00FFFF,
                                        0xFF0000, 0xFF00FF, 0xFFFF00, 0xFFFFFF};
  auto quad = [](COLORREF c) { return RGBQUAD{GetBValue(c), GetGValue(c), GetRValue(c), 0}; };
  std::vector<RGBQUAD> table;
  if (ABits == 1) {
    table = {quad(0x000000), quad(0xFFFFFF)};
  } else if (ABits == 4) {
    for (COLORREF c : kVga)
      table.push_back(quad(c));
  } else if (ABits == 8) {
    for (COLORREF c : kVga)
      table.push_back(quad(c));
    for (int r = 0; r < 6; ++r)
      for (int g = 0; g < 6; ++g)
        for (int b = 0; b < 6; ++b)
          table.push_back(RGBQUAD{BYTE(b * 51), BYTE(g * 51), BYTE(r * 51), 0});
    for (int i = 0; i < 24; ++i) {
      const BYTE v = BYTE(8 + i * 10);
      table.push_back(RGBQUAD{v, v, v, 0});
    }
  }
  return table;
}

// A bottom-up DIB section of the format; AColors fills the colour table of
// formats up to 8 bits (the default table when empty).
HBITMAP NewSection(int AWidth, int AHeight, TPixelFormat AFormat, void** ABits,
                   const std::vector<RGBQUAD>& AColors = {}) {
  const int bits = PixelFormatBits(AFormat);
  TBitmapInfo info{};
  info.Header.biSize = sizeof(BITMAPINFOHEADER);
  info.Header.biWidth = AWidth;
  info.Header.biHeight = AHeight;
  info.Header.biPlanes = 1;
  info.Header.biBitCount = WORD(bits);
  info.Header.biCompression = BI_RGB;
  if (AFormat == TPixelFormat::pf16bit) {
    info.Header.biCompression = BI_BITFIELDS;
    const DWORD masks[3] = {0xF800, 0x07E0, 0x001F};
    std::memcpy(info.Colors, masks, sizeof masks);
  } else if (bits <= 8) {
    std::vector<RGBQUAD> table = AColors.empty() ? DefaultColorTable(bits) : AColors;
    table.resize(size_t(1) << bits);
    std::copy(table.begin(), table.end(), info.Colors);
    info.Header.biClrUsed = DWORD(table.size());
  }
  HBITMAP section = CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS,
                                     ABits, nullptr, 0);
  if (!section || !*ABits)
    throw EOutOfResources(L"Out of system resources");
  LedgerTake(TResourceKind::GdiObject, section);
  return section;
}

int StrideOf(int AWidth, int ABits) {
  return ((AWidth * ABits + 31) / 32) * 4;
}

void BlitHandles(HBITMAP ADest, HBITMAP ASource, int AWidth, int AHeight) {
  TMemoryDC dest, source;
  dest.Select(ADest);
  source.Select(ASource);
  BitBlt(dest, 0, 0, AWidth, AHeight, source, 0, 0, SRCCOPY);
  GdiFlush();
}

TPixelFormat FormatOfBits(int ABits, DWORD ACompression, const DWORD* AMasks) {
  switch (ABits) {
  case 1:
    return TPixelFormat::pf1bit;
  case 4:
    return TPixelFormat::pf4bit;
  case 8:
    return TPixelFormat::pf8bit;
  case 16:
    if (ACompression == BI_RGB)
      return TPixelFormat::pf15bit;
    if (AMasks[0] == 0xF800 && AMasks[1] == 0x07E0 && AMasks[2] == 0x001F)
      return TPixelFormat::pf16bit;
    if (AMasks[0] == 0x7C00 && AMasks[1] == 0x03E0 && AMasks[2] == 0x001F)
      return TPixelFormat::pf15bit;
    break;
  case 24:
    if (ACompression == BI_RGB)
      return TPixelFormat::pf24bit;
    break;
  case 32:
    if (ACompression == BI_RGB ||
        (AMasks[0] == 0xFF0000 && AMasks[1] == 0xFF00 && AMasks[2] == 0xFF))
      return TPixelFormat::pf32bit;
    break;
  }
  throw EInvalidGraphic(L"Bitmap image is not valid");
}

} // namespace

TBitmap::TBitmap() = default;

TBitmap::TBitmap(int AWidth, int AHeight, TPixelFormat AFormat) {
  FPixelFormat = AFormat;
  NewImage(AWidth, AHeight, AFormat);
}

TBitmap::~TBitmap() {
  FCanvas.reset();
  GiveGdi(FHandle);
}

void TBitmap::NewImage(int AWidth, int AHeight, TPixelFormat AFormat) {
  Dormant();
  if (AWidth < 0 || AHeight < 0)
    throw EInvalidGraphic(L"Invalid bitmap size");
  HBITMAP section = nullptr;
  void* bits = nullptr;
  if (AWidth > 0 && AHeight > 0) {
    if (int64_t(StrideOf(AWidth, 32)) * AHeight > kMaxImageBytes)
      throw EOutOfResources(L"Bitmap too large");
    section = NewSection(AWidth, AHeight, AFormat, &bits);
  }
  GiveGdi(FHandle);
  FHandle = section;
  FBits = bits;
  // The size is kept even while one side is 0, so setting the width and
  // then the height of an empty bitmap gives the image asked for.
  FWidth = AWidth;
  FHeight = AHeight;
  FPixelFormat = AFormat;
}

void TBitmap::Assign(const TPersistent* ASource) {
  if (!ASource) {
    FreeImage();
    Changed();
    return;
  }
  if (auto* source = dynamic_cast<const TBitmap*>(ASource)) {
    if (source == this)
      return;
    auto* other = const_cast<TBitmap*>(source);
    // The source's section may be selected in its canvas; it must be free
    // to be selected for reading its colour table.
    other->Dormant();
    NewImage(source->FWidth, source->FHeight, source->FPixelFormat);
    if (FHandle) {
      GdiFlush();
      std::memcpy(FBits, source->FBits, size_t(BytesPerScanLine()) * size_t(FHeight));
      if (PixelFormatBits(FPixelFormat) <= 8) {
        RGBQUAD table[256];
        TMemoryDC dc;
        dc.Select(other->FHandle);
        const UINT count = GetDIBColorTable(dc, 0, 256, table);
        TMemoryDC mine;
        mine.Select(FHandle);
        SetDIBColorTable(mine, 0, count, table);
      }
    }
    FTransparentMode = source->FTransparentMode;
    FTransparentColor = source->FTransparentColor;
    TGraphic::SetTransparent(source->Transparent());
    Changed();
    return;
  }
  if (auto* graphic = dynamic_cast<const TGraphic*>(ASource)) {
    try {
      TPersistent::Assign(ASource);
    } catch (const EConvertError&) {
      // A graphic that knows nothing of bitmaps is drawn into one.
      auto* other = const_cast<TGraphic*>(graphic);
      NewImage(other->Width(), other->Height(), TPixelFormat::pf32bit);
      if (FHandle) {
        Canvas().Brush().SetColor(clWhite);
        Canvas().Brush().SetStyle(TBrushStyle::Solid);
        Canvas().FillRect(RECT{0, 0, FWidth, FHeight});
        Canvas().Draw(0, 0, other);
      }
      Changed();
    }
    return;
  }
  TPersistent::Assign(ASource);
}

void TBitmap::SetSize(int AWidth, int AHeight) {
  if (AWidth == FWidth && AHeight == FHeight)
    return;
  if (AWidth < 0 || AHeight < 0)
    throw EInvalidGraphic(L"Invalid bitmap size");
  Dormant();
  HBITMAP old = FHandle;
  void* oldBits = FBits;
  const int oldHeight = FHeight;
  const int oldStride = BytesPerScanLine();
  FHandle = nullptr; // keep the old section alive while its pixels are copied
  try {
    NewImage(AWidth, AHeight, FPixelFormat);
  } catch (...) {
    FHandle = old;
    throw;
  }
  if (old && FHandle) {
    GdiFlush();
    if (PixelFormatBits(FPixelFormat) <= 8) {
      RGBQUAD table[256];
      TMemoryDC dc;
      dc.Select(old);
      const UINT count = GetDIBColorTable(dc, 0, 256, table);
      TMemoryDC mine;
      mine.Select(FHandle);
      SetDIBColorTable(mine, 0, count, table);
    }
    // Rows are kept from the top; the shared columns are the shorter row.
    const int stride = BytesPerScanLine();
    const int rowBytes = std::min(stride, oldStride);
    for (int row = 0; row < std::min(oldHeight, FHeight); ++row)
      std::memcpy(static_cast<uint8_t*>(FBits) + size_t(FHeight - 1 - row) * stride,
                  static_cast<const uint8_t*>(oldBits) + size_t(oldHeight - 1 - row) * oldStride,
                  size_t(rowBytes));
  }
  GiveGdi(old);
  Changed();
}

void TBitmap::SetPixelFormat(TPixelFormat AValue) {
  if (AValue == FPixelFormat)
    return;
  if (AValue == TPixelFormat::pfCustom)
    throw EInvalidGraphic(L"Invalid pixel format");
  if (!FHandle) {
    FPixelFormat = AValue;
    Changed();
    return;
  }
  Dormant();
  void* bits = nullptr;
  HBITMAP section = NewSection(FWidth, FHeight, AValue, &bits);
  BlitHandles(section, FHandle, FWidth, FHeight);
  GiveGdi(FHandle);
  FHandle = section;
  FBits = bits;
  FPixelFormat = AValue;
  Changed();
}

void TBitmap::SetMonochrome(bool AValue) {
  if (AValue)
    SetPixelFormat(TPixelFormat::pf1bit);
  else if (Monochrome())
    SetPixelFormat(TPixelFormat::pfDevice);
}

int TBitmap::BytesPerScanLine() const {
  return StrideOf(FWidth, PixelFormatBits(FPixelFormat));
}

void* TBitmap::ScanLine(int ARow) {
  if (!FHandle || ARow < 0 || ARow >= FHeight)
    throw EInvalidGraphicOperation(L"Scan line index out of range");
  GdiFlush();
  return static_cast<uint8_t*>(FBits) + size_t(FHeight - 1 - ARow) * size_t(BytesPerScanLine());
}

TCanvas& TBitmap::Canvas() {
  if (!FCanvas) {
    FCanvas = std::make_unique<TBitmapCanvas>(this);
    // Drawing on the canvas changes the bitmap.
    FCanvas->OnChange = [this](TCanvas*) { Changed(); };
  }
  return *FCanvas;
}

HBITMAP TBitmap::Handle() {
  return FHandle;
}

void TBitmap::SetHandle(HBITMAP AValue) {
  if (AValue == FHandle)
    return;
  if (!AValue) {
    FreeImage();
    Changed();
    return;
  }
  DIBSECTION section{};
  const int size = GetObjectW(AValue, sizeof section, &section);
  if (!size)
    throw EInvalidGraphic(L"Invalid bitmap handle");
  const BITMAP& bitmap = section.dsBm;
  TPixelFormat format = TPixelFormat::pfCustom;
  if (size == sizeof(DIBSECTION) && bitmap.bmBits && section.dsBmih.biHeight > 0) {
    try {
      format = FormatOfBits(section.dsBmih.biBitCount, section.dsBmih.biCompression,
                            section.dsBitfields);
    } catch (const EInvalidGraphic&) {
      format = TPixelFormat::pfCustom;
    }
  }
  if (format != TPixelFormat::pfCustom) {
    // A bottom-up DIB section of a format of ours is taken as it is.
    Dormant();
    GiveGdi(FHandle);
    FHandle = AValue;
    LedgerTake(TResourceKind::GdiObject, AValue);
    FBits = bitmap.bmBits;
    FWidth = bitmap.bmWidth;
    FHeight = bitmap.bmHeight;
    FPixelFormat = format;
    Changed();
    return;
  }
  // Anything else is copied into a section of its own and then deleted.
  format = bitmap.bmBitsPixel == 1 ? TPixelFormat::pf1bit : TPixelFormat::pf32bit;
  if (size == sizeof(DIBSECTION) && bitmap.bmBits && bitmap.bmBitsPixel == 16)
    format = FormatOfBits(16, section.dsBmih.biCompression, section.dsBitfields);
  NewImage(bitmap.bmWidth, std::abs(bitmap.bmHeight), format);
  if (FHandle)
    BlitHandles(FHandle, AValue, FWidth, FHeight);
  DeleteObject(AValue);
  Changed();
}

HBITMAP TBitmap::ReleaseHandle() {
  Dormant();
  HBITMAP handle = FHandle;
  if (handle)
    LedgerGive(TResourceKind::GdiObject, handle);
  FHandle = nullptr;
  FBits = nullptr;
  FWidth = FHeight = 0;
  return handle;
}

void TBitmap::Dormant() {
  if (FCanvas)
    FCanvas->FreeContext();
}

void TBitmap::FreeImage() {
  Dormant();
  GiveGdi(FHandle);
  FHandle = nullptr;
  FBits = nullptr;
  FWidth = FHeight = 0;
}

TColor TBitmap::TransparentColor() {
  if (FTransparentMode == TTransparentMode::tmFixed)
    return FTransparentColor;
  if (Empty())
    return clDefault;
  return Canvas().Pixel(0, FHeight - 1);
}

void TBitmap::SetTransparentColor(TColor AValue) {
  FTransparentColor = AValue;
  FTransparentMode = AValue == clDefault ? TTransparentMode::tmAuto : TTransparentMode::tmFixed;
  Changed();
}

void TBitmap::SetTransparentMode(TTransparentMode AValue) {
  if (AValue == FTransparentMode)
    return;
  if (AValue == TTransparentMode::tmAuto)
    SetTransparentColor(clDefault);
  else
    SetTransparentColor(TransparentColor());
}

void TBitmap::Draw(TCanvas& ACanvas, const RECT& ARect) {
  if (Empty())
    return;
  HDC source = Canvas().Handle();
  HDC dest = ACanvas.Handle();
  const int width = ARect.right - ARect.left, height = ARect.bottom - ARect.top;
  if (Transparent()) {
    TransparentBlt(dest, ARect.left, ARect.top, width, height, source, 0, 0, FWidth, FHeight,
                   ColorToColorRef(TransparentColor()));
    return;
  }
  const int oldMode = SetStretchBltMode(dest, COLORONCOLOR);
  StretchBlt(dest, ARect.left, ARect.top, width, height, source, 0, 0, FWidth, FHeight,
             ACanvas.CopyMode());
  SetStretchBltMode(dest, oldMode);
}

void TBitmap::LoadFromStream(TStream& AStream) {
  TBitmapFileHeader file{};
  const size_t got = AStream.Read(&file, sizeof file);
  if (got == 0) {
    // Nothing stored: an empty bitmap.
    FreeImage();
    Changed();
    return;
  }
  if (got != sizeof file)
    throw EReadError(L"Stream read error");
  if (file.Type != kBitmapMagic)
    throw EInvalidGraphic(L"Bitmap image is not valid");
  int64_t consumed = sizeof file;

  const uint32_t headerSize = AStream.ReadValue<uint32_t>();
  int width = 0, height = 0, bits = 0;
  DWORD compression = BI_RGB, colorsUsed = 0;
  DWORD masks[3] = {};
  bool core = false;
  if (headerSize == sizeof(BITMAPCOREHEADER)) {
    BITMAPCOREHEADER header{};
    header.bcSize = headerSize;
    AStream.ReadBuffer(reinterpret_cast<uint8_t*>(&header) + 4, sizeof header - 4);
    width = header.bcWidth;
    height = header.bcHeight;
    bits = header.bcBitCount;
    if (header.bcPlanes != 1)
      throw EInvalidGraphic(L"Bitmap image is not valid");
    core = true;
  } else if (headerSize == sizeof(BITMAPINFOHEADER) || headerSize == 52 || headerSize == 56 ||
             headerSize == sizeof(BITMAPV4HEADER) || headerSize == sizeof(BITMAPV5HEADER)) {
    std::vector<uint8_t> raw(headerSize);
    std::memcpy(raw.data(), &headerSize, 4);
    AStream.ReadBuffer(raw.data() + 4, headerSize - 4);
    BITMAPINFOHEADER header;
    std::memcpy(&header, raw.data(), sizeof header);
    width = header.biWidth;
    height = header.biHeight;
    bits = header.biBitCount;
    compression = header.biCompression;
    colorsUsed = header.biClrUsed;
    if (header.biPlanes != 1)
      throw EInvalidGraphic(L"Bitmap image is not valid");
    if (headerSize >= sizeof(BITMAPINFOHEADER) + 12)
      std::memcpy(masks, raw.data() + sizeof(BITMAPINFOHEADER), sizeof masks);
  } else {
    throw EInvalidGraphic(L"Bitmap image is not valid");
  }
  consumed += headerSize;

  if (compression == BI_BITFIELDS && headerSize == sizeof(BITMAPINFOHEADER)) {
    AStream.ReadBuffer(masks, sizeof masks);
    consumed += sizeof masks;
  }
  if (compression != BI_RGB && !(compression == BI_BITFIELDS && (bits == 16 || bits == 32)))
    throw EInvalidGraphic(L"Bitmap image is not valid");
  if (width <= 0 || height == 0 || height == INT32_MIN || width > 0xFFFF ||
      std::abs(height) > 0xFFFF)
    throw EInvalidGraphic(L"Bitmap image is not valid");
  const TPixelFormat format = FormatOfBits(bits, compression, masks);
  const bool topDown = height < 0;
  height = std::abs(height);
  const int64_t stride = StrideOf(width, bits);
  if (stride * height > kMaxImageBytes)
    throw EInvalidGraphic(L"Bitmap image is not valid");

  std::vector<RGBQUAD> colors;
  size_t tableCount = colorsUsed;
  if (bits <= 8) {
    if (tableCount == 0)
      tableCount = size_t(1) << bits;
    if (tableCount > (size_t(1) << bits))
      throw EInvalidGraphic(L"Bitmap image is not valid");
  } else if (tableCount > 256) {
    throw EInvalidGraphic(L"Bitmap image is not valid");
  }
  for (size_t i = 0; i < tableCount; ++i) {
    RGBQUAD quad{};
    if (core) {
      RGBTRIPLE triple;
      AStream.ReadBuffer(&triple, sizeof triple);
      quad = RGBQUAD{triple.rgbtBlue, triple.rgbtGreen, triple.rgbtRed, 0};
      consumed += sizeof triple;
    } else {
      AStream.ReadBuffer(&quad, sizeof quad);
      consumed += sizeof quad;
    }
    if (bits <= 8)
      colors.push_back(quad);
  }
  // Some writers leave a gap before the pixels; the file header says where they start.
  if (int64_t(file.OffBits) > consumed) {
    if (int64_t(file.OffBits) - consumed > 0x10000)
      throw EInvalidGraphic(L"Bitmap image is not valid");
    std::vector<uint8_t> gap(size_t(file.OffBits - consumed));
    AStream.ReadBuffer(gap.data(), gap.size());
  }

  std::vector<uint8_t> pixels(size_t(stride * height));
  AStream.ReadBuffer(pixels.data(), pixels.size());

  void* sectionBits = nullptr;
  HBITMAP section = NewSection(width, height, format, &sectionBits, colors);
  if (topDown) {
    for (int row = 0; row < height; ++row)
      std::memcpy(static_cast<uint8_t*>(sectionBits) + size_t(height - 1 - row) * stride,
                  pixels.data() + size_t(row) * stride, size_t(stride));
  } else {
    std::memcpy(sectionBits, pixels.data(), pixels.size());
  }
  Dormant();
  GiveGdi(FHandle);
  FHandle = section;
  FBits = sectionBits;
  FWidth = width;
  FHeight = height;
  FPixelFormat = format;
  Changed();
}

void TBitmap::SaveToStream(TStream& AStream) {
  if (Empty())
    return;
  const int bits = PixelFormatBits(FPixelFormat);
  std::vector<RGBQUAD> table;
  if (bits <= 8) {
    Dormant();
    table.resize(size_t(1) << bits);
    TMemoryDC dc;
    dc.Select(FHandle);
    GetDIBColorTable(dc, 0, UINT(table.size()), table.data());
  }
  const bool bitfields = FPixelFormat == TPixelFormat::pf16bit;
  const uint32_t extra = uint32_t(table.size() * sizeof(RGBQUAD)) + (bitfields ? 12 : 0);
  const uint32_t imageBytes = uint32_t(BytesPerScanLine()) * uint32_t(FHeight);
  TBitmapFileHeader file{};
  file.Type = kBitmapMagic;
  file.OffBits = uint32_t(sizeof file + sizeof(BITMAPINFOHEADER) + extra);
  file.Size = file.OffBits + imageBytes;
  BITMAPINFOHEADER header{};
  header.biSize = sizeof header;
  header.biWidth = FWidth;
  header.biHeight = FHeight;
  header.biPlanes = 1;
  header.biBitCount = WORD(bits);
  header.biCompression = bitfields ? BI_BITFIELDS : BI_RGB;
  header.biSizeImage = imageBytes;
  header.biClrUsed = DWORD(table.size());
  AStream.WriteValue(file);
  AStream.WriteValue(header);
  if (bitfields) {
    const DWORD masks[3] = {0xF800, 0x07E0, 0x001F};
    AStream.WriteBuffer(masks, sizeof masks);
  }
  if (!table.empty())
    AStream.WriteBuffer(table.data(), table.size() * sizeof(RGBQUAD));
  GdiFlush();
  AStream.WriteBuffer(FBits, imageBytes);
}

void TBitmap::LoadFromPackedDib(const void* AData, size_t ASize) {
  // A packed DIB is the file format without its file header, which says
  // where the pixels begin: after the header and its colour table or masks.
  if (ASize < sizeof(BITMAPCOREHEADER))
    throw EInvalidGraphic(L"Bitmap image is not valid");
  DWORD headerSize = 0;
  std::memcpy(&headerSize, AData, sizeof headerSize);
  size_t tableBytes = 0;
  if (headerSize == sizeof(BITMAPCOREHEADER)) {
    BITMAPCOREHEADER core;
    std::memcpy(&core, AData, sizeof core);
    if (core.bcBitCount <= 8)
      tableBytes = (size_t(1) << core.bcBitCount) * sizeof(RGBTRIPLE);
  } else {
    if (ASize < sizeof(BITMAPINFOHEADER))
      throw EInvalidGraphic(L"Bitmap image is not valid");
    BITMAPINFOHEADER header;
    std::memcpy(&header, AData, sizeof header);
    if (header.biBitCount <= 8)
      tableBytes =
          size_t(header.biClrUsed ? header.biClrUsed : (1u << header.biBitCount)) * sizeof(RGBQUAD);
    else if (header.biCompression == BI_BITFIELDS && headerSize == sizeof header)
      tableBytes = 3 * sizeof(DWORD);
    else
      tableBytes = size_t(header.biClrUsed) * sizeof(RGBQUAD);
  }
  if (tableBytes > 256 * sizeof(RGBQUAD) || ASize > 0xFFFFFFFFu - 64)
    throw EInvalidGraphic(L"Bitmap image is not valid");
  TBitmapFileHeader file{};
  file.Type = kBitmapMagic;
  file.Size = uint32_t(sizeof file + ASize);
  file.OffBits = uint32_t(sizeof file + headerSize + tableBytes);
  TMemoryStream stream;
  stream.WriteValue(file);
  stream.WriteBuffer(AData, ASize);
  stream.SetPosition(0);
  LoadFromStream(stream);
}

void TBitmap::LoadFromResourceName(HINSTANCE AInstance, const std::wstring& AName) {
  TResourceStream resource(AInstance, AName.c_str(), MAKEINTRESOURCEW(2)); // RT_BITMAP
  LoadFromPackedDib(resource.Memory(), size_t(resource.GetSize()));
}

void TBitmap::LoadFromResourceID(HINSTANCE AInstance, int AResourceId) {
  TResourceStream resource(AInstance, MAKEINTRESOURCEW(AResourceId), MAKEINTRESOURCEW(2));
  LoadFromPackedDib(resource.Memory(), size_t(resource.GetSize()));
}

void TBitmap::LoadFromClipboardFormat(UINT AFormat, HANDLE AData, HPALETTE) {
  if (AFormat == CF_BITMAP && AData) {
    BITMAP info{};
    if (!GetObjectW(AData, sizeof info, &info))
      throw EInvalidGraphic(L"Invalid bitmap handle");
    NewImage(info.bmWidth, std::abs(info.bmHeight),
             info.bmBitsPixel == 1 ? TPixelFormat::pf1bit : TPixelFormat::pf32bit);
    if (FHandle)
      BlitHandles(FHandle, static_cast<HBITMAP>(AData), FWidth, FHeight);
    Changed();
    return;
  }
  if (AFormat == CF_DIB && AData) {
    const size_t size = GlobalSize(AData);
    const void* memory = GlobalLock(AData);
    if (!memory)
      throw EInvalidGraphic(L"Bitmap image is not valid");
    try {
      LoadFromPackedDib(memory, size);
    } catch (...) {
      GlobalUnlock(AData);
      throw;
    }
    GlobalUnlock(AData);
    return;
  }
  TGraphic::LoadFromClipboardFormat(AFormat, AData, nullptr);
}

void TBitmap::SaveToClipboardFormat(UINT& AFormat, HANDLE& AData, HPALETTE& APalette) {
  AFormat = CF_BITMAP;
  APalette = nullptr;
  AData = nullptr;
  if (Empty())
    return;
  Dormant();
  // The clipboard takes a bitmap of its own, which its receiver owns.
  AData = CopyImage(FHandle, IMAGE_BITMAP, 0, 0, 0);
  if (!AData)
    throw EOutOfResources(L"Out of system resources");
}

TBitmapCanvas::~TBitmapCanvas() {
  FreeContext();
}

void TBitmapCanvas::CreateHandle() {
  HDC dc = CreateCompatibleDC(nullptr);
  if (!dc)
    throw EOutOfResources(L"Out of system resources");
  LedgerTake(TResourceKind::DeviceContext, dc);
  FOldBitmap = FBitmap->FHandle ? SelectObject(dc, FBitmap->FHandle) : nullptr;
  SetHandle(dc);
}

void TBitmapCanvas::FreeContext() {
  if (!HandleAllocated())
    return;
  Lock();
  HDC dc = Handle();
  SetHandle(nullptr);
  if (FOldBitmap)
    SelectObject(dc, FOldBitmap);
  FOldBitmap = nullptr;
  LedgerGive(TResourceKind::DeviceContext, dc);
  DeleteDC(dc);
  Unlock();
}

// --- GDI+ ------------------------------------------------------------------------------

namespace {

// The flat GDI+ interface, bound by name when a PNG is first read or written.
struct TGdiPlusStartupInput {
  UINT32 GdiplusVersion = 1;
  void* DebugEventCallback = nullptr;
  BOOL SuppressBackgroundThread = FALSE;
  BOOL SuppressExternalCodecs = FALSE;
};
struct TGpRect {
  INT X, Y, Width, Height;
};
struct TGpBitmapData {
  UINT Width;
  UINT Height;
  INT Stride;
  INT PixelFormat;
  void* Scan0;
  UINT_PTR Reserved;
};
struct TGpImageCodecInfo {
  CLSID Clsid;
  GUID FormatID;
  const WCHAR* CodecName;
  const WCHAR* DllName;
  const WCHAR* FormatDescription;
  const WCHAR* FilenameExtension;
  const WCHAR* MimeType;
  DWORD Flags;
  DWORD Version;
  DWORD SigCount;
  DWORD SigSize;
  const BYTE* SigPattern;
  const BYTE* SigMask;
};
// The layouts GDI+ fixes, on every target.
static_assert(sizeof(TGdiPlusStartupInput) == 3 * 4 + sizeof(void*) + (sizeof(void*) - 4));
static_assert(sizeof(TGpBitmapData) == 4 * 4 + 2 * sizeof(void*));
static_assert(sizeof(TGpImageCodecInfo) == 32 + 7 * sizeof(void*) + 16);
#if defined(__i386__)
static_assert(sizeof(TGpBitmapData) == 24 && sizeof(TGpImageCodecInfo) == 76);
#endif
using GpBitmap = void;
constexpr INT kPixelFormat32bppARGB = 0x26200A;
constexpr UINT kImageLockModeRead = 1;

struct TGdiPlus {
  HMODULE Module = nullptr;
  ULONG_PTR Token = 0;
  int(WINAPI* Startup)(ULONG_PTR*, const TGdiPlusStartupInput*, void*) = nullptr;
  void(WINAPI* Shutdown)(ULONG_PTR) = nullptr;
  int(WINAPI* CreateBitmapFromStream)(IStream*, GpBitmap**) = nullptr;
  int(WINAPI* CreateBitmapFromScan0)(INT, INT, INT, INT, BYTE*, GpBitmap**) = nullptr;
  int(WINAPI* GetImageWidth)(GpBitmap*, UINT*) = nullptr;
  int(WINAPI* GetImageHeight)(GpBitmap*, UINT*) = nullptr;
  int(WINAPI* BitmapLockBits)(GpBitmap*, const TGpRect*, UINT, INT, TGpBitmapData*) = nullptr;
  int(WINAPI* BitmapUnlockBits)(GpBitmap*, TGpBitmapData*) = nullptr;
  int(WINAPI* DisposeImage)(GpBitmap*) = nullptr;
  int(WINAPI* GetImageEncodersSize)(UINT*, UINT*) = nullptr;
  int(WINAPI* GetImageEncoders)(UINT, UINT, TGpImageCodecInfo*) = nullptr;
  int(WINAPI* SaveImageToStream)(GpBitmap*, IStream*, const CLSID*, const void*) = nullptr;
};

std::mutex& GdiPlusLock() {
  static std::mutex lock;
  return lock;
}

TGdiPlus& GdiPlusState() {
  static TGdiPlus state;
  return state;
}

template <typename TFunction> void Bind(HMODULE AModule, TFunction& AFunction, const char* AName) {
  AFunction = reinterpret_cast<TFunction>(reinterpret_cast<void*>(GetProcAddress(AModule, AName)));
  if (!AFunction)
    throw EInvalidGraphicOperation(L"GDI+ lacks an entry point the PNG image needs");
}

TGdiPlus& GdiPlus() {
  std::lock_guard guard(GdiPlusLock());
  TGdiPlus& gdi = GdiPlusState();
  if (gdi.Token)
    return gdi;
  HMODULE module = LoadLibraryW(L"gdiplus.dll");
  if (!module)
    throw EInvalidGraphicOperation(L"GDI+ is not available");
  LedgerTake(TResourceKind::Library, module);
  try {
    Bind(module, gdi.Startup, "GdiplusStartup");
    Bind(module, gdi.Shutdown, "GdiplusShutdown");
    Bind(module, gdi.CreateBitmapFromStream, "GdipCreateBitmapFromStream");
    Bind(module, gdi.CreateBitmapFromScan0, "GdipCreateBitmapFromScan0");
    Bind(module, gdi.GetImageWidth, "GdipGetImageWidth");
    Bind(module, gdi.GetImageHeight, "GdipGetImageHeight");
    Bind(module, gdi.BitmapLockBits, "GdipBitmapLockBits");
    Bind(module, gdi.BitmapUnlockBits, "GdipBitmapUnlockBits");
    Bind(module, gdi.DisposeImage, "GdipDisposeImage");
    Bind(module, gdi.GetImageEncodersSize, "GdipGetImageEncodersSize");
    Bind(module, gdi.GetImageEncoders, "GdipGetImageEncoders");
    Bind(module, gdi.SaveImageToStream, "GdipSaveImageToStream");
    TGdiPlusStartupInput input;
    ULONG_PTR token = 0;
    if (gdi.Startup(&token, &input, nullptr) != 0 || !token)
      throw EInvalidGraphicOperation(L"GDI+ could not start");
    gdi.Token = token;
  } catch (...) {
    LedgerGive(TResourceKind::Library, module);
    FreeLibrary(module);
    gdi = TGdiPlus{};
    throw;
  }
  gdi.Module = module;
  return gdi;
}

void ShutdownGdiPlus() {
  std::lock_guard guard(GdiPlusLock());
  TGdiPlus& gdi = GdiPlusState();
  if (!gdi.Token)
    return;
  gdi.Shutdown(gdi.Token);
  LedgerGive(TResourceKind::Library, gdi.Module);
  FreeLibrary(gdi.Module);
  gdi = TGdiPlus{};
}

// Releases a GDI+ image however the scope is left.
struct TGpImageHolder {
  TGdiPlus& Gdi;
  GpBitmap* Image = nullptr;
  ~TGpImageHolder() {
    if (Image)
      Gdi.DisposeImage(Image);
  }
};

// Releases a COM stream adapter however the scope is left.
struct TStreamHolder {
  IStream* Stream;
  ~TStreamHolder() { Stream->Release(); }
};

CLSID PngEncoder(TGdiPlus& AGdi) {
  UINT count = 0, size = 0;
  if (AGdi.GetImageEncodersSize(&count, &size) != 0 || size == 0)
    throw EInvalidGraphicOperation(L"GDI+ has no image encoders");
  std::vector<uint8_t> buffer(size);
  auto* codecs = reinterpret_cast<TGpImageCodecInfo*>(buffer.data());
  if (AGdi.GetImageEncoders(count, size, codecs) != 0)
    throw EInvalidGraphicOperation(L"GDI+ has no image encoders");
  for (UINT i = 0; i < count; ++i)
    if (codecs[i].MimeType && std::wstring(codecs[i].MimeType) == L"image/png")
      return codecs[i].Clsid;
  throw EInvalidGraphicOperation(L"GDI+ has no PNG encoder");
}

uint32_t BigEndian32(const uint8_t* AData) {
  return uint32_t(AData[0]) << 24 | uint32_t(AData[1]) << 16 | uint32_t(AData[2]) << 8 |
         uint32_t(AData[3]);
}

constexpr uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};

} // namespace

// --- PNG image -----------------------------------------------------------------------------

void TPngImage::SetSize(int AWidth, int AHeight) {
  if (AWidth < 0 || AHeight < 0 || int64_t(AWidth) * AHeight * 4 > kMaxImageBytes)
    throw EInvalidGraphic(L"Invalid image size");
  FWidth = AWidth;
  FHeight = AHeight;
  FPixels.assign(size_t(AWidth) * size_t(AHeight), 0);
  Changed();
}

uint8_t* TPngImage::Scanline(int ARow) {
  if (ARow < 0 || ARow >= FHeight)
    throw EInvalidGraphicOperation(L"Scan line index out of range");
  return reinterpret_cast<uint8_t*>(FPixels.data() + size_t(ARow) * size_t(FWidth));
}

uint32_t TPngImage::PixelARGB(int AX, int AY) const {
  if (AX < 0 || AY < 0 || AX >= FWidth || AY >= FHeight)
    throw EInvalidGraphicOperation(L"Pixel out of range");
  return FPixels[size_t(AY) * size_t(FWidth) + size_t(AX)];
}

uint8_t TPngImage::Alpha(int AX, int AY) const {
  return uint8_t(PixelARGB(AX, AY) >> 24);
}

void TPngImage::SetPixelARGB(int AX, int AY, uint32_t AValue) {
  if (AX < 0 || AY < 0 || AX >= FWidth || AY >= FHeight)
    throw EInvalidGraphicOperation(L"Pixel out of range");
  FPixels[size_t(AY) * size_t(FWidth) + size_t(AX)] = AValue;
  Changed();
}

void TPngImage::Assign(const TPersistent* ASource) {
  if (!ASource) {
    FWidth = FHeight = 0;
    FPixels.clear();
    Changed();
    return;
  }
  if (auto* png = dynamic_cast<const TPngImage*>(ASource)) {
    FWidth = png->FWidth;
    FHeight = png->FHeight;
    FPixels = png->FPixels;
    Changed();
    return;
  }
  if (auto* source = dynamic_cast<const TBitmap*>(ASource)) {
    // A bitmap is opaque, except for its transparent colour when it has one.
    TBitmap copy;
    copy.Assign(source);
    copy.SetPixelFormat(TPixelFormat::pf32bit);
    const bool keyed = source->Transparent();
    const uint32_t key =
        keyed ? ColorToColorRef(copy.TransparentColor()) : 0xFFFFFFFF; // 0x00BBGGRR
    const uint32_t keyRgb = ((key & 0xFF) << 16) | (key & 0xFF00) | ((key >> 16) & 0xFF);
    FWidth = copy.Width();
    FHeight = copy.Height();
    FPixels.assign(size_t(FWidth) * size_t(FHeight), 0);
    for (int y = 0; y < FHeight; ++y) {
      const auto* row = static_cast<const uint32_t*>(copy.ScanLine(y));
      for (int x = 0; x < FWidth; ++x) {
        const uint32_t rgb = row[x] & 0xFFFFFF;
        FPixels[size_t(y) * size_t(FWidth) + size_t(x)] =
            (keyed && rgb == keyRgb) ? 0 : (rgb | 0xFF000000u);
      }
    }
    Changed();
    return;
  }
  TPersistent::Assign(ASource);
}

void TPngImage::AssignTo(TPersistent* ADest) const {
  if (auto* bitmap = dynamic_cast<TBitmap*>(ADest)) {
    // The pixels as they are, alpha included, in a 32-bit bitmap.
    TBitmap fresh(FWidth, FHeight, TPixelFormat::pf32bit);
    for (int y = 0; y < FHeight; ++y)
      std::memcpy(fresh.ScanLine(y), FPixels.data() + size_t(y) * size_t(FWidth),
                  size_t(FWidth) * 4);
    bitmap->Assign(&fresh);
    return;
  }
  TGraphic::AssignTo(ADest);
}

void TPngImage::Draw(TCanvas& ACanvas, const RECT& ARect) {
  if (Empty())
    return;
  void* bits = nullptr;
  HBITMAP section = NewSection(FWidth, FHeight, TPixelFormat::pf32bit, &bits);
  try {
    // AlphaBlend wants premultiplied pixels, bottom-up in the section.
    auto* out = static_cast<uint8_t*>(bits);
    for (int y = 0; y < FHeight; ++y) {
      auto* row = reinterpret_cast<uint32_t*>(out + size_t(FHeight - 1 - y) * size_t(FWidth) * 4);
      for (int x = 0; x < FWidth; ++x) {
        const uint32_t p = FPixels[size_t(y) * size_t(FWidth) + size_t(x)];
        const uint32_t a = p >> 24;
        const uint32_t r = ((p >> 16) & 0xFF) * a / 255, g = ((p >> 8) & 0xFF) * a / 255,
                       b = (p & 0xFF) * a / 255;
        row[x] = a << 24 | r << 16 | g << 8 | b;
      }
    }
    TMemoryDC dc;
    dc.Select(section);
    const BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    AlphaBlend(ACanvas.Handle(), ARect.left, ARect.top, ARect.right - ARect.left,
               ARect.bottom - ARect.top, dc, 0, 0, FWidth, FHeight, blend);
  } catch (...) {
    GiveGdi(section);
    throw;
  }
  GiveGdi(section);
}

void TPngImage::LoadFromStream(TStream& AStream) {
  // Only the PNG's own bytes are taken, so data stored after it stay unread.
  TMemoryStream data;
  uint8_t signature[8];
  AStream.ReadBuffer(signature, sizeof signature);
  if (std::memcmp(signature, kPngSignature, sizeof signature) != 0)
    throw EInvalidGraphic(L"The data are not a PNG image");
  data.WriteBuffer(signature, sizeof signature);
  for (;;) {
    uint8_t head[8];
    AStream.ReadBuffer(head, sizeof head);
    const uint32_t length = BigEndian32(head);
    if (length > 0x7FFFFFFF || int64_t(length) > kMaxImageBytes)
      throw EInvalidGraphic(L"The PNG image is corrupt");
    data.WriteBuffer(head, sizeof head);
    std::vector<uint8_t> body(size_t(length) + 4);
    AStream.ReadBuffer(body.data(), body.size());
    data.WriteBuffer(body.data(), body.size());
    if (std::memcmp(head + 4, "IEND", 4) == 0)
      break;
  }
  data.SetPosition(0);

  TGdiPlus& gdi = GdiPlus();
  TStreamHolder adapter{NewStreamAdapter(data)};
  TGpImageHolder image{gdi};
  if (gdi.CreateBitmapFromStream(adapter.Stream, &image.Image) != 0 || !image.Image)
    throw EInvalidGraphic(L"The PNG image is corrupt");
  UINT width = 0, height = 0;
  gdi.GetImageWidth(image.Image, &width);
  gdi.GetImageHeight(image.Image, &height);
  if (width > 0xFFFF || height > 0xFFFF || int64_t(width) * height * 4 > kMaxImageBytes)
    throw EInvalidGraphic(L"The PNG image is too large");
  std::vector<uint32_t> pixels(size_t(width) * size_t(height));
  if (width && height) {
    const TGpRect rect{0, 0, INT(width), INT(height)};
    TGpBitmapData locked{};
    if (gdi.BitmapLockBits(image.Image, &rect, kImageLockModeRead, kPixelFormat32bppARGB,
                           &locked) != 0)
      throw EInvalidGraphic(L"The PNG image is corrupt");
    for (UINT y = 0; y < height; ++y)
      std::memcpy(pixels.data() + size_t(y) * width,
                  static_cast<const uint8_t*>(locked.Scan0) + ptrdiff_t(y) * locked.Stride,
                  size_t(width) * 4);
    gdi.BitmapUnlockBits(image.Image, &locked);
  }
  FWidth = int(width);
  FHeight = int(height);
  FPixels = std::move(pixels);
  Changed();
}

void TPngImage::SaveToStream(TStream& AStream) {
  if (Empty())
    throw EInvalidGraphicOperation(L"An empty PNG image cannot be saved");
  TGdiPlus& gdi = GdiPlus();
  const CLSID encoder = PngEncoder(gdi);
  TGpImageHolder image{gdi};
  if (gdi.CreateBitmapFromScan0(FWidth, FHeight, FWidth * 4, kPixelFormat32bppARGB,
                                reinterpret_cast<BYTE*>(FPixels.data()), &image.Image) != 0)
    throw EInvalidGraphicOperation(L"GDI+ could not take the PNG image");
  // The encoder may seek; it writes into memory first, then the bytes go on.
  TMemoryStream encoded;
  {
    TStreamHolder adapter{NewStreamAdapter(encoded)};
    if (gdi.SaveImageToStream(image.Image, adapter.Stream, &encoder, nullptr) != 0)
      throw EWriteError(L"GDI+ could not write the PNG image");
  }
  encoded.SaveToStream(AStream);
}

// --- picture ---------------------------------------------------------------------------------

namespace {

struct TFormatRegistry {
  std::mutex Lock;
  std::vector<TFileFormat> Files;
  std::vector<std::pair<UINT, TGraphicClass>> Clipboard;
  TFormatRegistry() {
    Files.push_back({L"bmp", L"Bitmaps", GraphicClassOf<TBitmap>()});
    Files.push_back({L"png", L"Portable Network Graphics", GraphicClassOf<TPngImage>()});
    Clipboard.push_back({CF_BITMAP, GraphicClassOf<TBitmap>()});
    Clipboard.push_back({CF_DIB, GraphicClassOf<TBitmap>()});
  }
};

TFormatRegistry& Formats() {
  static TFormatRegistry registry;
  return registry;
}

std::wstring LowerExtension(std::wstring AExtension) {
  if (!AExtension.empty() && AExtension[0] == L'.')
    AExtension.erase(0, 1);
  for (auto& c : AExtension)
    c = wchar_t(std::towlower(c));
  return AExtension;
}

std::wstring ExtensionOf(const std::wstring& AFileName) {
  const size_t slash = AFileName.find_last_of(L"\\/:");
  const size_t dot = AFileName.find_last_of(L'.');
  if (dot == std::wstring::npos || (slash != std::wstring::npos && dot < slash))
    return {};
  return LowerExtension(AFileName.substr(dot + 1));
}

} // namespace

TPicture::~TPicture() = default;

void TPicture::Assign(const TPersistent* ASource) {
  if (!ASource) {
    SetGraphic(nullptr);
    return;
  }
  if (auto* picture = dynamic_cast<const TPicture*>(ASource)) {
    SetGraphic(picture->Graphic());
    return;
  }
  if (auto* graphic = dynamic_cast<const TGraphic*>(ASource)) {
    SetGraphic(const_cast<TGraphic*>(graphic));
    return;
  }
  TPersistent::Assign(ASource);
}

void TPicture::SetGraphic(TGraphic* AGraphic) {
  if (AGraphic == FGraphic.get())
    return;
  if (!AGraphic) {
    TakeGraphic(nullptr);
    return;
  }
  std::unique_ptr<TGraphic> copy(AGraphic->GraphicClass()->Create());
  copy->Assign(AGraphic);
  TakeGraphic(std::move(copy));
}

TBitmap& TPicture::Bitmap() {
  if (auto* bitmap = dynamic_cast<TBitmap*>(FGraphic.get()))
    return *bitmap;
  auto bitmap = std::make_unique<TBitmap>();
  TBitmap& result = *bitmap;
  TakeGraphic(std::move(bitmap));
  return result;
}

void TPicture::TakeGraphic(std::unique_ptr<TGraphic> AGraphic) {
  FGraphic = std::move(AGraphic);
  if (FGraphic)
    FGraphic->OnChange = [this](TGraphic* AChanged) { GraphicChanged(AChanged); };
  Changed();
}

void TPicture::GraphicChanged(TGraphic*) {
  Changed();
}

void TPicture::Changed() {
  if (OnChange)
    OnChange(this);
}

void TPicture::LoadFromFile(const std::wstring& AFileName) {
  const std::wstring extension = ExtensionOf(AFileName);
  TGraphicClass graphicClass = GraphicClassOfExtension(extension);
  if (!graphicClass)
    throw EInvalidGraphic(L"Unknown picture file extension (." + extension + L")");
  std::unique_ptr<TGraphic> graphic(graphicClass->Create());
  graphic->LoadFromFile(AFileName);
  TakeGraphic(std::move(graphic));
}

void TPicture::SaveToFile(const std::wstring& AFileName) {
  if (FGraphic)
    FGraphic->SaveToFile(AFileName);
}

void TPicture::LoadFromClipboardFormat(UINT AFormat, HANDLE AData, HPALETTE APalette) {
  TGraphicClass graphicClass = nullptr;
  {
    TFormatRegistry& registry = Formats();
    std::lock_guard guard(registry.Lock);
    for (const auto& entry : registry.Clipboard)
      if (entry.first == AFormat) {
        graphicClass = entry.second;
        break;
      }
  }
  if (!graphicClass)
    throw EInvalidGraphic(L"Unsupported clipboard format");
  std::unique_ptr<TGraphic> graphic(graphicClass->Create());
  graphic->LoadFromClipboardFormat(AFormat, AData, APalette);
  TakeGraphic(std::move(graphic));
}

void TPicture::SaveToClipboardFormat(UINT& AFormat, HANDLE& AData, HPALETTE& APalette) {
  AFormat = 0;
  AData = nullptr;
  APalette = nullptr;
  if (FGraphic)
    FGraphic->SaveToClipboardFormat(AFormat, AData, APalette);
}

void TPicture::RegisterFileFormat(const std::wstring& AExtension, const std::wstring& ADescription,
                                  TGraphicClass AGraphicClass) {
  const std::wstring extension = LowerExtension(AExtension);
  if (extension.empty() || !AGraphicClass)
    throw EInvalidGraphicOperation(L"A picture format needs an extension and a class");
  TFormatRegistry& registry = Formats();
  std::lock_guard guard(registry.Lock);
  for (auto& entry : registry.Files)
    if (entry.Extension == extension) {
      entry = {extension, ADescription, AGraphicClass};
      return;
    }
  registry.Files.push_back({extension, ADescription, AGraphicClass});
}

void TPicture::RegisterClipboardFormat(UINT AFormat, TGraphicClass AGraphicClass) {
  TFormatRegistry& registry = Formats();
  std::lock_guard guard(registry.Lock);
  for (auto& entry : registry.Clipboard)
    if (entry.first == AFormat) {
      entry.second = AGraphicClass;
      return;
    }
  registry.Clipboard.push_back({AFormat, AGraphicClass});
}

void TPicture::UnregisterGraphicClass(TGraphicClass AGraphicClass) {
  TFormatRegistry& registry = Formats();
  std::lock_guard guard(registry.Lock);
  std::erase_if(registry.Files,
                [&](const TFileFormat& entry) { return entry.GraphicClass == AGraphicClass; });
  std::erase_if(registry.Clipboard,
                [&](const auto& entry) { return entry.second == AGraphicClass; });
}

bool TPicture::SupportsClipboardFormat(UINT AFormat) {
  TFormatRegistry& registry = Formats();
  std::lock_guard guard(registry.Lock);
  return std::any_of(registry.Clipboard.begin(), registry.Clipboard.end(),
                     [&](const auto& entry) { return entry.first == AFormat; });
}

std::vector<TFileFormat> TPicture::FileFormats() {
  TFormatRegistry& registry = Formats();
  std::lock_guard guard(registry.Lock);
  return registry.Files;
}

TGraphicClass TPicture::GraphicClassOfExtension(const std::wstring& AExtension) {
  const std::wstring extension = LowerExtension(AExtension);
  TFormatRegistry& registry = Formats();
  std::lock_guard guard(registry.Lock);
  for (const auto& entry : registry.Files)
    if (entry.Extension == extension)
      return entry.GraphicClass;
  return nullptr;
}

std::wstring TPicture::GraphicExtension(TGraphicClass AGraphicClass) {
  TFormatRegistry& registry = Formats();
  std::lock_guard guard(registry.Lock);
  for (const auto& entry : registry.Files)
    if (entry.GraphicClass == AGraphicClass)
      return entry.Extension;
  return {};
}

std::wstring TPicture::GraphicFilter(TGraphicClass AGraphicClass) {
  const std::vector<TFileFormat> formats = FileFormats();
  std::wstring filters, masks;
  for (const auto& entry : formats) {
    if (AGraphicClass && entry.GraphicClass != AGraphicClass)
      continue;
    const std::wstring mask = L"*." + entry.Extension;
    masks += (masks.empty() ? L"" : L";") + mask;
    filters += (filters.empty() ? L"" : L"|") + entry.Description + L" (" + mask + L")|" + mask;
  }
  if (!AGraphicClass && !formats.empty())
    filters = L"All (" + masks + L")|" + masks + L"|" + filters;
  return filters;
}

UINT CF_PICTURE() {
  static const UINT format = RegisterClipboardFormatW(L"Orvandel Picture");
  return format;
}

// --- shared patterns -------------------------------------------------------------------------

namespace {

struct TPatternCache {
  std::mutex Lock;
  std::map<std::pair<COLORREF, COLORREF>, std::unique_ptr<TBitmap>> Bitmaps;
};

TPatternCache& Patterns() {
  static TPatternCache cache;
  return cache;
}

} // namespace

TBitmap* AllocPatternBitmap(TColor ABackground, TColor AForeground) {
  const COLORREF background = ColorToColorRef(ABackground);
  const COLORREF foreground = ColorToColorRef(AForeground);
  TPatternCache& cache = Patterns();
  std::lock_guard guard(cache.Lock);
  auto& slot = cache.Bitmaps[{background, foreground}];
  if (!slot) {
    auto bitmap = std::make_unique<TBitmap>(8, 8, TPixelFormat::pf32bit);
    auto quad = [](COLORREF c) {
      return uint32_t(GetRValue(c)) << 16 | GetGValue(c) << 8 | GetBValue(c);
    };
    for (int y = 0; y < 8; ++y) {
      auto* row = static_cast<uint32_t*>(bitmap->ScanLine(y));
      for (int x = 0; x < 8; ++x)
        row[x] = quad(((x + y) & 1) ? foreground : background);
    }
    slot = std::move(bitmap);
  }
  return slot.get();
}

void FinalizeGraphics() {
  {
    TPatternCache& cache = Patterns();
    std::lock_guard guard(cache.Lock);
    cache.Bitmaps.clear();
  }
  ShutdownGdiPlus();
}
