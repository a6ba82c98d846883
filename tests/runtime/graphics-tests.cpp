#include "graphics.h"
#include "ledger-balance.h"

#include "resource-ledger.h"
#include "rtl-exceptions.h"

#include <gtest/gtest.h>

#include <cstring>
#include <thread>
#include <vector>

namespace {

// Every test ends with the ledger where it started: whatever a test made,
// freeing it (and the framework's shared objects) gives it all back.
class Graphics : public TLedgerBalancedTest {};

// A pixel of a 32-bit bitmap as a colour (0x00BBGGRR).
TColor At(TBitmap& ABitmap, int AX, int AY) {
  const uint32_t bgra = static_cast<const uint32_t*>(ABitmap.ScanLine(AY))[AX];
  return TColor(((bgra & 0xFF) << 16) | (bgra & 0xFF00) | ((bgra >> 16) & 0xFF));
}

void Fill(TBitmap& ABitmap, TColor AColor) {
  ABitmap.Canvas().Brush().SetStyle(TBrushStyle::Solid);
  ABitmap.Canvas().Brush().SetColor(AColor);
  ABitmap.Canvas().FillRect(RECT{0, 0, ABitmap.Width(), ABitmap.Height()});
}

// Draws the map: one character per pixel, each a colour of the legend.
void ExpectPixels(TBitmap& ABitmap, const std::vector<std::string>& AMap,
                  const std::vector<std::pair<char, TColor>>& ALegend) {
  for (int y = 0; y < int(AMap.size()); ++y)
    for (int x = 0; x < int(AMap[y].size()); ++x) {
      TColor expected = -1;
      for (const auto& entry : ALegend)
        if (entry.first == AMap[y][x])
          expected = entry.second;
      EXPECT_EQ(At(ABitmap, x, y), expected) << "pixel (" << x << ", " << y << ")";
    }
}

std::vector<uint8_t> Saved(TGraphic& AGraphic) {
  TMemoryStream stream;
  AGraphic.SaveToStream(stream);
  const auto* bytes = static_cast<const uint8_t*>(stream.Memory());
  return std::vector<uint8_t>(bytes, bytes + stream.GetSize());
}

} // namespace

TEST_F(Graphics, FillRectFrameRectAndRectangleCoverExactlyTheirPixels) {
  TBitmap bitmap(6, 6, TPixelFormat::pf32bit);
  Fill(bitmap, clWhite);
  TCanvas& canvas = bitmap.Canvas();
  canvas.Brush().SetColor(clRed);
  canvas.FillRect(RECT{1, 1, 3, 3});
  canvas.Brush().SetColor(clBlue);
  canvas.FrameRect(RECT{3, 3, 6, 6});
  canvas.Pen().SetColor(clLime);
  canvas.Brush().SetStyle(TBrushStyle::Clear);
  canvas.Rectangle(0, 3, 3, 6);
  // clang-format off
  ExpectPixels(bitmap, {"......",
                        ".RR...",
                        ".RR...",
                        "GGGBBB",
                        "G.GB.B",
                        "GGGBBB"},
               {{'.', clWhite}, {'R', clRed}, {'B', clBlue}, {'G', clLime}});
  // clang-format on
}

TEST_F(Graphics, LineToStopsBeforeItsEndPointAndMovesThePen) {
  TBitmap bitmap(6, 2, TPixelFormat::pf32bit);
  Fill(bitmap, clWhite);
  TCanvas& canvas = bitmap.Canvas();
  canvas.Pen().SetColor(clBlack);
  canvas.MoveTo(0, 0);
  canvas.LineTo(4, 0);
  EXPECT_EQ(canvas.PenPos().x, 4);
  canvas.LineTo(4, 2);
  // The second line starts on the first one's end point, which it paints.
  ExpectPixels(bitmap, {"#####.", "....#."}, {{'.', clWhite}, {'#', clBlack}});
}

TEST_F(Graphics, PixelsReadWhatWasWrittenAndScanLineZeroIsTheTopRow) {
  TBitmap bitmap(3, 3, TPixelFormat::pf32bit);
  Fill(bitmap, clBlack);
  bitmap.Canvas().SetPixel(2, 0, TColor(0x123456));
  EXPECT_EQ(bitmap.Canvas().Pixel(2, 0), TColor(0x123456));
  EXPECT_EQ(At(bitmap, 2, 0), TColor(0x123456));
  EXPECT_EQ(At(bitmap, 2, 2), clBlack);
  EXPECT_THROW(bitmap.ScanLine(3), EInvalidGraphicOperation);
  EXPECT_THROW(bitmap.ScanLine(-1), EInvalidGraphicOperation);
}

TEST_F(Graphics, TextIsMeasuredAndTextRectPaintsOnlyInsideItsRectangle) {
  TBitmap bitmap(60, 20, TPixelFormat::pf32bit);
  Fill(bitmap, clWhite);
  TCanvas& canvas = bitmap.Canvas();
  EXPECT_GT(canvas.TextWidth(L"WWW"), canvas.TextWidth(L"W"));
  EXPECT_GT(canvas.TextWidth(L"W"), 0);
  const int smallHeight = canvas.TextHeight(L"Wg");
  canvas.Font().SetSize(20);
  EXPECT_GT(canvas.TextHeight(L"Wg"), smallHeight);

  canvas.Font().SetSize(10);
  canvas.Font().SetColor(clBlack);
  canvas.Brush().SetColor(clYellow);
  canvas.TextRect(RECT{0, 0, 20, 20}, 2, 2, L"WWWWWWWWWW");
  int ink = 0;
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 60; ++x) {
      const TColor pixel = At(bitmap, x, y);
      if (x >= 20)
        ASSERT_EQ(pixel, clWhite) << "outside the rectangle at (" << x << ", " << y << ")";
      else
        ink += pixel != clYellow;
    }
  EXPECT_GT(ink, 0);
  EXPECT_EQ(At(bitmap, 0, 19), clYellow);
}

TEST_F(Graphics, GraphicsObjectsNotifyEachRealChangeOnly) {
  TFont font;
  TPen pen;
  TBrush brush;
  int changes = 0;
  auto count = [&](TGraphicsObject*) { ++changes; };
  font.OnChange = pen.OnChange = brush.OnChange = count;
  const struct {
    const char* Name;
    std::function<void()> Action;
    int Expected;
  } cases[] = {
      {"font colour", [&] { font.SetColor(clRed); }, 1},
      {"same font colour", [&] { font.SetColor(clRed); }, 0},
      {"font size", [&] { font.SetSize(12); }, 1},
      {"font style", [&] { font.SetStyle(fsBold | fsItalic); }, 1},
      {"font name", [&] { font.SetName(L"Arial"); }, 1},
      {"pen width", [&] { pen.SetWidth(3); }, 1},
      {"same pen width", [&] { pen.SetWidth(3); }, 0},
      {"pen style", [&] { pen.SetStyle(TPenStyle::Dot); }, 1},
      {"brush colour", [&] { brush.SetColor(clBlue); }, 1},
      {"brush style", [&] { brush.SetStyle(TBrushStyle::Cross); }, 1},
      {"assign",
       [&] {
         TFont other;
         font.Assign(&other);
       },
       1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    changes = 0;
    c.Action();
    EXPECT_EQ(changes, c.Expected);
  }
  EXPECT_EQ(font.Size(), 8);
  EXPECT_EQ(font.Height(), -11);
  EXPECT_THROW(font.Assign(&pen), EConvertError);
}

TEST_F(Graphics, ChangingASelectedFontLeavesNoHandleBehind) {
  const size_t before = TResourceLedger::Count(TResourceKind::GdiObject);
  {
    TBitmap bitmap(10, 10, TPixelFormat::pf32bit);
    TCanvas& canvas = bitmap.Canvas();
    for (int size = 6; size < 30; size += 2) {
      canvas.Font().SetSize(size);
      canvas.Pen().SetWidth(size / 6 + 1);
      canvas.Brush().SetColor(TColor(size));
      canvas.TextOut(0, 0, L"x");
      canvas.Rectangle(0, 0, 5, 5);
    }
    // The bitmap, its font, pen and brush.
    EXPECT_EQ(TResourceLedger::Count(TResourceKind::GdiObject), before + 4);
  }
  EXPECT_EQ(TResourceLedger::Count(TResourceKind::GdiObject), before);
}

TEST_F(Graphics, DrawAndStretchDrawPlaceTheBitmapsPixels) {
  TBitmap source(2, 2, TPixelFormat::pf32bit);
  source.Canvas().SetPixel(0, 0, clRed);
  source.Canvas().SetPixel(1, 0, clLime);
  source.Canvas().SetPixel(0, 1, clBlue);
  source.Canvas().SetPixel(1, 1, clYellow);
  TBitmap target(6, 4, TPixelFormat::pf32bit);
  Fill(target, clWhite);
  target.Canvas().Draw(0, 1, &source);
  target.Canvas().StretchDraw(RECT{2, 0, 6, 4}, &source);
  // clang-format off
  ExpectPixels(target, {"..RRGG",
                        "RGRRGG",
                        "BYBBYY",
                        "..BBYY"},
               {{'.', clWhite}, {'R', clRed}, {'G', clLime}, {'B', clBlue}, {'Y', clYellow}});
  // clang-format on
}

TEST_F(Graphics, CopyRectUsesTheCopyMode) {
  TBitmap source(2, 1, TPixelFormat::pf32bit);
  source.Canvas().SetPixel(0, 0, clBlack);
  source.Canvas().SetPixel(1, 0, TColor(0x00FF00));
  TBitmap target(4, 1, TPixelFormat::pf32bit);
  Fill(target, clWhite);
  target.Canvas().CopyRect(RECT{0, 0, 2, 1}, source.Canvas(), RECT{0, 0, 2, 1});
  target.Canvas().SetCopyMode(NOTSRCCOPY);
  target.Canvas().CopyRect(RECT{2, 0, 4, 1}, source.Canvas(), RECT{0, 0, 2, 1});
  EXPECT_EQ(At(target, 0, 0), clBlack);
  EXPECT_EQ(At(target, 1, 0), TColor(0x00FF00));
  EXPECT_EQ(At(target, 2, 0), clWhite);
  EXPECT_EQ(At(target, 3, 0), TColor(0xFF00FF));
}

TEST_F(Graphics, TransparentBitmapLeavesItsBottomLeftColourUnpainted) {
  TBitmap glyph(3, 3, TPixelFormat::pf24bit);
  Fill(glyph, clFuchsia);
  glyph.Canvas().SetPixel(1, 1, clGreen);
  glyph.Canvas().SetPixel(2, 0, clNavy);
  glyph.SetTransparent(true);
  EXPECT_EQ(glyph.TransparentMode(), TTransparentMode::tmAuto);
  EXPECT_EQ(glyph.TransparentColor(), clFuchsia);

  TBitmap target(3, 3, TPixelFormat::pf32bit);
  Fill(target, clWhite);
  target.Canvas().Draw(0, 0, &glyph);
  ExpectPixels(target, {"..N", ".G.", "..."}, {{'.', clWhite}, {'G', clGreen}, {'N', clNavy}});

  glyph.SetTransparentColor(clGreen);
  EXPECT_EQ(glyph.TransparentMode(), TTransparentMode::tmFixed);
  Fill(target, clWhite);
  target.Canvas().Draw(0, 0, &glyph);
  ExpectPixels(target, {"FFN", "F.F", "FFF"}, {{'.', clWhite}, {'F', clFuchsia}, {'N', clNavy}});
}

TEST_F(Graphics, PatternBrushesPaintTheDitherAndTheHalftone) {
  TBitmap* halftone = AllocPatternBitmap(clBlack, clWhite);
  EXPECT_EQ(AllocPatternBitmap(clBlack, clWhite), halftone);
  TBitmap* dither = AllocPatternBitmap(clBtnFace, clBtnHighlight);
  EXPECT_NE(dither, halftone);

  TBitmap target(8, 8, TPixelFormat::pf32bit);
  target.Canvas().Brush().SetBitmap(halftone);
  target.Canvas().FillRect(RECT{0, 0, 8, 8});
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x)
      EXPECT_EQ(At(target, x, y), ((x + y) & 1) ? clWhite : clBlack) << x << ", " << y;

  target.Canvas().Brush().SetBitmap(dither);
  target.Canvas().FillRect(RECT{0, 0, 8, 8});
  const TColor face = ColorToRGB(clBtnFace), light = ColorToRGB(clBtnHighlight);
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x)
      EXPECT_EQ(At(target, x, y), ((x + y) & 1) ? light : face) << x << ", " << y;
  target.Canvas().Brush().SetBitmap(nullptr);
}

struct TFormatCase {
  TPixelFormat Format;
  int Bits;
  int Stride13; // bytes per row at width 13
};

class BitmapFormats : public Graphics, public ::testing::WithParamInterface<TFormatCase> {};

TEST_P(BitmapFormats, RowsAreLaidOutByFormatAndSurviveTheBmpRoundTrip) {
  const TFormatCase& c = GetParam();
  TBitmap bitmap(13, 3, c.Format);
  EXPECT_EQ(bitmap.PixelFormat(), c.Format);
  EXPECT_EQ(PixelFormatBits(c.Format), c.Bits);
  EXPECT_EQ(bitmap.BytesPerScanLine(), c.Stride13);
  Fill(bitmap, clBlack);
  bitmap.Canvas().SetPixel(0, 0, clWhite);
  bitmap.Canvas().SetPixel(12, 2, clWhite);
  EXPECT_EQ(bitmap.Canvas().Pixel(0, 0), clWhite);
  EXPECT_EQ(bitmap.Canvas().Pixel(1, 0), clBlack);
  EXPECT_NE(std::memcmp(bitmap.ScanLine(0), bitmap.ScanLine(1), size_t(c.Stride13)), 0);

  TMemoryStream stream;
  bitmap.SaveToStream(stream);
  stream.WriteBuffer("after", 5);
  stream.SetPosition(0);
  TBitmap loaded;
  loaded.LoadFromStream(stream);
  EXPECT_EQ(loaded.PixelFormat(), c.Format);
  ASSERT_EQ(loaded.Width(), 13);
  ASSERT_EQ(loaded.Height(), 3);
  for (int row = 0; row < 3; ++row)
    EXPECT_EQ(std::memcmp(loaded.ScanLine(row), bitmap.ScanLine(row), size_t(c.Stride13)), 0)
        << "row " << row;
  EXPECT_EQ(loaded.Canvas().Pixel(12, 2), clWhite);
  EXPECT_EQ(stream.ReadRest(), (std::vector<uint8_t>{'a', 'f', 't', 'e', 'r'}));
}

INSTANTIATE_TEST_SUITE_P(Formats, BitmapFormats,
                         ::testing::Values(TFormatCase{TPixelFormat::pf1bit, 1, 4},
                                           TFormatCase{TPixelFormat::pf4bit, 4, 8},
                                           TFormatCase{TPixelFormat::pf8bit, 8, 16},
                                           TFormatCase{TPixelFormat::pf15bit, 16, 28},
                                           TFormatCase{TPixelFormat::pf16bit, 16, 28},
                                           TFormatCase{TPixelFormat::pf24bit, 24, 40},
                                           TFormatCase{TPixelFormat::pf32bit, 32, 52}));

TEST_F(Graphics, StoredDataCarryTheirLengthAndStopWhereTheyEnd) {
  TBitmap bitmap(4, 2, TPixelFormat::pf24bit);
  Fill(bitmap, clTeal);
  TMemoryStream stream;
  bitmap.WriteData(stream);
  stream.WriteValue(uint32_t(0xC0FFEE));
  const std::vector<uint8_t> file = Saved(bitmap);
  stream.SetPosition(0);
  EXPECT_EQ(stream.ReadValue<int32_t>(), int32_t(file.size()));
  stream.SetPosition(0);
  TBitmap loaded;
  loaded.ReadData(stream);
  EXPECT_EQ(stream.ReadValue<uint32_t>(), 0xC0FFEEu);
  EXPECT_EQ(loaded.Canvas().Pixel(3, 1), clTeal);

  // An empty bitmap stores a zero length and reads back empty.
  TBitmap empty;
  TMemoryStream nothing;
  empty.WriteData(nothing);
  EXPECT_EQ(nothing.GetSize(), 4);
  nothing.SetPosition(0);
  loaded.ReadData(nothing);
  EXPECT_TRUE(loaded.Empty());
}

// The stored length comes from the data: one beyond what the stream holds is
// a read error, and a huge one is refused without taking room for it.
TEST_F(Graphics, StoredDataLongerThanTheirStreamRaiseTheReadError) {
  TBitmap source(4, 2, TPixelFormat::pf24bit);
  Fill(source, clTeal);
  const std::vector<uint8_t> file = Saved(source);
  const struct {
    const char* Name;
    int32_t Length;
  } cases[] = {
      {"one byte more", int32_t(file.size() + 1)},
      {"beyond one piece", 0x10001},
      {"nearly 2 GB", 0x7FFFFFF0},
      {"negative", -1},
  };
  TBitmap bitmap(2, 2, TPixelFormat::pf32bit);
  Fill(bitmap, clOlive);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    TMemoryStream stream;
    stream.WriteValue(c.Length);
    stream.WriteBuffer(file.data(), file.size());
    stream.SetPosition(0);
    EXPECT_THROW(bitmap.ReadData(stream), EReadError);
    EXPECT_EQ(bitmap.Width(), 2);
    EXPECT_EQ(At(bitmap, 1, 1), clOlive);
  }
}

TEST_F(Graphics, TopDownBitmapFilesLoadWithTheirFirstRowOnTop) {
  // 2 x 2, 24 bits, negative height: rows in the file from the top.
  std::vector<uint8_t> file = {'B', 'M', 70, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0, 40, 0, 0, 0, 2, 0, 0,
                               0, 0xFE, 0xFF, 0xFF, 0xFF, 1, 0, 24, 0, 0, 0, 0, 0, 16, 0, 0, 0, 0,
                               0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                               // top row: red, green (B, G, R), padded to 8 bytes
                               0, 0, 255, 0, 255, 0, 0, 0,
                               // bottom row: blue, white
                               255, 0, 0, 255, 255, 255, 0, 0};
  TMemoryStreamReadOnly stream(file.data(), file.size());
  TBitmap bitmap;
  bitmap.LoadFromStream(stream);
  ASSERT_EQ(bitmap.PixelFormat(), TPixelFormat::pf24bit);
  EXPECT_EQ(bitmap.Canvas().Pixel(0, 0), clRed);
  EXPECT_EQ(bitmap.Canvas().Pixel(1, 0), clLime);
  EXPECT_EQ(bitmap.Canvas().Pixel(0, 1), clBlue);
  EXPECT_EQ(bitmap.Canvas().Pixel(1, 1), clWhite);
}

TEST_F(Graphics, MalformedBitmapFilesAreRejectedAndTheOldImageKept) {
  TBitmap good(5, 3, TPixelFormat::pf24bit);
  Fill(good, clMaroon);
  const std::vector<uint8_t> file = Saved(good);
  auto patched = [&](size_t AOffset, std::vector<uint8_t> ABytes) {
    std::vector<uint8_t> copy = file;
    for (size_t i = 0; i < ABytes.size(); ++i)
      copy.at(AOffset + i) = ABytes[i];
    return copy;
  };
  auto cut = [&](size_t AKeep) {
    return std::vector<uint8_t>(file.begin(), file.begin() + ptrdiff_t(AKeep));
  };
  const struct {
    const char* Name;
    std::vector<uint8_t> Data;
    bool Truncated;
  } cases[] = {
      {"not BM", patched(0, {'X', 'M'}), false},
      {"header size", patched(14, {99, 0, 0, 0}), false},
      {"zero width", patched(18, {0, 0, 0, 0}), false},
      {"huge height", patched(22, {0, 0, 0, 0x40}), false},
      {"seven bits", patched(28, {7, 0}), false},
      {"run-length compression", patched(30, {1, 0, 0, 0}), false},
      {"two planes", patched(26, {2, 0}), false},
      {"pixels cut short", cut(file.size() - 1), true},
      {"header cut short", cut(20), true},
  };
  TBitmap bitmap(2, 2, TPixelFormat::pf32bit);
  Fill(bitmap, clOlive);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    TMemoryStreamReadOnly stream(c.Data.data(), c.Data.size());
    if (c.Truncated)
      EXPECT_THROW(bitmap.LoadFromStream(stream), EReadError);
    else
      EXPECT_THROW(bitmap.LoadFromStream(stream), EInvalidGraphic);
    EXPECT_EQ(bitmap.Width(), 2);
    EXPECT_EQ(At(bitmap, 1, 1), clOlive);
  }
}

TEST_F(Graphics, SetSizeKeepsTheSharedPixelsAndPixelFormatConverts) {
  TBitmap bitmap(3, 3, TPixelFormat::pf24bit);
  Fill(bitmap, clRed);
  bitmap.Canvas().SetPixel(1, 1, clBlue);
  bitmap.SetSize(2, 4);
  EXPECT_EQ(bitmap.Canvas().Pixel(0, 0), clRed);
  EXPECT_EQ(bitmap.Canvas().Pixel(1, 1), clBlue);
  EXPECT_EQ(bitmap.Canvas().Pixel(1, 3), clBlack);
  bitmap.SetPixelFormat(TPixelFormat::pf32bit);
  EXPECT_EQ(At(bitmap, 1, 1), clBlue);
  EXPECT_EQ(At(bitmap, 0, 2), clRed);
  bitmap.SetMonochrome(true);
  EXPECT_EQ(bitmap.PixelFormat(), TPixelFormat::pf1bit);
  EXPECT_EQ(bitmap.BytesPerScanLine(), 4);
}

TEST_F(Graphics, AnEmptyBitmapKeepsOneSideUntilTheOtherIsSet) {
  TBitmap bitmap;
  bitmap.SetPixelFormat(TPixelFormat::pf24bit);
  bitmap.SetWidth(5);
  EXPECT_TRUE(bitmap.Empty());
  EXPECT_EQ(bitmap.Width(), 5);
  bitmap.SetHeight(4);
  ASSERT_FALSE(bitmap.Empty());
  EXPECT_EQ(bitmap.Width(), 5);
  EXPECT_EQ(bitmap.Height(), 4);
  EXPECT_EQ(bitmap.PixelFormat(), TPixelFormat::pf24bit);
  bitmap.Canvas().SetPixel(4, 3, clRed);
  EXPECT_EQ(bitmap.Canvas().Pixel(4, 3), clRed);
}

TEST_F(Graphics, HandlesAreTakenAsDibSectionsAndCanBeReleased) {
  const uint32_t pixels[4] = {0x00FF0000, 0x0000FF00, 0x000000FF, 0x00FFFFFF};
  HBITMAP ddb = CreateBitmap(2, 2, 1, 32, pixels);
  ASSERT_NE(ddb, nullptr);
  TBitmap bitmap;
  bitmap.SetHandle(ddb);
  DIBSECTION section{};
  EXPECT_EQ(GetObjectW(bitmap.Handle(), sizeof section, &section), int(sizeof section));
  EXPECT_EQ(bitmap.Width(), 2);
  EXPECT_EQ(bitmap.Canvas().Pixel(0, 0), clRed);
  EXPECT_EQ(bitmap.Canvas().Pixel(0, 1), clBlue);
  EXPECT_EQ(bitmap.Canvas().Pixel(1, 1), clWhite);

  const size_t held = TResourceLedger::Count(TResourceKind::GdiObject);
  HBITMAP released = bitmap.ReleaseHandle();
  EXPECT_TRUE(bitmap.Empty());
  EXPECT_EQ(TResourceLedger::Count(TResourceKind::GdiObject), held - 1);
  EXPECT_TRUE(DeleteObject(released));
}

TEST_F(Graphics, BitmapResourcesLoadAsTheSystemLoadsThem) {
  // A system module's own bitmap, read by us and by the system.
  HMODULE user = GetModuleHandleW(L"user32.dll");
  ASSERT_NE(user, nullptr);
  constexpr int kCloseBox = 32754; // OBM_CLOSE
  TBitmap ours;
  ours.LoadFromResourceID(user, kCloseBox);
  ASSERT_FALSE(ours.Empty());
  HBITMAP theirs = HBITMAP(
      LoadImageW(user, MAKEINTRESOURCEW(kCloseBox), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
  ASSERT_NE(theirs, nullptr);
  TBitmap reference;
  reference.SetHandle(theirs); // takes it, and frees it with itself
  ASSERT_EQ(ours.Width(), reference.Width());
  ASSERT_EQ(ours.Height(), reference.Height());
  for (int y = 0; y < ours.Height(); ++y)
    for (int x = 0; x < ours.Width(); ++x)
      ASSERT_EQ(ours.Canvas().Pixel(x, y), reference.Canvas().Pixel(x, y)) << x << ", " << y;
  EXPECT_THROW(ours.LoadFromResourceName(user, L"NO_SUCH_BITMAP"), EResNotFound);
}

TEST_F(Graphics, ACanvasWithoutAContextRefusesToDraw) {
  TCanvas canvas;
  EXPECT_THROW(canvas.FillRect(RECT{0, 0, 1, 1}), EInvalidGraphicOperation);
}

TEST_F(Graphics, CanvasLockKeepsOtherThreadsOut) {
  TCanvas canvas;
  canvas.Lock();
  canvas.Lock();
  EXPECT_EQ(canvas.LockCount(), 2);
  bool otherGotIt = true;
  std::thread([&] { otherGotIt = canvas.TryLock(); }).join();
  EXPECT_FALSE(otherGotIt);
  canvas.Unlock();
  canvas.Unlock();
  std::thread([&] {
    otherGotIt = canvas.TryLock();
    if (otherGotIt)
      canvas.Unlock();
  }).join();
  EXPECT_TRUE(otherGotIt);
}

// --- PNG ----------------------------------------------------------------------------------

TEST_F(Graphics, PngWrittenThroughGdiPlusReadsBackIdenticalAlphaIncluded) {
  TPngImage image;
  image.SetSize(4, 3);
  const uint32_t pixels[3][4] = {{0xFF0000FF, 0x80FF0000, 0x00000000, 0x01020304},
                                 {0x7F336699, 0xFFFFFFFF, 0x40FFFF00, 0xC0123456},
                                 {0x00ABCDEF, 0x10000000, 0xFE00FF00, 0x80808080}};
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 4; ++x)
      image.SetPixelARGB(x, y, pixels[y][x]);

  TMemoryStream stream;
  image.SaveToStream(stream);
  const std::vector<uint8_t> png = Saved(image);
  ASSERT_GE(png.size(), 8u);
  EXPECT_EQ(std::memcmp(png.data(), "\x89PNG\r\n\x1a\n", 8), 0);
  stream.WriteBuffer("rest", 4);
  stream.SetPosition(0);

  TPngImage loaded;
  loaded.LoadFromStream(stream);
  ASSERT_EQ(loaded.Width(), 4);
  ASSERT_EQ(loaded.Height(), 3);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 4; ++x) {
      const uint32_t want = pixels[y][x], got = loaded.PixelARGB(x, y);
      EXPECT_EQ(got >> 24, want >> 24) << "alpha at " << x << ", " << y;
      if (want >> 24) { // a fully transparent pixel's colour need not survive
        EXPECT_EQ(got & 0xFFFFFF, want & 0xFFFFFF) << "colour at " << x << ", " << y;
      }
    }
  EXPECT_EQ(loaded.Alpha(1, 0), 0x80);
  EXPECT_EQ(stream.ReadRest(), (std::vector<uint8_t>{'r', 'e', 's', 't'}));
}

namespace {

uint32_t Crc32(const uint8_t* AData, size_t ACount) {
  uint32_t crc = 0xFFFFFFFF;
  for (size_t i = 0; i < ACount; ++i) {
    crc ^= AData[i];
    for (int bit = 0; bit < 8; ++bit)
      crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
  }
  return ~crc;
}

void AppendChunk(std::vector<uint8_t>& APng, const char* AType, const std::vector<uint8_t>& AData) {
  const uint32_t length = uint32_t(AData.size());
  for (int shift = 24; shift >= 0; shift -= 8)
    APng.push_back(uint8_t(length >> shift));
  std::vector<uint8_t> typed(AType, AType + 4);
  typed.insert(typed.end(), AData.begin(), AData.end());
  APng.insert(APng.end(), typed.begin(), typed.end());
  const uint32_t crc = Crc32(typed.data(), typed.size());
  for (int shift = 24; shift >= 0; shift -= 8)
    APng.push_back(uint8_t(crc >> shift));
}

} // namespace

TEST_F(Graphics, PngOfAnotherKindReadsItsAlpha) {
  // 2 x 1, 8-bit grey with alpha: (grey 0x40, alpha 0x80), (grey 0xFF, alpha 0).
  std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
  AppendChunk(png, "IHDR", {0, 0, 0, 2, 0, 0, 0, 1, 8, 4, 0, 0, 0});
  const uint8_t rows[] = {0, 0x40, 0x80, 0xFF, 0x00};
  AppendChunk(png, "IDAT", ZCompressBytes(rows, sizeof rows));
  AppendChunk(png, "IEND", {});
  TMemoryStreamReadOnly stream(png.data(), png.size());
  TPngImage image;
  image.LoadFromStream(stream);
  ASSERT_EQ(image.Width(), 2);
  ASSERT_EQ(image.Height(), 1);
  EXPECT_EQ(image.PixelARGB(0, 0), 0x80404040u);
  EXPECT_EQ(image.Alpha(1, 0), 0);
}

TEST_F(Graphics, PngDrawsBlendedByItsAlpha) {
  TPngImage image;
  image.SetSize(3, 1);
  image.SetPixelARGB(0, 0, 0xFFFF0000); // opaque red
  image.SetPixelARGB(1, 0, 0x00FF0000); // transparent
  image.SetPixelARGB(2, 0, 0x800000FF); // half blue
  TBitmap target(3, 1, TPixelFormat::pf32bit);
  Fill(target, clWhite);
  target.Canvas().Draw(0, 0, &image);
  EXPECT_EQ(At(target, 0, 0), clRed);
  EXPECT_EQ(At(target, 1, 0), clWhite);
  const TColor half = At(target, 2, 0);
  EXPECT_NEAR(half & 0xFF, 127, 2);        // red channel
  EXPECT_NEAR((half >> 8) & 0xFF, 127, 2); // green channel
  EXPECT_EQ((half >> 16) & 0xFF, 255);     // blue channel
}

TEST_F(Graphics, CorruptOrTruncatedPngsAreRefused) {
  TPngImage image;
  image.SetSize(2, 2);
  image.SetPixelARGB(0, 0, 0xFF112233);
  const std::vector<uint8_t> png = Saved(image);
  std::vector<uint8_t> notPng = png;
  notPng[1] = 'X';
  TMemoryStreamReadOnly wrong(notPng.data(), notPng.size());
  TPngImage loaded;
  EXPECT_THROW(loaded.LoadFromStream(wrong), EInvalidGraphic);
  TMemoryStreamReadOnly shortStream(png.data(), png.size() - 3);
  EXPECT_THROW(loaded.LoadFromStream(shortStream), EReadError);
  EXPECT_THROW(TPngImage().SaveToStream(*std::make_unique<TMemoryStream>()),
               EInvalidGraphicOperation);
}

TEST_F(Graphics, PngAndBitmapAssignEachOther) {
  TBitmap bitmap(2, 1, TPixelFormat::pf24bit);
  bitmap.Canvas().SetPixel(0, 0, clFuchsia);
  bitmap.Canvas().SetPixel(1, 0, clNavy);
  bitmap.SetTransparentColor(clFuchsia);
  bitmap.SetTransparent(true);
  TPngImage png;
  png.Assign(&bitmap);
  EXPECT_EQ(png.PixelARGB(0, 0) >> 24, 0u);
  EXPECT_EQ(png.PixelARGB(1, 0), 0xFF000080u);

  TBitmap back;
  back.Assign(&png);
  EXPECT_EQ(back.PixelFormat(), TPixelFormat::pf32bit);
  EXPECT_EQ(static_cast<const uint32_t*>(back.ScanLine(0))[1], 0xFF000080u);
}

// --- pictures ---------------------------------------------------------------------------------

namespace {

// A graphic class of the test's own, registered and unregistered by it.
class TTestGraphic : public TBitmap {
public:
  static const wchar_t* StaticClassName() { return L"TTestGraphic"; }
  std::wstring ClassName() const override { return StaticClassName(); }
  TGraphicClass GraphicClass() const override { return GraphicClassOf<TTestGraphic>(); }
};

std::wstring TempFile(const wchar_t* AName) {
  wchar_t folder[MAX_PATH];
  GetTempPathW(MAX_PATH, folder);
  return std::wstring(folder) + L"orvandel-rtlb-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
         AName;
}

} // namespace

TEST_F(Graphics, PictureFormatsRegisterReplaceAndUnregister) {
  EXPECT_EQ(TPicture::GraphicClassOfExtension(L".BMP"), GraphicClassOf<TBitmap>());
  EXPECT_EQ(TPicture::GraphicClassOfExtension(L"png"), GraphicClassOf<TPngImage>());
  EXPECT_EQ(TPicture::GraphicClassOfExtension(L"img"), nullptr);

  TGraphicClass test = GraphicClassOf<TTestGraphic>();
  TPicture::RegisterFileFormat(L"img", L"Test images", test);
  TPicture::RegisterFileFormat(L"tst", L"First", test);
  TPicture::RegisterFileFormat(L"tst", L"More test images", test);
  EXPECT_EQ(TPicture::GraphicClassOfExtension(L"img"), test);
  EXPECT_EQ(TPicture::GraphicExtension(test), L"img");
  EXPECT_EQ(TPicture::GraphicFilter(test),
            L"Test images (*.img)|*.img|More test images (*.tst)|*.tst");
  EXPECT_EQ(TPicture::GraphicFilter(nullptr),
            L"All (*.bmp;*.png;*.img;*.tst)|*.bmp;*.png;*.img;*.tst|Bitmaps (*.bmp)|*.bmp|"
            L"Portable Network Graphics (*.png)|*.png|Test images (*.img)|*.img|"
            L"More test images (*.tst)|*.tst");

  TPicture::UnregisterGraphicClass(test);
  EXPECT_EQ(TPicture::GraphicClassOfExtension(L"img"), nullptr);
  EXPECT_EQ(TPicture::GraphicClassOfExtension(L"tst"), nullptr);
  EXPECT_EQ(TPicture::FileFormats().size(), 2u);

  // Giving "bmp" to another class and back, as start-up and shut-down do.
  TPicture::UnregisterGraphicClass(GraphicClassOf<TBitmap>());
  TPicture::RegisterFileFormat(L"bmp", L"Bitmaps", test);
  EXPECT_EQ(TPicture::GraphicClassOfExtension(L"bmp"), test);
  TPicture::UnregisterGraphicClass(test);
  TPicture::RegisterFileFormat(L"bmp", L"Bitmaps", GraphicClassOf<TBitmap>());
  TPicture::RegisterClipboardFormat(CF_BITMAP, GraphicClassOf<TBitmap>());
  TPicture::RegisterClipboardFormat(CF_DIB, GraphicClassOf<TBitmap>());
  EXPECT_EQ(TPicture::GraphicClassOfExtension(L"bmp"), GraphicClassOf<TBitmap>());
}

TEST_F(Graphics, PictureLoadsFilesByExtensionAndReportsChanges) {
  const std::wstring bmpPath = TempFile(L"picture.bmp");
  const std::wstring pngPath = TempFile(L"picture.png");
  {
    TBitmap bitmap(3, 2, TPixelFormat::pf24bit);
    Fill(bitmap, clPurple);
    bitmap.SaveToFile(bmpPath);
    TPngImage png;
    png.Assign(&bitmap);
    png.SaveToFile(pngPath);
  }
  TPicture picture;
  int changes = 0;
  picture.OnChange = [&](TPicture*) { ++changes; };
  picture.LoadFromFile(bmpPath);
  ASSERT_NE(dynamic_cast<TBitmap*>(picture.Graphic()), nullptr);
  EXPECT_EQ(picture.Width(), 3);
  EXPECT_EQ(changes, 1);
  picture.Bitmap().Canvas().SetPixel(0, 0, clWhite);
  EXPECT_GT(changes, 1);

  picture.LoadFromFile(pngPath);
  ASSERT_NE(dynamic_cast<TPngImage*>(picture.Graphic()), nullptr);
  EXPECT_EQ(static_cast<TPngImage*>(picture.Graphic())->PixelARGB(2, 1), 0xFF800080u);

  TPicture copy;
  copy.Assign(&picture);
  ASSERT_NE(copy.Graphic(), picture.Graphic());
  EXPECT_EQ(Saved(*copy.Graphic()), Saved(*picture.Graphic()));
  TBitmap& bitmap = copy.Bitmap(); // a PNG picture asked for a bitmap gets a new one
  EXPECT_TRUE(bitmap.Empty());
  copy.Assign(nullptr);
  EXPECT_EQ(copy.Graphic(), nullptr);

  try {
    picture.LoadFromFile(TempFile(L"picture.xyz"));
    FAIL() << "an unknown extension loaded";
  } catch (const EInvalidGraphic& error) {
    EXPECT_NE(error.Message().find(L".xyz"), std::wstring::npos);
  }
  DeleteFileW(bmpPath.c_str());
  DeleteFileW(pngPath.c_str());
}

TEST_F(Graphics, ClipboardFormatsRegisterAndBitmapsTravelThroughThem) {
  EXPECT_NE(CF_PICTURE(), 0u);
  EXPECT_EQ(CF_PICTURE(), CF_PICTURE());
  EXPECT_TRUE(TPicture::SupportsClipboardFormat(CF_BITMAP));
  EXPECT_FALSE(TPicture::SupportsClipboardFormat(CF_PICTURE()));
  TPicture::RegisterClipboardFormat(CF_PICTURE(), GraphicClassOf<TTestGraphic>());
  EXPECT_TRUE(TPicture::SupportsClipboardFormat(CF_PICTURE()));
  TPicture::UnregisterGraphicClass(GraphicClassOf<TTestGraphic>());
  EXPECT_FALSE(TPicture::SupportsClipboardFormat(CF_PICTURE()));

  TBitmap bitmap(2, 2, TPixelFormat::pf24bit);
  Fill(bitmap, clAqua);
  bitmap.Canvas().SetPixel(1, 0, clMaroon);
  UINT format = 0;
  HANDLE data = nullptr;
  HPALETTE palette = nullptr;
  bitmap.SaveToClipboardFormat(format, data, palette);
  EXPECT_EQ(format, UINT(CF_BITMAP));
  ASSERT_NE(data, nullptr);
  TPicture picture;
  picture.LoadFromClipboardFormat(format, data, palette);
  DeleteObject(data);
  TBitmap& loaded = picture.Bitmap();
  EXPECT_EQ(loaded.Canvas().Pixel(1, 0), clMaroon);
  EXPECT_EQ(loaded.Canvas().Pixel(0, 1), clAqua);
  EXPECT_THROW(picture.LoadFromClipboardFormat(CF_TEXT, nullptr, nullptr), EInvalidGraphic);
}
