#include "smooth-text.h"

#include "resource-ledger.h"
#include "rtl-exceptions.h"
#include "string-routines.h"
#include "xp-colors.h"
#include "xp-strings.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace {

constexpr int kSlotCount = 1000;
constexpr size_t kCacheBound = 1000000;

struct TCache {
  std::array<std::unique_ptr<TSmoothTextRenderer::TSmoothSymbolSet>, kSlotCount + 1> Sets;
  std::array<bool, kSlotCount + 1> Used{};
  int Cursor = 0;
  bool Initialised = false;
};

TCache& Cache() {
  static TCache cache;
  return cache;
}

// The composition surface, shared by every call; it only grows.
std::unique_ptr<TSmoothTextRenderer::TFastBMP>& Composition() {
  static std::unique_ptr<TSmoothTextRenderer::TFastBMP> surface;
  return surface;
}

TSmoothTextRenderer::TFastBMP& CompositionOfSize(int AWidth, int AHeight) {
  auto& surface = Composition();
  if (!surface || surface->Width < AWidth || surface->Height < AHeight) {
    const int width = std::max(AWidth, surface ? surface->Width : 0);
    const int height = std::max(AHeight, surface ? surface->Height : 0);
    surface.reset();
    surface = std::make_unique<TSmoothTextRenderer::TFastBMP>(width, height);
  }
  return *surface;
}

bool SameFont(const TFont& A, const TFont& B) {
  const bool sameSize = A.Height() > 0 ? A.Height() == B.Height() : A.Size() == B.Size();
  return sameSize && A.Name() == B.Name() && A.Pitch() == B.Pitch() &&
         A.PixelsPerInch() == B.PixelsPerInch() && A.Style() == B.Style();
}

// A memory context over a screen-compatible one, with the font selected.
class TFontContext {
public:
  explicit TFontContext(TFont& AFont) : FDC(CreateCompatibleDC(nullptr)) {
    if (!FDC)
      throw EOutOfResources("Out of system resources");
    LedgerTake(TResourceKind::DeviceContext, FDC);
    FOldFont = SelectObject(FDC, AFont.Handle());
  }
  ~TFontContext() {
    SelectObject(FDC, FOldFont);
    LedgerGive(TResourceKind::DeviceContext, FDC);
    DeleteDC(FDC);
  }
  TFontContext(const TFontContext&) = delete;
  TFontContext& operator=(const TFontContext&) = delete;
  HDC DC() const { return FDC; }
  TEXTMETRICW Metrics() const {
    TEXTMETRICW tm{};
    GetTextMetricsW(FDC, &tm);
    return tm;
  }

private:
  HDC FDC;
  HGDIOBJ FOldFont = nullptr;
};

int FactorOfCellHeight(int ACellHeight) {
  return ACellHeight <= 50 ? 16 : ACellHeight <= 100 ? 8 : 4;
}

int CeilDiv(int AValue, int ADivisor) {
  return (AValue + ADivisor - 1) / ADivisor;
}

TSmoothTextRenderer::TGlyph RenderGlyph(TFont& AFont, wchar_t ACode) {
  TSmoothTextRenderer::TGlyph glyph;
  int cellHeight = 0;
  {
    TFontContext context(AFont);
    const TEXTMETRICW tm = context.Metrics();
    cellHeight = tm.tmHeight + tm.tmDescent;
  }
  const int f = FactorOfCellHeight(cellHeight);
  TFont scaled;
  scaled.Assign(&AFont);
  scaled.SetColor(clBlack);
  if (AFont.Size() < 1)
    scaled.SetHeight(AFont.Height() * f);
  else
    scaled.SetSize(AFont.Size() * f);

  TFontContext context(scaled);
  const HDC dc = context.DC();
  const TEXTMETRICW tm = context.Metrics();
  SIZE extent{};
  GetTextExtentPoint32W(dc, &ACode, 1, &extent);
  int charWidth = 0;
  ABC abc{};
  if ((tm.tmPitchAndFamily & TMPF_TRUETYPE) && GetCharABCWidthsW(dc, ACode, ACode, &abc))
    charWidth = abc.abcA + int(abc.abcB);
  else
    charWidth = extent.cx + tm.tmOverhang;
  const int inkWidth = std::max<int>(extent.cx, charWidth);
  const int width = std::max(0, CeilDiv(inkWidth, f));
  const int height = cellHeight;
  glyph.Width = width;
  glyph.Height = height;
  glyph.Advance = CeilDiv(extent.cx, f);
  glyph.Data.assign(size_t(width) * size_t(height), 255);
  if (width == 0 || height == 0)
    return glyph;

  TSmoothTextRenderer::TFastBMP big(width * f, height * f);
  const HGDIOBJ oldFont = SelectObject(big.hDC, scaled.Handle());
  std::memset(big.Bits, 0xFF, size_t(big.Size));
  SetBkMode(big.hDC, TRANSPARENT);
  SetTextColor(big.hDC, RGB(0, 0, 0));
  if (scaled.Style() & fsUnderline) {
    // A space ending at the right edge carries the underline all the way.
    SIZE space{};
    GetTextExtentPoint32W(big.hDC, L" ", 1, &space);
    ExtTextOutW(big.hDC, big.Width - space.cx / 2, 0, 0, nullptr, L" ", 1, nullptr);
  }
  ExtTextOutW(big.hDC, 0, 0, 0, nullptr, &ACode, 1, nullptr);
  GdiFlush();
  SelectObject(big.hDC, oldFont);

  const int samples = f * f;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      int sum[3] = {0, 0, 0};
      for (int sy = 0; sy < f; ++sy) {
        const uint8_t* p = big.Pixels[size_t(y * f + sy)] + size_t(x * f) * 3;
        for (int sx = 0; sx < f; ++sx, p += 3) {
          sum[0] += p[0];
          sum[1] += p[1];
          sum[2] += p[2];
        }
      }
      const int b = sum[0] / samples, g = sum[1] / samples, r = sum[2] / samples;
      glyph.Data[size_t(y) * size_t(width) + size_t(x)] = uint8_t((r + g + b) / 3);
    }
  return glyph;
}

void AssignStyled(TFont& ADest, TFont& ASource, TFontStyles AAdd, TFontStyles ARemove) {
  ADest.Assign(&ASource);
  ADest.SetStyle(TFontStyles((ASource.Style() | AAdd) & ~ARemove));
}

// The sets a drawing holds on to; adding a font never evicts them.
std::vector<const TSmoothTextRenderer::TSmoothSymbolSet*>& Pinned() {
  static std::vector<const TSmoothTextRenderer::TSmoothSymbolSet*> pinned;
  return pinned;
}

class TPin {
public:
  explicit TPin(const TSmoothTextRenderer::TSmoothSymbolSet& ASet) { Pinned().push_back(&ASet); }
  ~TPin() { Pinned().pop_back(); }
  TPin(const TPin&) = delete;
  TPin& operator=(const TPin&) = delete;
};

// One line of a text and the running number of its first character in the
// whole text (a hard line break counts 2).
struct TLine {
  std::wstring Text;
  int FirstCount = 1;
};

bool IsWordChar(wchar_t AChar) {
  return AChar == L'_' || IsCharAlphaNumericW(AChar);
}

std::wstring TrimTrailingBlanks(const std::wstring& AText) {
  size_t n = AText.size();
  while (n > 0 && AText[n - 1] <= L' ')
    --n;
  return AText.substr(0, n);
}

int LineWidth(TSmoothTextRenderer::TSmoothSymbolSet& ASet, const std::wstring& AText) {
  if (AText.empty())
    return 0;
  int width = 0;
  for (size_t i = 0; i + 1 < AText.size(); ++i)
    width += ASet.Char(AText[i]).Advance;
  return width + ASet.Char(AText.back()).Width;
}

std::vector<TLine> WrapLines(TSmoothTextRenderer::TSmoothSymbolSet& ASet, const std::wstring& AText,
                             bool AMultiline, int AWidth) {
  std::vector<TLine> lines;
  if (!AMultiline) {
    lines.push_back({AText, 1});
    return lines;
  }
  size_t pos = 0;
  if (AWidth <= 0) {
    std::wstring rest = AText, line;
    while (true) {
      const size_t before = rest.size();
      CutToken(rest, L"\r\n", line);
      lines.push_back({line, int(pos) + 1});
      pos += before - rest.size();
      if (rest.empty())
        break;
    }
    return lines;
  }
  while (true) {
    TLine line{L"", int(pos) + 1};
    while (pos < AText.size()) {
      if (AText.compare(pos, 2, L"\r\n") == 0) {
        pos += 2;
        break;
      }
      size_t end = pos + 1;
      if (IsWordChar(AText[pos]))
        while (end < AText.size() && IsWordChar(AText[end]))
          ++end;
      const std::wstring token = AText.substr(pos, end - pos);
      if (!line.Text.empty() && LineWidth(ASet, TrimTrailingBlanks(line.Text + token)) > AWidth)
        break;
      line.Text += token;
      pos = end;
    }
    lines.push_back(line);
    if (pos >= AText.size())
      break;
  }
  return lines;
}

RECT WrappingRect(const RECT& ARect, TXPDrawCaptionFlags AFlags) {
  if (!(AFlags & dcfVertical))
    return ARect;
  return RECT{ARect.left, ARect.top, ARect.left + (ARect.bottom - ARect.top),
              ARect.top + (ARect.right - ARect.left)};
}

int TextWidthOf(TSmoothTextRenderer::TSmoothSymbolSet& ASet, const std::wstring& AText,
                TXPDrawCaptionFlags AFlags, const RECT& ARect) {
  const RECT r = WrappingRect(ARect, AFlags);
  int width = 0;
  for (const TLine& line : WrapLines(ASet, AText, AFlags & dcfMultiline, r.right - r.left))
    width = std::max(width, LineWidth(ASet, line.Text));
  return width;
}

int LineHeightOf(TSmoothTextRenderer::TSmoothSymbolSet& ASet, const std::wstring& AText,
                 int ALineSpacing) {
  const std::wstring text = AText.empty() ? std::wstring(L"X") : AText;
  long long heights = 0;
  for (wchar_t c : text)
    heights += ASet.Char(c).Height;
  return int(std::nearbyint(double(ALineSpacing) * double(heights) / (double(text.size()) * 100)));
}

int TextHeightOf(TSmoothTextRenderer::TSmoothSymbolSet& ASet, const std::wstring& AText,
                 int ALineSpacing, TXPDrawCaptionFlags AFlags, const RECT& ARect) {
  const RECT r = WrappingRect(ARect, AFlags);
  const size_t lines =
      (AFlags & dcfMultiline) ? WrapLines(ASet, AText, true, r.right - r.left).size() : 1;
  return LineHeightOf(ASet, AText, ALineSpacing) * int(lines);
}

std::wstring ApplyEllipsis(TSmoothTextRenderer::TSmoothSymbolSet& ASet, const std::wstring& AText,
                           TEllipsisPosition AEllipsis, TXPDrawCaptionFlags AFlags,
                           const RECT& ARect, int AAvailable) {
  if (AEllipsis == epNone || TextWidthOf(ASet, AText, AFlags, ARect) <= AAvailable)
    return AText;
  const int backslash = AEllipsis == epPathEllipsis ? BackPos(L"\\", AText, int(AText.size())) : 0;
  std::wstring candidate = AText;
  if (backslash > 0) {
    const std::wstring tail = AText.substr(size_t(backslash - 1));
    for (int n = backslash - 1; n >= 0; --n) {
      candidate = AText.substr(0, size_t(n)) + L"..." + tail;
      if (TextWidthOf(ASet, candidate, AFlags, ARect) <= AAvailable)
        break;
    }
  } else {
    for (int n = int(AText.size()); n >= 1; --n) {
      candidate = AText.substr(0, size_t(n)) + L"...";
      if (TextWidthOf(ASet, candidate, AFlags, ARect) <= AAvailable)
        break;
    }
  }
  return candidate;
}

// Draws one pass of a text: the text's coverage composed in its own
// orientation, turned for vertical text, and blended onto the target.
void DrawPass(TCanvas& ACanvas, const RECT& ARect, int ALineSpacing, TEllipsisPosition AEllipsis,
              TXPDrawCaptionFlags AFlags, TTextLayout ALayout, TAlignment AAlignment, TColor AColor,
              TFont& AFont, const std::wstring& AText, int AStrikeFrom) {
  const HDC dc = ACanvas.Handle();
  std::wstring text = AText;
  int accelerator = 0;
  if (!(AFlags & dcfNoPrefix))
    accelerator = RemoveAccelChars(text);
  const bool customUnderline = (AFlags & dcfCustomUnderline) != 0;
  const bool vertical = (AFlags & dcfVertical) != 0;
  TFont plain;
  AssignStyled(plain, AFont, 0, customUnderline ? fsUnderline : 0);
  TSmoothTextRenderer::TSmoothSymbolSet& base = TSmoothTextRenderer::SymbolSetOf(plain);
  const TPin pin(base);

  const int available = vertical ? ARect.bottom - ARect.top : ARect.right - ARect.left;
  text = ApplyEllipsis(base, text, AEllipsis, AFlags, ARect, available);
  const int textWidth = TextWidthOf(base, text, AFlags, ARect);
  const int lineHeight = LineHeightOf(base, text, ALineSpacing);
  const RECT wrapRect = WrappingRect(ARect, AFlags);
  const std::vector<TLine> lines =
      WrapLines(base, text, AFlags & dcfMultiline, wrapRect.right - wrapRect.left);
  const int textHeight = lineHeight * int(lines.size());
  if (textWidth <= 0 || textHeight <= 0)
    return;

  // The box on the target: the text's extent, turned for vertical text,
  // placed by the alignment and layout that turn with it.
  const int boxWidth = vertical ? textHeight : textWidth;
  const int boxHeight = vertical ? textWidth : textHeight;
  enum { kStart, kMiddle, kEnd } across = kStart, down = kStart;
  if (!vertical) {
    across = AAlignment == taRightJustify ? kEnd : AAlignment == taCenter ? kMiddle : kStart;
    down = ALayout == tlBottom ? kEnd : ALayout == tlCenter ? kMiddle : kStart;
  } else if (AFlags & dcfVertClockwise) {
    across = ALayout == tlTop ? kEnd : ALayout == tlCenter ? kMiddle : kStart;
    down = AAlignment == taLeftJustify ? kStart : AAlignment == taCenter ? kMiddle : kEnd;
  } else {
    across = ALayout == tlTop ? kStart : ALayout == tlCenter ? kMiddle : kEnd;
    down = AAlignment == taLeftJustify ? kEnd : AAlignment == taCenter ? kMiddle : kStart;
  }
  const int x = across == kStart ? ARect.left
                : across == kEnd ? ARect.right - boxWidth
                                 : (ARect.left + ARect.right - boxWidth) / 2;
  const int y = down == kStart ? ARect.top
                : down == kEnd ? ARect.bottom - boxHeight
                               : (ARect.top + ARect.bottom - boxHeight) / 2;

  // Coverage in the text's own orientation.
  std::vector<uint8_t> coverage(size_t(textWidth) * size_t(textHeight), 255);
  TFont accelFont, strikeFont, strikeAccelFont;
  AssignStyled(accelFont, plain, fsUnderline, 0);
  AssignStyled(strikeFont, plain, fsStrikeOut, 0);
  AssignStyled(strikeAccelFont, plain, fsStrikeOut | fsUnderline, 0);
  const int underlineThickness = (std::abs(AFont.Size()) + 10) / 20 + 1;
  for (size_t l = 0; l < lines.size(); ++l) {
    const TLine& line = lines[l];
    const int top = int(l) * lineHeight;
    const int spare = textWidth - LineWidth(base, TrimTrailingBlanks(line.Text));
    int penX = AAlignment == taRightJustify ? spare : AAlignment == taCenter ? spare / 2 : 0;
    const int lineStart = penX;
    for (size_t i = 0; i < line.Text.size(); ++i) {
      const int count = line.FirstCount + int(i);
      const bool accel = count == accelerator && !(AFlags & dcfNoPrefix);
      const bool struck = AStrikeFrom > 0 && count >= AStrikeFrom;
      TFont& font = struck ? (accel ? strikeAccelFont : strikeFont) : (accel ? accelFont : plain);
      const TSmoothTextRenderer::TGlyph& glyph =
          &font == &plain ? base.Char(line.Text[i])
                          : TSmoothTextRenderer::SymbolSetOf(font).Char(line.Text[i]);
      for (int gy = 0; gy < glyph.Height && top + gy < textHeight; ++gy)
        for (int gx = 0; gx < glyph.Width && penX + gx < textWidth; ++gx) {
          if (penX + gx < 0)
            continue;
          uint8_t& target = coverage[size_t(top + gy) * size_t(textWidth) + size_t(penX + gx)];
          target = std::min(target, glyph.Data[size_t(gy) * size_t(glyph.Width) + size_t(gx)]);
        }
      penX += glyph.Advance;
    }
    if (customUnderline && (AFont.Style() & fsUnderline)) {
      const int lineEnd =
          std::min(textWidth, lineStart + LineWidth(base, TrimTrailingBlanks(line.Text)));
      for (int uy = top + base.Ascent; uy < top + base.Ascent + underlineThickness; ++uy)
        for (int ux = std::max(0, lineStart); ux < lineEnd && uy < textHeight; ++ux)
          coverage[size_t(uy) * size_t(textWidth) + size_t(ux)] = 0;
    }
  }

  // Blend through the composition surface: the target's pixels under the
  // box, the ink mixed in by coverage, and back.
  TSmoothTextRenderer::TFastBMP& surface = CompositionOfSize(boxWidth, boxHeight);
  BitBlt(surface.hDC, 0, 0, boxWidth, boxHeight, dc, x, y, SRCCOPY);
  GdiFlush();
  const TColor ink = ColorToRGB(AColor);
  const uint8_t inkRgb[3] = {uint8_t(ink >> 16), uint8_t(ink >> 8), uint8_t(ink)};
  const bool clockwise = (AFlags & dcfVertClockwise) != 0;
  for (int by = 0; by < boxHeight; ++by) {
    uint8_t* row = surface.Pixels[size_t(by)];
    for (int bx = 0; bx < boxWidth; ++bx) {
      int u = bx, v = by; // the point of the unturned text
      if (vertical) {
        u = clockwise ? by : textWidth - 1 - by;
        v = clockwise ? textHeight - 1 - bx : bx;
      }
      const uint8_t m = coverage[size_t(v) * size_t(textWidth) + size_t(u)];
      for (int c = 0; c < 3; ++c)
        row[bx * 3 + c] = TSmoothTextRenderer::BlendChannel(row[bx * 3 + c], inkRgb[c], m);
    }
  }
  BitBlt(dc, x, y, boxWidth, boxHeight, surface.hDC, 0, 0, SRCCOPY);

  if (AFlags & dcfFocusRect) {
    RECT box{x, y, x + boxWidth, y + boxHeight};
    RECT focus{};
    IntersectRect(&focus, &box, &ARect);
    InflateRect(&focus, 1, 1);
    const COLORREF oldText = SetTextColor(dc, ColorToColorRef(clWindowFrame));
    const COLORREF oldBack = SetBkColor(dc, ColorToColorRef(clBtnFace));
    DrawFocusRect(dc, &focus);
    SetBkColor(dc, oldBack);
    SetTextColor(dc, oldText);
  }
}

void DrawSmoothText(TCanvas& ACanvas, const RECT& ARect, int ALineSpacing,
                    TEllipsisPosition AEllipsis, TXPDrawCaptionFlags AFlags, TTextLayout ALayout,
                    TAlignment AAlignment, TColor AColor, TFont& AFont, const std::wstring& AText,
                    int AStrikeFrom) {
  const HDC dc = ACanvas.Handle();
  HRGN savedClip = nullptr;
  const bool clip = !(AFlags & dcfNoClipping);
  if (clip) {
    RECT grown = ARect;
    InflateRect(&grown, 1, 1);
    ClipToRect(dc, grown, savedClip);
  }
  try {
    if (AFlags & dcfSunkenDisabled) {
      RECT shifted = ARect;
      OffsetRect(&shifted, 1, 1);
      DrawPass(ACanvas, shifted, ALineSpacing, AEllipsis, AFlags, ALayout, AAlignment,
               clBtnHighlight, AFont, AText, AStrikeFrom);
      DrawPass(ACanvas, ARect, ALineSpacing, AEllipsis, AFlags, ALayout, AAlignment, clBtnShadow,
               AFont, AText, AStrikeFrom);
    } else {
      DrawPass(ACanvas, ARect, ALineSpacing, AEllipsis, AFlags, ALayout, AAlignment, AColor, AFont,
               AText, AStrikeFrom);
    }
  } catch (...) {
    if (clip)
      RestoreClipRgn(dc, savedClip);
    throw;
  }
  if (clip)
    RestoreClipRgn(dc, savedClip);
}

} // namespace

TSmoothTextRenderer::TSmoothSymbolSet::TSmoothSymbolSet(TFont& AFont) {
  Font.SetName(AFont.Name());
  if (AFont.Height() > 0)
    Font.SetHeight(AFont.Height());
  else
    Font.SetSize(AFont.Size());
  Font.SetColor(AFont.Color());
  Font.SetPitch(AFont.Pitch());
  Font.SetPixelsPerInch(AFont.PixelsPerInch());
  Font.SetStyle(AFont.Style());
  TFontContext context(Font);
  Ascent = context.Metrics().tmAscent;
}

const TSmoothTextRenderer::TGlyph& TSmoothTextRenderer::TSmoothSymbolSet::Char(wchar_t ACode) {
  auto& page = FPages[size_t(ACode) >> 8];
  if (!page)
    page = std::make_unique<TPage>();
  TGlyph& glyph = (*page)[size_t(ACode) & 0xFF];
  if (glyph.Height == -1 && glyph.Width == -1)
    glyph = RenderGlyph(Font, ACode);
  return glyph;
}

size_t TSmoothTextRenderer::TSmoothSymbolSet::CoverageBytes() const {
  size_t total = 0;
  for (const auto& page : FPages)
    if (page)
      for (const TGlyph& glyph : *page)
        if (glyph.Width > 0 && glyph.Height > 0)
          total += size_t(glyph.Width) * size_t(glyph.Height);
  return total;
}

TSmoothTextRenderer::TFastBMP::TFastBMP(int AWidth, int AHeight) {
  Width = std::max(AWidth, 1);
  Height = std::max(AHeight, 1);
  Gap = Width % 4;
  RowInc = Width * 3 + Gap;
  Size = RowInc * Height;
  bmHeader.biSize = 40;
  bmHeader.biWidth = Width;
  bmHeader.biHeight = -Height;
  bmHeader.biPlanes = 1;
  bmHeader.biBitCount = 24;
  bmHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  Handle = CreateDIBSection(nullptr, &bmInfo, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!Handle)
    throw EOutOfResources("Out of system resources");
  LedgerTake(TResourceKind::GdiObject, Handle);
  hDC = CreateCompatibleDC(nullptr);
  if (!hDC) {
    LedgerGive(TResourceKind::GdiObject, Handle);
    DeleteObject(Handle);
    throw EOutOfResources("Out of system resources");
  }
  LedgerTake(TResourceKind::DeviceContext, hDC);
  FOldBitmap = SelectObject(hDC, Handle);
  Bits = static_cast<uint8_t*>(bits);
  Pixels.resize(size_t(Height));
  for (int y = 0; y < Height; ++y)
    Pixels[size_t(y)] = Bits + size_t(y) * size_t(RowInc);
}

TSmoothTextRenderer::TFastBMP::~TFastBMP() {
  SelectObject(hDC, FOldBitmap);
  LedgerGive(TResourceKind::DeviceContext, hDC);
  DeleteDC(hDC);
  LedgerGive(TResourceKind::GdiObject, Handle);
  DeleteObject(Handle);
}

void TSmoothTextRenderer::SmoothTextOut(TCanvas& ACanvas, const RECT& ARect, int ALineSpacing,
                                        TEllipsisPosition AEllipsis, TXPDrawCaptionFlags AFlags,
                                        TTextLayout ALayout, TAlignment AAlignment, TColor AColor,
                                        TFont& AFont, const std::wstring& AText) {
  DrawSmoothText(ACanvas, ARect, ALineSpacing, AEllipsis, AFlags, ALayout, AAlignment, AColor,
                 AFont, AText, 0);
}

int TSmoothTextRenderer::SmoothTextWidth(TCanvas& ACanvas, const std::wstring& AText,
                                         TXPDrawCaptionFlags AFlags, const RECT& ARect) {
  return TextWidthOf(SymbolSetOf(ACanvas.Font()), AText, AFlags, ARect);
}

int TSmoothTextRenderer::SmoothTextHeight(TCanvas& ACanvas, const std::wstring& AText,
                                          int ALineSpacing, TXPDrawCaptionFlags AFlags,
                                          const RECT& ARect) {
  return TextHeightOf(SymbolSetOf(ACanvas.Font()), AText, ALineSpacing, AFlags, ARect);
}

void TSmoothTextRenderer::SmoothTextOut_MakeStrikeOutAfter(
    TCanvas& ACanvas, const RECT& ARect, int ALineSpacing, TXPDrawCaptionFlags AFlags,
    TTextLayout ALayout, TAlignment AAlignment, TColor AColor, TFont& AFont, int APosition,
    const std::wstring& AText) {
  if (APosition <= 0) {
    SmoothTextOut(ACanvas, ARect, ALineSpacing, epNone, AFlags, ALayout, AAlignment, AColor, AFont,
                  AText);
    return;
  }
  if (AFlags & dcfVertical)
    throw Exception(std::string("Can't do Vertical Text when some of the text will be drawn "
                                "Strike-Out."));
  DrawSmoothText(ACanvas, ARect, ALineSpacing, epNone, AFlags, ALayout, AAlignment, AColor, AFont,
                 AText, APosition);
}

int TSmoothTextRenderer::SupersamplingFactor(TFont& AFont) {
  TFontContext context(AFont);
  const TEXTMETRICW tm = context.Metrics();
  return FactorOfCellHeight(tm.tmHeight + tm.tmDescent);
}

uint8_t TSmoothTextRenderer::BlendChannel(uint8_t ABackground, uint8_t AInk, uint8_t ACoverage) {
  if (ACoverage == 255)
    return ABackground;
  if (ACoverage == 0)
    return AInk;
  // The background moved toward the ink by (255 - coverage) / 256: over
  // black, white ink at coverage 128 gives (127 x 255) shr 8 = 126, and ink
  // of the background's own colour changes nothing (mixing both terms
  // before the shift would leave 254 of white on white).
  const int towardInk = (int(AInk) - int(ABackground)) * (255 - int(ACoverage));
  return uint8_t(int(ABackground) + (towardInk >> 8));
}

int TSmoothTextRenderer::CachedSlotOf(const TFont& AFont) {
  TCache& cache = Cache();
  if (!cache.Initialised)
    return 0;
  for (int slot = 1; slot <= kSlotCount; ++slot)
    if (cache.Used[size_t(slot)] && SameFont(AFont, cache.Sets[size_t(slot)]->Font))
      return slot;
  return 0;
}

TSmoothTextRenderer::TSmoothSymbolSet& TSmoothTextRenderer::SymbolSetOf(TFont& AFont) {
  TCache& cache = Cache();
  if (!cache.Initialised) {
    cache.Used.fill(false);
    cache.Initialised = true;
  }
  if (const int slot = CachedSlotOf(AFont))
    return *cache.Sets[size_t(slot)];

  size_t total = 0;
  for (int slot = 1; slot <= kSlotCount; ++slot)
    if (cache.Used[size_t(slot)])
      total += cache.Sets[size_t(slot)]->CoverageBytes();
  int slot = 1;
  bool evict = false;
  while (true) {
    if (slot > kSlotCount) {
      evict = true;
      break;
    }
    if (!cache.Used[size_t(slot)])
      break;
    if (total > kCacheBound && slot > std::max(cache.Cursor, 1)) {
      evict = true;
      break;
    }
    ++slot;
  }
  if (evict) {
    auto evictable = [&cache](int ASlot) {
      const auto& pinned = Pinned();
      return cache.Used[size_t(ASlot)] &&
             std::find(pinned.begin(), pinned.end(), cache.Sets[size_t(ASlot)].get()) ==
                 pinned.end();
    };
    do
      cache.Cursor = cache.Cursor % kSlotCount + 1;
    while (!evictable(cache.Cursor));
    slot = cache.Cursor;
    cache.Sets[size_t(slot)].reset();
    cache.Used[size_t(slot)] = false;
  }
  cache.Sets[size_t(slot)] = std::make_unique<TSmoothSymbolSet>(AFont);
  cache.Used[size_t(slot)] = true;
  return *cache.Sets[size_t(slot)];
}

int TSmoothTextRenderer::EvictionCursor() {
  return Cache().Cursor;
}

void TSmoothTextRenderer::Shutdown() {
  TCache& cache = Cache();
  if (cache.Initialised)
    for (int slot = 1; slot <= kSlotCount; ++slot) {
      cache.Sets[size_t(slot)].reset();
      cache.Used[size_t(slot)] = false;
    }
  cache.Initialised = false;
  cache.Cursor = 0;
  Composition().reset();
}
