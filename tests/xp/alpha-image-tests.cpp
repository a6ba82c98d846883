#include "alpha-image.h"
#include "ledger-balance.h"

#include "resource-ledger.h"
#include "rtl-exceptions.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

class AlphaImages : public TLedgerBalancedTest {};

struct TPixel {
  uint8_t Blue, Green, Red, Alpha;
};

// Inflated alpha-image content: N, a header and the pixels (bottom-up).
std::vector<uint8_t> Content(int AWidth, int AHeight, const std::vector<TPixel>& APixels,
                             uint16_t ABits = 32, uint32_t AHeaderSize = 40) {
  BITMAPINFOHEADER header{};
  header.biSize = AHeaderSize;
  header.biWidth = AWidth;
  header.biHeight = AHeight;
  header.biPlanes = 1;
  header.biBitCount = ABits;
  header.biCompression = BI_RGB;
  header.biSizeImage = DWORD(AWidth) * 4 * DWORD(AHeight);
  // The header's own size counts in N; a short one still has its 40 bytes
  // written, so only the size field is wrong.
  const uint32_t headerRoom = std::max<uint32_t>(AHeaderSize, 40);
  const uint32_t count = headerRoom + uint32_t(APixels.size() * 4);
  std::vector<uint8_t> bytes(4 + headerRoom);
  std::memcpy(bytes.data(), &count, 4);
  std::memcpy(bytes.data() + 4, &header, 40);
  for (const TPixel& p : APixels)
    bytes.insert(bytes.end(), {p.Blue, p.Green, p.Red, p.Alpha});
  return bytes;
}

std::vector<uint8_t> Deflated(const std::vector<uint8_t>& AContent) {
  return ZCompressBytes(AContent.data(), AContent.size(), TCompressionLevel::Max);
}

const uint8_t* PixelOf(const uint8_t* ABits, int AWidth, int AX, int ARowFromBottom) {
  return ABits + (size_t(ARowFromBottom) * AWidth + AX) * 4;
}

TEST_F(AlphaImages, StoredStraightColourIsPremultipliedOnLoading) {
  // (red 200, alpha 128) is held as red 100; opaque pixels are unchanged.
  const auto stream = Deflated(Content(2, 1, {{10, 20, 200, 128}, {1, 2, 3, 255}}));
  ASSERT_EQ(stream[0], 0x78);
  ASSERT_EQ(stream[1], 0xDA);
  TAlphaImage image;
  TMemoryStreamReadOnly source(stream.data(), stream.size());
  image.LoadFromStream(source);
  ASSERT_EQ(image.Width(), 2u);
  ASSERT_EQ(image.Height(), 1u);
  const uint8_t* p = image.Bits();
  EXPECT_EQ(p[2], 100);
  EXPECT_EQ(p[1], 20 * 128 / 255);
  EXPECT_EQ(p[0], 10 * 128 / 255);
  EXPECT_EQ(p[3], 128);
  EXPECT_EQ(p[4], 1);
  EXPECT_EQ(p[6], 3);
  EXPECT_EQ(p[7], 255);

  TAlphaBitmap bitmap;
  TMemoryStreamReadOnly again(stream.data(), stream.size());
  bitmap.LoadFromStream(again);
  EXPECT_TRUE(bitmap.IsAlpha());
  EXPECT_EQ(bitmap.Bits()[2], 100);
}

TEST_F(AlphaImages, PixelsStandAtTheHeadersOwnSize) {
  // A longer header (as a V4 header would be): the pixels follow it.
  const auto content = Content(1, 1, {{7, 8, 9, 255}}, 32, 44);
  const auto stream = Deflated(content);
  TAlphaImage image;
  TMemoryStreamReadOnly source(stream.data(), stream.size());
  image.LoadFromStream(source);
  EXPECT_EQ(image.Bits()[0], 7);
  EXPECT_EQ(image.Bits()[2], 9);
}

struct TMalformedCase {
  const char* Name;
  std::vector<uint8_t> Stream; // the deflated stream as read
};

// Content whose sizes do not hold together is refused before any pixel is
// touched, by both readers, with nothing left behind.
TEST_F(AlphaImages, MalformedContentRaisesTheReadError) {
  const std::vector<TPixel> four(4, TPixel{1, 2, 3, 255});
  std::vector<TMalformedCase> cases;
  {
    auto content = Content(2, 2, four);
    const uint32_t shortCount = 20;
    std::memcpy(content.data(), &shortCount, 4);
    cases.push_back({"N shorter than a header", Deflated(content)});
  }
  {
    auto content = Content(2, 2, four);
    const uint32_t longCount = 40 + 16 + 1000;
    std::memcpy(content.data(), &longCount, 4);
    cases.push_back({"N beyond the data", Deflated(content)});
  }
  {
    auto content = Content(0x10000, 0x10000, four);
    cases.push_back({"W x H x 4 beyond N", Deflated(content)});
  }
  {
    auto content = Content(0x40000000, 4, four);
    cases.push_back({"W x H x 4 past 32 bits", Deflated(content)});
  }
  cases.push_back({"24 bits", Deflated(Content(2, 2, four, 24))});
  {
    auto content = Content(2, 2, four);
    reinterpret_cast<BITMAPINFOHEADER*>(content.data() + 4)->biCompression = BI_BITFIELDS;
    cases.push_back({"not BI_RGB", Deflated(content)});
  }
  cases.push_back({"header size 12", Deflated(Content(2, 2, four, 32, 12))});
  cases.push_back({"width 0", Deflated(Content(0, 2, four))});
  cases.push_back({"negative height", Deflated(Content(2, -2, four))});
  {
    auto stream = Deflated(Content(8, 8, std::vector<TPixel>(64, TPixel{9, 8, 7, 200})));
    stream.resize(stream.size() / 2);
    cases.push_back({"truncated zlib", stream});
  }
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    const size_t before = TResourceLedger::Total();
    TAlphaImage image;
    TMemoryStreamReadOnly first(c.Stream.data(), c.Stream.size());
    EXPECT_THROW(image.LoadFromStream(first), EReadError);
    EXPECT_EQ(image.Handle(), nullptr);
    TAlphaBitmap bitmap;
    TMemoryStreamReadOnly second(c.Stream.data(), c.Stream.size());
    EXPECT_THROW(bitmap.LoadFromStream(second), EReadError);
    EXPECT_TRUE(bitmap.Empty());
    EXPECT_EQ(TResourceLedger::Total(), before);
  }
}

TEST_F(AlphaImages, SavedImageLoadsBackWithinOneOfItsPixels) {
  std::vector<TPixel> pixels;
  for (int alpha : {0, 1, 64, 128, 200, 254, 255})
    for (int value : {0, 1, 50, 127, 200, 255})
      pixels.push_back(
          TPixel{uint8_t(value), uint8_t(255 - value), uint8_t(value / 2), uint8_t(alpha)});
  const int width = int(pixels.size());
  const auto stream = Deflated(Content(width, 1, pixels));
  TAlphaBitmap original;
  TMemoryStreamReadOnly source(stream.data(), stream.size());
  original.LoadFromStream(source);

  TMemoryStream saved;
  original.SaveToStream(saved);
  saved.SetPosition(0);
  TAlphaBitmap loaded;
  loaded.LoadFromStream(saved);
  ASSERT_EQ(loaded.Width(), width);
  for (int i = 0; i < width * 4; ++i)
    EXPECT_NEAR(loaded.Bits()[i], original.Bits()[i], 1) << "byte " << i;
  // Opaque pixels come back exactly.
  for (int x = 0; x < width; ++x)
    if (original.Bits()[x * 4 + 3] == 255) {
      for (int c = 0; c < 4; ++c)
        EXPECT_EQ(loaded.Bits()[x * 4 + c], original.Bits()[x * 4 + c]);
    }
}

TEST_F(AlphaImages, SavedFormIsTheDeflatedContentWithStraightColour) {
  const auto stream = Deflated(Content(1, 1, {{0, 0, 200, 128}}));
  TAlphaBitmap bitmap;
  TMemoryStreamReadOnly source(stream.data(), stream.size());
  bitmap.LoadFromStream(source);
  TMemoryStream saved;
  bitmap.SaveToStream(saved);
  const auto* bytes = static_cast<const uint8_t*>(saved.Memory());
  const auto content = ZDecompressBytes(bytes, size_t(saved.GetSize()));
  ASSERT_EQ(content.size(), 4u + 40 + 4);
  EXPECT_EQ(bytes[0], 0x78);
  EXPECT_EQ(bytes[1], 0xDA);
  uint32_t count;
  std::memcpy(&count, content.data(), 4);
  EXPECT_EQ(count, 44u);
  BITMAPINFOHEADER header;
  std::memcpy(&header, content.data() + 4, 40);
  EXPECT_EQ(header.biSize, 40u);
  EXPECT_EQ(header.biBitCount, 32);
  EXPECT_EQ(header.biSizeImage, 4u);
  EXPECT_EQ(content[44 + 2], 199); // 100 held, stored back as 200 within 1
}

std::vector<uint8_t> BitmapFile(int AWidth, int AHeight, TColor AColor) {
  TBitmap bitmap(AWidth, AHeight, TPixelFormat::pf24bit);
  bitmap.Canvas().Brush().SetColor(AColor);
  bitmap.Canvas().FillRect(RECT{0, 0, AWidth, AHeight});
  TMemoryStream stream;
  bitmap.SaveToStream(stream);
  const auto* bytes = static_cast<const uint8_t*>(stream.Memory());
  return std::vector<uint8_t>(bytes, bytes + stream.GetSize());
}

TEST_F(AlphaImages, OrdinaryBitmapsLoadWithOrWithoutTheirLengthPrefix) {
  const auto file = BitmapFile(5, 3, clRed);
  ASSERT_EQ(file[0], 'B');
  {
    TAlphaBitmap bitmap;
    TMemoryStreamReadOnly source(file.data(), file.size());
    bitmap.LoadFromStream(source);
    EXPECT_EQ(bitmap.Width(), 5);
    EXPECT_EQ(bitmap.Height(), 3);
    EXPECT_FALSE(bitmap.IsAlpha());
  }
  {
    std::vector<uint8_t> prefixed(4);
    const uint32_t length = uint32_t(file.size());
    std::memcpy(prefixed.data(), &length, 4);
    prefixed.insert(prefixed.end(), file.begin(), file.end());
    TAlphaBitmap bitmap;
    TMemoryStreamReadOnly source(prefixed.data(), prefixed.size());
    bitmap.LoadFromStream(source);
    EXPECT_EQ(bitmap.Width(), 5);
    EXPECT_EQ(bitmap.Height(), 3);
    // Red in the straight bitmap.
    EXPECT_EQ(bitmap.Bits()[2], 255);
    EXPECT_EQ(bitmap.Bits()[0], 0);
  }
}

TEST_F(AlphaImages, AssignedBitmapMakesItsBottomLeftColourTransparent) {
  TBitmap source(4, 4, TPixelFormat::pf32bit);
  source.Canvas().Brush().SetColor(clWhite);
  source.Canvas().FillRect(RECT{0, 0, 4, 4});
  source.Canvas().Brush().SetColor(clBlue);
  source.Canvas().FillRect(RECT{0, 0, 2, 2}); // top-left quarter
  TAlphaBitmap bitmap;
  bitmap.Assign(&source);
  EXPECT_FALSE(bitmap.IsAlpha());
  EXPECT_EQ(PixelOf(bitmap.Bits(), 4, 0, 0)[3], 0);   // bottom-left, white
  EXPECT_EQ(PixelOf(bitmap.Bits(), 4, 0, 3)[3], 255); // top-left, blue
  EXPECT_EQ(PixelOf(bitmap.Bits(), 4, 0, 3)[0], 255);
  bitmap.SetTransparent(false);
  EXPECT_EQ(PixelOf(bitmap.Bits(), 4, 0, 0)[3], 255);
}

TEST_F(AlphaImages, GrowingTheHeightAddsOpaqueBlackRowsOnTop) {
  std::vector<TPixel> pixels(100, TPixel{10, 20, 30, 40});
  const auto stream = Deflated(Content(10, 10, pixels));
  TAlphaBitmap bitmap;
  TMemoryStreamReadOnly source(stream.data(), stream.size());
  bitmap.LoadFromStream(source);
  const uint8_t kept[4] = {uint8_t(10 * 40 / 255), uint8_t(20 * 40 / 255), uint8_t(30 * 40 / 255),
                           40};
  bitmap.SetHeight(12);
  ASSERT_EQ(bitmap.Height(), 12);
  EXPECT_TRUE(bitmap.IsAlpha());
  for (int row = 0; row < 12; ++row)
    for (int x = 0; x < 10; ++x) {
      const uint8_t* p = PixelOf(bitmap.Bits(), 10, x, row);
      if (row >= 10) {
        EXPECT_EQ(std::vector<uint8_t>(p, p + 4), (std::vector<uint8_t>{0, 0, 0, 255}))
            << "row from bottom " << row;
      } else {
        EXPECT_EQ(std::vector<uint8_t>(p, p + 4), std::vector<uint8_t>(kept, kept + 4))
            << "row from bottom " << row;
      }
    }
  bitmap.SetWidth(3);
  EXPECT_EQ(bitmap.Width(), 3);
  EXPECT_EQ(PixelOf(bitmap.Bits(), 3, 2, 0)[3], 40);
}

TEST_F(AlphaImages, AnEmptyImageIsSizedBySettingWidthThenHeight) {
  TAlphaBitmap bitmap;
  bitmap.SetWidth(16);
  EXPECT_EQ(bitmap.Width(), 16);
  EXPECT_TRUE(bitmap.Empty());
  bitmap.SetHeight(64);
  ASSERT_EQ(bitmap.Width(), 16);
  ASSERT_EQ(bitmap.Height(), 64);
  EXPECT_FALSE(bitmap.Empty());
  EXPECT_NE(bitmap.Bits(), nullptr);
}

TEST_F(AlphaImages, ClipboardRefusesAlphaImages) {
  TAlphaBitmap bitmap;
  UINT format = 0;
  HANDLE data = nullptr;
  HPALETTE palette = nullptr;
  for (int direction = 0; direction < 2; ++direction) {
    try {
      if (direction == 0)
        bitmap.SaveToClipboardFormat(format, data, palette);
      else
        bitmap.LoadFromClipboardFormat(CF_BITMAP, nullptr, nullptr);
      ADD_FAILURE() << "no exception";
    } catch (const EInvalidGraphicOperation& e) {
      EXPECT_STREQ(e.what(), "Clipboard does not support alpha images");
    }
  }
}

TEST_F(AlphaImages, AssignCopiesThePixelsAndNothingClearsTheImage) {
  const auto stream = Deflated(Content(1, 1, {{0, 0, 200, 128}}));
  TAlphaBitmap first;
  TMemoryStreamReadOnly source(stream.data(), stream.size());
  first.LoadFromStream(source);
  TAlphaBitmap second;
  second.Assign(&first);
  ASSERT_NE(second.Handle(), first.Handle());
  second.Bits()[2] = 7;
  EXPECT_EQ(first.Bits()[2], 100);
  second.Assign(nullptr);
  EXPECT_TRUE(second.Empty());
  EXPECT_TRUE(second.IsAlpha());
}

TEST_F(AlphaImages, DrawingBlendsByEachPixelsAlpha) {
  // Half-transparent white over black gives mid grey; a clear pixel leaves black.
  const auto stream = Deflated(Content(2, 1, {{255, 255, 255, 128}, {255, 255, 255, 0}}));
  TAlphaBitmap image;
  TMemoryStreamReadOnly source(stream.data(), stream.size());
  image.LoadFromStream(source);
  TBitmap target(2, 1, TPixelFormat::pf32bit);
  target.Canvas().Brush().SetColor(clBlack);
  target.Canvas().FillRect(RECT{0, 0, 2, 1});
  image.DrawBit(target.Canvas(), 0, 0);
  const auto* row = static_cast<const uint8_t*>(target.ScanLine(0));
  EXPECT_NEAR(row[0], 128, 1);
  EXPECT_EQ(row[4], 0);
  target.Dormant();
}

TEST_F(AlphaImages, ReplaceColorChangesOnlyExactMatches) {
  const auto stream = Deflated(Content(2, 1, {{255, 255, 255, 255}, {255, 255, 254, 255}}));
  TAlphaImage image;
  TMemoryStreamReadOnly source(stream.data(), stream.size());
  image.LoadFromStream(source);
  image.ReplaceColor(clWhite, TColor(0x102030));
  EXPECT_EQ(image.Bits()[0], 0x10);
  EXPECT_EQ(image.Bits()[1], 0x20);
  EXPECT_EQ(image.Bits()[2], 0x30);
  EXPECT_EQ(image.Bits()[4], 255);
  EXPECT_EQ(image.Bits()[6], 254);
}

TEST_F(AlphaImages, CompressedBitmapDataIsDeflatedAndPlainDataStillReads) {
  TCompressedBitmap bitmap;
  bitmap.SetPixelFormat(TPixelFormat::pf24bit);
  bitmap.SetSize(6, 4);
  bitmap.Canvas().Brush().SetColor(clLime);
  bitmap.Canvas().FillRect(RECT{0, 0, 6, 4});
  TMemoryStream data;
  bitmap.WriteData(data);
  const auto* bytes = static_cast<const uint8_t*>(data.Memory());
  EXPECT_EQ(bytes[0], 0x78);
  EXPECT_EQ(bytes[1], 0xDA);
  data.SetPosition(0);
  TCompressedBitmap again;
  again.ReadData(data);
  EXPECT_EQ(again.Width(), 6);
  EXPECT_EQ(again.Height(), 4);
  EXPECT_EQ(again.Canvas().Pixel(3, 2), clLime);

  TBitmap plain(3, 2, TPixelFormat::pf24bit);
  TMemoryStream plainData;
  plain.WriteData(plainData);
  plainData.SetPosition(0);
  TCompressedBitmap fromPlain;
  fromPlain.ReadData(plainData);
  EXPECT_EQ(fromPlain.Width(), 3);
  EXPECT_EQ(fromPlain.Height(), 2);
  bitmap.Dormant();
  again.Dormant();
}

// Stored data that does not hold together raises the read error whichever
// way it is read (deflated, or plain after a failed inflation), and the
// bitmap keeps its picture.
TEST_F(AlphaImages, MalformedCompressedBitmapDataRaisesTheReadError) {
  TBitmap source(6, 4, TPixelFormat::pf24bit);
  std::vector<uint8_t> plain;
  {
    TMemoryStream data;
    source.WriteData(data);
    const auto* bytes = static_cast<const uint8_t*>(data.Memory());
    plain.assign(bytes, bytes + data.GetSize());
  }
  const auto deflated = Deflated(plain);
  auto withLength = [&](uint32_t ALength) {
    std::vector<uint8_t> copy = plain;
    std::memcpy(copy.data(), &ALength, 4);
    return copy;
  };
  std::vector<uint8_t> corrupt = deflated;
  // Bytes 2 to 5 garbled: the inflation fails, and read as plain data the
  // stream claims about 2 GB.
  corrupt[2] = 0x13;
  corrupt[3] = 0x37;
  corrupt[4] = 0xFF;
  corrupt[5] = 0x7F;
  const struct {
    const char* Name;
    std::vector<uint8_t> Data;
  } cases[] = {
      {"deflated and cut short", {deflated.begin(), deflated.end() - 6}},
      {"neither deflated nor plain", corrupt},
      {"plain, length beyond the data", withLength(uint32_t(plain.size()))},
      {"plain, length near 2 GB", withLength(0x7FFFFFF0u)},
      {"deflated, length beyond the data", Deflated(withLength(0x10000u))},
  };
  TCompressedBitmap bitmap;
  bitmap.SetPixelFormat(TPixelFormat::pf24bit);
  bitmap.SetSize(2, 3);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.Name);
    TMemoryStreamReadOnly stream(c.Data.data(), c.Data.size());
    EXPECT_THROW(bitmap.ReadData(stream), EReadError);
    EXPECT_EQ(bitmap.Width(), 2);
    EXPECT_EQ(bitmap.Height(), 3);
  }
  bitmap.Dormant();
}

// In a form's data the next property follows: reading stops where the
// bitmap's data end, deflated or plain.
TEST_F(AlphaImages, CompressedBitmapReadingStopsAtTheEndOfItsData) {
  TCompressedBitmap source;
  source.SetPixelFormat(TPixelFormat::pf24bit);
  source.SetSize(5, 3);
  source.Canvas().Brush().SetColor(clNavy);
  source.Canvas().FillRect(RECT{0, 0, 5, 3});
  TMemoryStream deflated;
  source.WriteData(deflated);
  TMemoryStream plain;
  source.TBitmap::WriteData(plain);
  for (TMemoryStream* data : {&deflated, &plain}) {
    SCOPED_TRACE(data == &deflated ? "deflated" : "plain");
    const int64_t end = data->GetSize();
    data->SetPosition(end);
    data->WriteValue(uint32_t(0xC0FFEE));
    data->SetPosition(0);
    TCompressedBitmap loaded;
    loaded.ReadData(*data);
    EXPECT_EQ(data->GetPosition(), end);
    EXPECT_EQ(data->ReadValue<uint32_t>(), 0xC0FFEEu);
    EXPECT_EQ(loaded.Canvas().Pixel(4, 2), clNavy);
    loaded.Dormant();
  }
  source.Dormant();
}

TEST_F(AlphaImages, StartUpRegistersThePictureFormatsAndShutDownUndoesIt) {
  RegisterXPPictureFormats();
  struct TRow {
    const wchar_t* Extension;
    TGraphicClass Class;
    const wchar_t* Description;
  };
  const TRow rows[] = {
      {L"bmp", GraphicClassOf<TCompressedBitmap>(), L"Bitmaps"},
      {L"bmpx", GraphicClassOf<TBitmap>(), L"Bitmaps"},
      {L"img", GraphicClassOf<TAlphaBitmap>(), L"Compressed bitmaps with alpha channel"},
      {L"png", GraphicClassOf<TPngImage>(), L"Portable Network Graphics"},
  };
  const auto formats = TPicture::FileFormats();
  for (const TRow& row : rows) {
    EXPECT_EQ(TPicture::GraphicClassOfExtension(row.Extension), row.Class);
    bool found = false;
    for (const TFileFormat& format : formats)
      if (format.Extension == row.Extension) {
        found = true;
        EXPECT_EQ(format.Description, row.Description);
      }
    EXPECT_TRUE(found);
  }
  UnregisterXPPictureFormats();
  EXPECT_EQ(TPicture::GraphicClassOfExtension(L"bmp"), GraphicClassOf<TBitmap>());
  EXPECT_EQ(TPicture::GraphicClassOfExtension(L"img"), nullptr);
  TPicture::UnregisterGraphicClass(GraphicClassOf<TBitmap>());
  TPicture::UnregisterGraphicClass(GraphicClassOf<TPngImage>());
}

} // namespace
